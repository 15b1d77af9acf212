// The filter graph: one rendered MP3 file with its run state, position and
// event queue, played through the shared mixer.
#include "vx_dshow.h"
#include "testing/vx_sound_testing.h"
#include "vx_com.h"
#include "vx_support.h"

#include <new>

namespace vxds {

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;  // 100 ns
constexpr size_t kMaxQueuedEvents = 256;
constexpr uint32_t kEpochMask = (1u << (64 - kEpochShift)) - 1;

std::atomic<int> g_liveGraphs{0};
std::atomic<HRESULT> g_failNextRender{S_OK};

class FilterGraph final : public VxComObject<IGraphBuilder>,
                          public IMediaControl,
                          public IMediaSeeking,
                          public IMediaEventEx {
 public:
  FilterGraph() : events_(std::make_shared<EventQueue>()) { ++g_liveGraphs; }
  ~FilterGraph() override {
    if (stream_) {
      MixerRemove(stream_.get());
      stream_.reset();
      MixerRelease();
    }
    --g_liveGraphs;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return VxComObject<IGraphBuilder>::QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return VxComObject<IGraphBuilder>::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return VxComObject<IGraphBuilder>::Release(); }

  // ---- IGraphBuilder ----
  HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR file, LPCWSTR) override {
    if (!file) return E_POINTER;
    std::lock_guard<std::mutex> held(mutex_);
    if (stream_) return VFW_E_WRONG_STATE;
    if (HRESULT failure = g_failNextRender.exchange(S_OK); FAILED(failure)) return failure;
    std::string path = VxPathToUtf8(file);
    int rate = 0;
    if (!MixerAcquire(&rate)) return VFW_E_CANNOT_RENDER;
    std::string why;
    HRESULT hr = Load(path, rate, &why);
    if (FAILED(hr)) {
      MixerRelease();
      VxReportEnvironmentFailure(path.c_str(), why.empty() ? "cannot be played" : why.c_str());
    }
    return hr;
  }

  // ---- IMediaControl ----
  HRESULT STDMETHODCALLTYPE Run() override { return SetState(State_Running); }
  HRESULT STDMETHODCALLTYPE Pause() override { return SetState(State_Paused); }
  HRESULT STDMETHODCALLTYPE Stop() override { return SetState(State_Stopped); }
  HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState* state) override {
    if (!state) return E_POINTER;
    std::lock_guard<std::mutex> held(mutex_);
    *state = state_;
    return S_OK;
  }

  // ---- IMediaSeeking ----
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override {
    if (!duration) return E_POINTER;
    std::lock_guard<std::mutex> held(mutex_);
    if (!stream_) return E_UNEXPECTED;
    if (stream_->length < 0) return E_FAIL;
    *duration = FramesToUnits(stream_->length);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override { return GetDuration(stop); }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override {
    if (!current) return E_POINTER;
    std::lock_guard<std::mutex> held(mutex_);
    *current = FramesToUnits(CurrentFrame());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override {
    if ((stopFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning) {
      (void)stop;
      return E_NOTIMPL;  // the stop position stays at the end
    }
    DWORD how = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (how == AM_SEEKING_NoPositioning) return S_OK;
    if (!current) return E_POINTER;
    if (how == AM_SEEKING_IncrementalPositioning) return E_INVALIDARG;
    std::lock_guard<std::mutex> held(mutex_);
    if (!stream_) return E_UNEXPECTED;
    int64_t frame = UnitsToFrames(*current);
    if (how == AM_SEEKING_RelativePositioning) frame += CurrentFrame();
    if (frame < 0) frame = 0;
    if (stream_->length >= 0 && frame > stream_->length) frame = stream_->length;
    uint32_t epoch = (EpochOf(control_) + 1) & kEpochMask;
    control_ = (uint64_t(epoch) << kEpochShift) | (control_ & kRunningBit) | (uint64_t(frame) & kFrameMask);
    stream_->control.store(control_, std::memory_order_release);
    MixerWake();
    if (currentFlags & AM_SEEKING_ReturnTime) *current = FramesToUnits(frame);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override {
    if (current) {
      HRESULT hr = GetCurrentPosition(current);
      if (FAILED(hr)) return hr;
    }
    return stop ? GetStopPosition(stop) : S_OK;
  }

  // ---- IMediaEventEx ----
  HRESULT STDMETHODCALLTYPE GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long msTimeout) override {
    if (!code || !param1 || !param2) return E_POINTER;
    return events_->Pop(code, param1, param2, msTimeout) ? S_OK : E_ABORT;
  }
  HRESULT STDMETHODCALLTYPE FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, long message, LONG_PTR instance) override {
    events_->SetNotify(reinterpret_cast<HWND>(hwnd), UINT(message), instance);
    return S_OK;
  }

 protected:
  void* QueryExtra(REFIID iid) override {
    if (IsEqualGUID(iid, IID_IMediaControl)) return static_cast<IMediaControl*>(this);
    if (IsEqualGUID(iid, IID_IMediaSeeking)) return static_cast<IMediaSeeking*>(this);
    if (IsEqualGUID(iid, IID_IMediaEventEx) || IsEqualGUID(iid, IID_IMediaEvent)) {
      return static_cast<IMediaEventEx*>(this);
    }
    return nullptr;
  }

 private:
  HRESULT Load(const std::string& path, int rate, std::string* why) {
    std::unique_ptr<Mpg123Source> source;
    HRESULT hr = Mpg123Source::Open(path, rate, &source, why);
    if (FAILED(hr)) return hr;
    std::unique_ptr<Stream> s(new (std::nothrow) Stream());
    if (!s) {
      *why = "out of memory";
      return E_OUTOFMEMORY;
    }
    int64_t wanted = int64_t(rate) * kHeadMs / 1000;
    s->head.resize(size_t(wanted) * 2);
    int got = source->Read(s->head.data(), int(wanted));
    if (got <= 0) {
      *why = "truncated or corrupt";
      return VFW_E_UNSUPPORTED_STREAM;
    }
    s->head.resize(size_t(got) * 2);
    s->head.shrink_to_fit();
    s->headFrames = got;
    s->headIsAll = got < wanted;
    s->length = s->headIsAll ? got : source->Length();
    s->source = std::move(source);
    s->events = events_;
    s->control.store(control_);
    if (!MixerAdd(s.get())) {
      *why = "too many sounds loaded";
      return VFW_E_CANNOT_RENDER;
    }
    rate_ = rate;
    stream_ = std::move(s);
    return S_OK;
  }

  HRESULT SetState(FILTER_STATE state) {
    std::lock_guard<std::mutex> held(mutex_);
    state_ = state;
    control_ = state == State_Running ? (control_ | kRunningBit) : (control_ & ~kRunningBit);
    if (stream_) stream_->control.store(control_, std::memory_order_release);
    return S_OK;
  }

  int64_t CurrentFrame() const {
    if (!stream_) return 0;
    uint64_t p = stream_->published.load(std::memory_order_acquire);
    return int64_t(EpochOf(p) == EpochOf(control_) ? (p & kFrameMask) : (control_ & kFrameMask));
  }
  LONGLONG FramesToUnits(int64_t frames) const { return rate_ ? frames * kUnitsPerSecond / rate_ : 0; }
  int64_t UnitsToFrames(LONGLONG units) const {
    // Split so that hours of 100 ns units times the rate cannot overflow.
    return (units / kUnitsPerSecond) * rate_ + (units % kUnitsPerSecond) * rate_ / kUnitsPerSecond;
  }

  std::mutex mutex_;
  std::unique_ptr<Stream> stream_;
  int rate_ = 0;
  FILTER_STATE state_ = State_Stopped;
  uint64_t control_ = 0;  // what stream_->control holds
  std::shared_ptr<EventQueue> events_;
};

HRESULT CreateFilterGraph(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  FilterGraph* graph = new (std::nothrow) FilterGraph();
  if (!graph) return E_OUTOFMEMORY;
  HRESULT hr = graph->QueryInterface(iid, object);
  graph->Release();
  return hr;
}

}  // namespace

void EventQueue::Push(long code, LONG_PTR param1, LONG_PTR param2) {
  HWND hwnd;
  UINT message;
  LONG_PTR instance;
  {
    std::lock_guard<std::mutex> held(mutex_);
    if (events_.size() >= kMaxQueuedEvents) events_.pop_front();
    events_.push_back({code, param1, param2});
    hwnd = hwnd_;
    message = message_;
    instance = instance_;
  }
  arrived_.notify_all();
  if (hwnd) PostMessageW(hwnd, message, 0, instance);
}

bool EventQueue::Pop(long* code, LONG_PTR* param1, LONG_PTR* param2, long msTimeout) {
  std::unique_lock<std::mutex> held(mutex_);
  auto ready = [this] { return !events_.empty(); };
  if (msTimeout < 0) {
    arrived_.wait(held, ready);
  } else if (!arrived_.wait_for(held, std::chrono::milliseconds(msTimeout), ready)) {
    return false;
  }
  *code = events_.front().code;
  *param1 = events_.front().param1;
  *param2 = events_.front().param2;
  events_.pop_front();
  return true;
}

void EventQueue::SetNotify(HWND hwnd, UINT message, LONG_PTR instance) {
  std::lock_guard<std::mutex> held(mutex_);
  hwnd_ = hwnd;
  message_ = message;
  instance_ = instance;
}

}  // namespace vxds

void VxRegisterDShowClasses() { VxRegisterComClass(CLSID_FilterGraph, vxds::CreateFilterGraph); }

int vxtest::LiveFilterGraphs() { return vxds::g_liveGraphs.load(); }

void vxtest::FailNextRenderFile(HRESULT failure) { vxds::g_failNextRender = failure; }
