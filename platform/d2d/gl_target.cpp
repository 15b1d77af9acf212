// The window render target on OpenGL 3.3 core. Drawing calls become
// instances in the frame stream (gl_stream); EndDraw regroups the stream by
// program and texture wherever painter's order allows (gl_batch), uploads it
// once and draws each group with the program compiled for its one shape
// kind (gl_shaders).
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <unordered_map>
#include <utility>

#include "d2d/d2d_internal.h"
#include "d2d/gl_batch.h"
#include "d2d/gl_device.h"
#include "d2d/gl_shaders.h"
#include "d2d/gl_stream.h"
#include "d2d/glyph_atlas.h"
#include "vx_support.h"
#include "vx_window.h"
#include "testing/vx_testing.h"

namespace vxd2d {
namespace {

class GlTarget;
std::map<HWND, GlTarget*>& TargetsByWindow() {
  static std::map<HWND, GlTarget*> targets;
  return targets;
}

class GlTarget final : public TargetBase {
 public:
  GlTarget(ID2D1Factory* factory, HWND hwnd, UINT w, UINT h) : TargetBase(factory, hwnd, w, h), stream_(&atlas_) {}

  ~GlTarget() override {
    auto& targets = TargetsByWindow();
    auto it = targets.find(hwnd_);
    if (it != targets.end() && it->second == this) targets.erase(it);
    stream_.ReleaseHeld();
    if (device_) {
      if (device_->MakeCurrent()) {
        if (lastFrame_) glDeleteSync(lastFrame_);
        for (auto& p : programs_) glDeleteProgram(p.second.id);
        glDeleteVertexArrays(1, &vao_);
        glDeleteBuffers(1, &vbo_);
        glDeleteFramebuffers(1, &fbo_);
        GLuint textures[3] = {color_, atlasTexture_, dummy_};
        glDeleteTextures(3, textures);
      }
      device_->Release();
    }
  }

  HRESULT Init() {
    HRESULT hr = CreateDevice(hwnd_, &device_);
    if (FAILED(hr)) return hr;
    SDL_GL_SetSwapInterval(1);  // a refusal only means no vsync

    // The offscreen picture starts at one pixel: a window of the picture's
    // size is drawn straight into, and needs it only for a read-back.
    glGenTextures(1, &color_);
    glBindTexture(GL_TEXTURE_2D, color_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      VxReportOnce("OpenGL framebuffer incomplete", "cannot render into an RGBA8 texture");
      return kNoHardwareDevice;
    }
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    glGenTextures(1, &atlasTexture_);
    glBindTexture(GL_TEXTURE_2D, atlasTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, GlyphAtlas::kSide, GlyphAtlas::kSide, 0, GL_RED, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const uint8_t white[4] = {255, 255, 255, 255};
    glGenTextures(1, &dummy_);
    glBindTexture(GL_TEXTURE_2D, dummy_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &vbo_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    for (GLuint i = 0; i < 4; ++i) {
      glEnableVertexAttribArray(i);
      glVertexAttribDivisor(i, 1);
    }
    if (!WarmUp()) return kNoHardwareDevice;
    stream_.Reserve();
    batcher_.Reserve();
    TargetsByWindow()[hwnd_] = this;
    return S_OK;
  }

  // The picture of the last EndDraw: there is none to give while a frame is open.
  bool ReadPixels(std::vector<uint8_t>& rgba, int* width, int* height) {
    if (InFrame() || !device_->MakeCurrent()) return false;
    SizeOffscreen();
    if (replayable_) {
      // The last frame went straight to the window, whose buffer is gone
      // after the swap: draw it again offscreen, from the same stream.
      glBindVertexArray(vao_);
      glBindBuffer(GL_ARRAY_BUFFER, vbo_);
      Render(fbo_);
      replayable_ = false;
    }
    rgba.resize(static_cast<size_t>(width_) * height_ * 4);
    glFinish();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    // OpenGL's rows run bottom-up.
    const size_t row = static_cast<size_t>(width_) * 4;
    for (UINT y = 0; y < height_ / 2; ++y)
      std::swap_ranges(rgba.begin() + y * row, rgba.begin() + (y + 1) * row, rgba.begin() + (height_ - 1 - y) * row);
    if (width) *width = static_cast<int>(width_);
    if (height) *height = static_cast<int>(height_);
    return true;
  }

 protected:
  bool Aliased() const { return antialias_ == D2D1_ANTIALIAS_MODE_ALIASED; }

  void OnBegin() override {
    stream_.Begin(transform_);
    replayable_ = false;
    atlas_.StartOverIfFull();
  }
  void OnTransform() override { stream_.SetTransform(transform_); }
  void OnClear(const D2D1_COLOR_F& color) override { stream_.Clear(color); }
  void OnLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, float width,
              ID2D1StrokeStyle* stroke) override {
    stream_.Line(p0, p1, brush, width, stroke, Aliased());
  }
  void OnRect(const D2D1_RECT_F& r, ID2D1Brush* brush, float width, ID2D1StrokeStyle*, bool fill) override {
    stream_.Rect(r, brush, width, fill, Aliased());
  }
  void OnRounded(const D2D1_ROUNDED_RECT& rr, ID2D1Brush* brush, float width, ID2D1StrokeStyle*) override {
    stream_.Rounded(rr, brush, width, Aliased());
  }
  void OnEllipse(const D2D1_ELLIPSE& e, ID2D1Brush* brush, float width, ID2D1StrokeStyle*, bool fill) override {
    stream_.Ellipse(e, brush, width, fill, Aliased());
  }
  void OnBitmap(Bitmap* bitmap, const D2D1_RECT_F& dest, float opacity, D2D1_BITMAP_INTERPOLATION_MODE mode,
                const D2D1_RECT_F* source) override {
    stream_.Bitmap(bitmap, dest, opacity, mode, source, Aliased());
  }
  void OnText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layout,
              ID2D1Brush* brush) override {
    stream_.Text(text, length, format, layout, brush, Aliased());
  }

  // The bitmap's pixels go straight into its texture, band by band; the
  // bitmap keeps no copy of them.
  HRESULT MakeBitmap(IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                     ID2D1Bitmap** bitmap) override {
    if (!bitmap) return E_POINTER;
    *bitmap = nullptr;
    BitmapSourceInfo info;
    HRESULT hr = CheckBitmapSource(source, properties, &info);
    if (FAILED(hr)) return hr;
    GlTexture* texture = nullptr;
    if (info.width > 0 && info.height > 0) {
      if (!device_->MakeCurrent()) return D2DERR_RECREATE_TARGET;
      hr = MakeTextureFromSource(device_, source, info.width, info.height, &texture);
      if (FAILED(hr)) return hr;
    }
    auto* made = new (std::nothrow) Bitmap(factory_.get(), info.width, info.height, {}, info.dpiX, info.dpiY);
    if (!made) {
      ReleaseGlTexture(texture);
      return E_OUTOFMEMORY;
    }
    made->glTexture = texture;
    *bitmap = made;
    return S_OK;
  }

  // What the frame used stays held until the next frame begins: a read-back
  // may draw the frame again.
  HRESULT OnEnd() override {
    replayable_ = false;
    return Execute();
  }

 private:
  const Program* ProgramFor(int mask) {
    auto found = programs_.find(mask);
    if (found != programs_.end()) return found->second.id ? &found->second : nullptr;
    Program& prog = programs_[mask];  // a failure stays cached as id 0
    return BuildProgram(mask, &prog) ? &prog : nullptr;
  }

  // Compiles the program of every shape with plain paint and runs each once
  // on an instance outside the picture: the driver builds its code for a
  // program at its first draw, and a frame that waits for that stutters.
  bool WarmUp() {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glViewport(0, 0, std::max<UINT>(width_, 1), std::max<UINT>(height_, 1));
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, atlasTexture_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, dummy_);
    Instance far{};
    Set(far.g0, -1e4f, -1e4f, 1.0f, 1.0f);
    Set(far.g1, 0.0f, 0.0f, 1.0f, 1.0f);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, sizeof far, &far, GL_STREAM_DRAW);
    for (int shape = 0; shape <= kShapeCount; ++shape) {
      const int kind = shape < kShapeCount ? shape : kSprite | kNearest;
      const Program* program = ProgramFor(MaskOf(kind));
      if (!program) return false;
      far.kind = static_cast<float>(kind);
      glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof far, &far);
      glUniform2f(program->size, static_cast<float>(std::max<UINT>(width_, 1)),
                  static_cast<float>(std::max<UINT>(height_, 1)));
      glUniform3f(program->row0, 1, 0, 0);
      glUniform3f(program->row1, 0, 1, 0);
      glUniform1f(program->scale, 1);
      glUniform1f(program->unit, 1);
      DrawInstances(0, 1);
    }
    glFinish();
    return true;
  }

  GlTexture* TextureFor(ID2D1Resource* owner) {
    if (auto* bitmap = OurObject<Bitmap>(owner)) {
      if (bitmap->glTexture && bitmap->glTexture->device == device_) return bitmap->glTexture;
      // Another target's bitmap moves to this one, its pixels read back
      // from its texture unless it keeps a copy.
      std::vector<uint8_t> moved;
      const uint8_t* pixels = bitmap->pixels().data();
      if (bitmap->pixels().empty()) {
        if (!ReadTexture(bitmap->glTexture, moved)) return nullptr;
        pixels = moved.data();
      }
      ReleaseGlTexture(bitmap->glTexture);
      bitmap->glTexture = nullptr;
      device_->MakeCurrent();
      GlTexture* t = MakeTexture(device_, GL_RGBA8, bitmap->width(), bitmap->height(), GL_BGRA,
                                 GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
      bitmap->glTexture = t;
      return t;
    }
    if (auto* stops = OurObject<GradientStops>(owner)) {
      if (stops->glTexture && stops->glTexture->device == device_) return stops->glTexture;
      ReleaseGlTexture(stops->glTexture);
      stops->glTexture = nullptr;
      device_->MakeCurrent();
      stops->glTexture =
          MakeTexture(device_, GL_RGBA32F, GradientStops::kRampSize, 1, GL_RGBA, GL_FLOAT, stops->ramp());
      return stops->glTexture;
    }
    return nullptr;
  }

  HRESULT Execute() {
    if (!device_->MakeCurrent() || device_->Lost()) return D2DERR_RECREATE_TARGET;
    batcher_.Build(stream_.segments(), stream_.instances(), stream_.owners(), width_, height_);

    // At most one frame in flight: this one was recorded and ordered while
    // the rasteriser finished the last one.
    WaitForLastFrame();
    glBindVertexArray(vao_);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, atlasTexture_);
    atlas_.UploadPlaced();
    glActiveTexture(GL_TEXTURE0);

    // One upload for the frame: the buffer is orphaned, then refilled.
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    const std::vector<Instance>& ordered = batcher_.ordered();
    size_t bytes = ordered.size() * sizeof(Instance);
    if (bytes > vboCapacity_) vboCapacity_ = std::max<size_t>(bytes * 2, 1 << 20);
    glBufferData(GL_ARRAY_BUFFER, vboCapacity_, nullptr, GL_STREAM_DRAW);
    if (bytes) glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, ordered.data());

    // Where the window's drawable is the picture's size the frame goes
    // straight to it: copying a picture through the software rasteriser
    // costs as much as drawing a busy frame. Otherwise it is drawn offscreen
    // and scaled to fit.
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(device_->window, &dw, &dh);
    const bool direct = dw == static_cast<int>(width_) && dh == static_cast<int>(height_);
    if (!direct) SizeOffscreen();
    Render(direct ? 0 : fbo_);
    if (!direct) Blit(dw, dh);
    // At swap interval 1, SDL's Wayland swap waits for the compositor's
    // frame callback in a loop that never ends once the connection has
    // failed with events still queued (a failure during the wait itself
    // only lasts until the wait's timeout).
    VxEndIfDisplayLost(device_->window);
    SDL_GL_SwapWindow(device_->window);
    lastFrame_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    replayable_ = direct;
    return device_->Lost() ? D2DERR_RECREATE_TARGET : S_OK;
  }

  // The offscreen picture at full size, black until drawn.
  void SizeOffscreen() {
    if (offscreenSized_) return;
    offscreenSized_ = true;
    glBindTexture(GL_TEXTURE_2D, color_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, std::max<UINT>(width_, 1), std::max<UINT>(height_, 1), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  void WaitForLastFrame() {
    if (!lastFrame_) return;
    glClientWaitSync(lastFrame_, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000);  // a timeout only costs pacing
    glDeleteSync(lastFrame_);
    lastFrame_ = nullptr;
  }

  // Draws the frame's draws from the uploaded stream into a framebuffer.
  void Render(GLuint framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width_, height_);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    const Program* current = nullptr;
    const D2D1_MATRIX_3X2_F* applied = nullptr;
    for (const Draw& d : batcher_.draws()) {
      if (d.segment->clear) {
        const float* c = d.segment->clearColor;
        glDisable(GL_BLEND);
        glClearColor(std::min(1.0f, std::max(0.0f, c[0])), std::min(1.0f, std::max(0.0f, c[1])),
                     std::min(1.0f, std::max(0.0f, c[2])), std::min(1.0f, std::max(0.0f, c[3])));
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        continue;
      }
      const Program* program = ProgramFor(d.mask);
      if (!program) continue;
      if (program != current) {
        glUseProgram(program->id);
        glUniform2f(program->size, static_cast<float>(width_), static_cast<float>(height_));
        current = program;
        applied = nullptr;
      }
      if (!applied || std::memcmp(applied, &d.segment->transform, sizeof d.segment->transform) != 0) {
        const D2D1_MATRIX_3X2_F& m = d.segment->transform;
        glUniform3f(program->row0, m._11, m._21, m._31);
        glUniform3f(program->row1, m._12, m._22, m._32);
        float scale = std::sqrt(std::fabs(m._11 * m._22 - m._12 * m._21));
        scale = std::max(scale, 1e-6f);
        glUniform1f(program->scale, scale);
        glUniform1f(program->unit, 1.0f / scale);
        applied = &d.segment->transform;
      }
      GlTexture* t = d.owner ? TextureFor(d.owner) : nullptr;
      if (d.owner && !t) continue;
      glBindTexture(GL_TEXTURE_2D, t ? t->name : dummy_);
      DrawInstances(d.first, d.count);
    }
  }

  void DrawInstances(size_t first, size_t count) {
    const uintptr_t base = first * sizeof(Instance);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Instance), reinterpret_cast<void*>(base));
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(Instance), reinterpret_cast<void*>(base + 16));
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, sizeof(Instance), reinterpret_cast<void*>(base + 32));
    glVertexAttribPointer(3, 1, GL_FLOAT, GL_FALSE, sizeof(Instance), reinterpret_cast<void*>(base + 48));
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(count));
  }

  // The offscreen picture scaled to fit the window's drawable, aspect kept, bars black.
  void Blit(int dw, int dh) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (dw > 0 && dh > 0 && width_ > 0 && height_ > 0) {
      double scale = std::min(static_cast<double>(dw) / width_, static_cast<double>(dh) / height_);
      int w = static_cast<int>(std::lround(width_ * scale)), h = static_cast<int>(std::lround(height_ * scale));
      int x = (dw - w) / 2, y = (dh - h) / 2;
      glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
      glBlitFramebuffer(0, 0, width_, height_, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT,
                        (w == static_cast<int>(width_) && h == static_cast<int>(height_)) ? GL_NEAREST : GL_LINEAR);
    }
  }

  Device* device_ = nullptr;
  GlyphAtlas atlas_;
  FrameStream stream_;
  Batcher batcher_;
  std::unordered_map<int, Program> programs_;
  GLuint vao_ = 0, vbo_ = 0, fbo_ = 0, color_ = 0, atlasTexture_ = 0, dummy_ = 0;
  size_t vboCapacity_ = 0;
  bool replayable_ = false;     // the last frame drew to the window, and the draws can draw it again
  bool offscreenSized_ = false;
  GLsync lastFrame_ = nullptr;
};

}  // namespace

HRESULT CreateGlTarget(ID2D1Factory* factory, HWND hwnd, UINT width, UINT height, ID2D1HwndRenderTarget** target) {
  auto* made = new (std::nothrow) GlTarget(factory, hwnd, width, height);
  if (!made) return E_OUTOFMEMORY;
  HRESULT hr = made->Init();
  if (FAILED(hr)) {
    made->Release();
    return hr;
  }
  *target = made;
  return S_OK;
}

}  // namespace vxd2d

namespace vxtest {

bool ReadWindowPixels(HWND hwnd, std::vector<uint8_t>& rgba, int* width, int* height) {
  auto& targets = vxd2d::TargetsByWindow();
  auto it = targets.find(hwnd);
  return it != targets.end() && it->second->ReadPixels(rgba, width, height);
}

}  // namespace vxtest
