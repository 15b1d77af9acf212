// The recording render target, a test seam: while recording targets are on,
// the factory makes these instead of OpenGL targets, and they keep each
// frame's calls as data for the tests and benchmarks to read.
#include <algorithm>
#include <atomic>
#include <new>

#include "d2d/d2d_internal.h"
#include "testing/vx_testing.h"

namespace vxd2d {

namespace {
std::atomic<bool> g_recording{false};
}  // namespace

bool RecordingTargetsOn() { return g_recording.load(); }

namespace {

class RecordingTarget final : public TargetBase {
 public:
  RecordingTarget(ID2D1Factory* factory, HWND hwnd, UINT w, UINT h) : TargetBase(factory, hwnd, w, h) {
    current_.reserve(4096);
    last_.reserve(4096);
    currentText_.reserve(kTextPool);
    lastText_.reserve(kTextPool);
  }

  std::vector<vxtest::Command> current_, last_;
  // Texts of each frame's DrawText calls. Never grown past their reserve, so
  // the commands' pointers into them stay valid while the frame is kept.
  static constexpr size_t kTextPool = 128 * 64;
  std::vector<WCHAR> currentText_, lastText_;

 protected:
  void OnBegin() override {
    current_.clear();
    currentText_.clear();
  }
  HRESULT OnEnd() override {
    std::swap(current_, last_);
    std::swap(currentText_, lastText_);
    current_.clear();
    currentText_.clear();
    return S_OK;
  }
  vxtest::Command& Add(vxtest::Op op, ID2D1Brush* brush) {
    current_.emplace_back();
    vxtest::Command& c = current_.back();
    c.op = op;
    c.color = D2D1_COLOR_F{0, 0, 0, 0};
    c.brushOpacity = 1.0f;
    if (brush) {
      c.brushOpacity = brush->GetOpacity();
      if (auto* solid = OurObject<SolidBrush>(brush)) c.color = solid->color_;
    }
    return c;
  }
  void OnClear(const D2D1_COLOR_F& color) override { Add(vxtest::Op::Clear, nullptr).color = color; }
  void OnLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, float width,
              ID2D1StrokeStyle* stroke) override {
    vxtest::Command& c = Add(vxtest::Op::DrawLine, brush);
    c.p0 = p0;
    c.p1 = p1;
    c.strokeWidth = width;
    c.stroke = stroke;
  }
  void OnRect(const D2D1_RECT_F& rect, ID2D1Brush* brush, float width, ID2D1StrokeStyle* stroke,
              bool fill) override {
    vxtest::Command& c = Add(fill ? vxtest::Op::FillRectangle : vxtest::Op::DrawRectangle, brush);
    c.rect = rect;
    c.strokeWidth = width;
    c.stroke = stroke;
  }
  void OnRounded(const D2D1_ROUNDED_RECT& rounded, ID2D1Brush* brush, float width,
                 ID2D1StrokeStyle* stroke) override {
    vxtest::Command& c = Add(vxtest::Op::DrawRoundedRectangle, brush);
    c.rounded = rounded;
    c.rect = rounded.rect;
    c.strokeWidth = width;
    c.stroke = stroke;
  }
  void OnEllipse(const D2D1_ELLIPSE& ellipse, ID2D1Brush* brush, float width, ID2D1StrokeStyle* stroke,
                 bool fill) override {
    vxtest::Command& c = Add(fill ? vxtest::Op::FillEllipse : vxtest::Op::DrawEllipse, brush);
    c.ellipse = ellipse;
    c.strokeWidth = width;
    c.stroke = stroke;
  }
  void OnBitmap(Bitmap* bitmap, const D2D1_RECT_F& destination, float opacity,
                D2D1_BITMAP_INTERPOLATION_MODE interpolation, const D2D1_RECT_F* source) override {
    vxtest::Command& c = Add(vxtest::Op::DrawBitmap, nullptr);
    c.bitmap = bitmap;
    c.rect = destination;
    c.opacity = opacity;
    c.interpolation = interpolation;
    c.hasSource = source != nullptr;
    if (source) c.source = *source;
  }
  void OnText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layout,
              ID2D1Brush* brush) override {
    vxtest::Command& c = Add(vxtest::Op::DrawText, brush);
    c.format = format;
    c.alignment = format->GetTextAlignment();
    c.rect = layout;
    c.textLength = length;
    size_t room = kTextPool - currentText_.size();
    if (room == 0) return;  // text stays null: more text in one frame than any test draws
    size_t n = std::min<size_t>({length, 127, room - 1});
    c.text = currentText_.data() + currentText_.size();
    currentText_.insert(currentText_.end(), text, text + n);
    currentText_.push_back(0);
  }
};

const std::vector<vxtest::Command>& NoCommands() {
  static const std::vector<vxtest::Command> none;
  return none;
}

}  // namespace

HRESULT CreateRecordingTarget(ID2D1Factory* factory, HWND hwnd, UINT width, UINT height,
                              ID2D1HwndRenderTarget** target) {
  *target = new (std::nothrow) RecordingTarget(factory, hwnd, width, height);
  return *target ? S_OK : E_OUTOFMEMORY;
}

}  // namespace vxd2d

namespace vxtest {

void UseRecordingTargets(bool on) { vxd2d::g_recording = on; }

const std::vector<Command>& LastFrame(ID2D1RenderTarget* target) {
  auto* r = dynamic_cast<vxd2d::RecordingTarget*>(target);
  return r ? r->last_ : vxd2d::NoCommands();
}

const std::vector<Command>& CurrentFrame(ID2D1RenderTarget* target) {
  auto* r = dynamic_cast<vxd2d::RecordingTarget*>(target);
  return r ? r->current_ : vxd2d::NoCommands();
}

}  // namespace vxtest
