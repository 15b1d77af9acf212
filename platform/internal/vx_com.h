// Shared by the platform families: a reference-counted COM object base and
// the class table behind CoCreateInstance.
#pragma once
#include <windows.h>

#include <atomic>

// How many of the platform's COM objects exist: shutdown should leave none.
inline std::atomic<long>& VxLiveComObjects() {
  static std::atomic<long> count{0};
  return count;
}

// Implements IUnknown for an object whose interface is Primary; Also lists
// Primary's base interfaces, which QueryInterface answers as well.
template <class Primary, class... Also>
class VxComObject : public Primary {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, __uuidof(IUnknown)) || IsEqualGUID(iid, VxUuidOf<Primary>::value) ||
        (IsEqualGUID(iid, VxUuidOf<Also>::value) || ...)) {
      *object = static_cast<Primary*>(this);
    } else if (!(*object = QueryExtra(iid))) {
      return E_NOINTERFACE;
    }
    this->AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  VxComObject() { ++VxLiveComObjects(); }
  VxComObject(const VxComObject&) = delete;
  VxComObject& operator=(const VxComObject&) = delete;
  virtual ~VxComObject() { --VxLiveComObjects(); }

 protected:
  // Another interface of the object, already cast; null when not supported.
  virtual void* QueryExtra(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{1};
};

// Releases what it holds; for the platform's own code only (the game holds
// its COM objects in plain global pointers and releases them by hand).
template <class T> class VxRef {
 public:
  VxRef() = default;
  explicit VxRef(T* p) : p_(p) {}
  VxRef(const VxRef& o) : p_(o.p_) { if (p_) p_->AddRef(); }
  VxRef& operator=(const VxRef& o) {
    if (o.p_) o.p_->AddRef();
    reset(o.p_);
    return *this;
  }
  ~VxRef() { reset(); }
  void reset(T* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** put() { reset(); return &p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A creatable class: makes a new object and queries it for iid.
typedef HRESULT (*VxClassFactory)(REFIID iid, void** object);

// The COM runtime's class table. Each family that offers creatable classes
// has a registration function, which the runtime calls once, on first use.
void VxRegisterComClass(REFCLSID clsid, VxClassFactory factory);
void VxRegisterWicClasses();     // platform/wic: CLSID_WICImagingFactory(2)
void VxRegisterDShowClasses();   // platform/dshow: CLSID_FilterGraph
