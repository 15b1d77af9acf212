// The window render target on OpenGL 3.3 core. Drawing calls become
// instances (shape kind per instance, coverage computed analytically in the
// fragment shader) appended to a frame stream. EndDraw regroups the stream
// by program and texture wherever painter's order allows, uploads it once
// and draws each group with a program compiled for its one shape kind.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <unordered_map>
#include <utility>

#include "d2d/d2d_internal.h"
#include "internal/vx_text.h"
#include "internal/vx_window.h"
#include "testing/vx_testing.h"

namespace vxd2d {

namespace {

// Shape kinds and flags, shared with the shaders.
enum : int {
  kLine = 0,
  kRectFill = 1,
  kRectStroke = 2,
  kEllipseFill = 3,
  kEllipseStroke = 4,
  kRoundedStroke = 5,
  kSprite = 6,
  kGlyph = 7,
  kGradient = 16,
  kAliased = 32,
  kNearest = 64,
  kExtendShift = 8,
};

constexpr int kAtlasSide = 2048;

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 a_g0;
layout(location = 1) in vec4 a_g1;
layout(location = 2) in vec4 a_col;
layout(location = 3) in float a_kind;
uniform vec3 u_row0;
uniform vec3 u_row1;
uniform vec2 u_size;
uniform float u_unit;
out vec2 v_local;
out vec2 v_user;
flat out vec4 v_g0;
flat out vec4 v_g1;
flat out vec4 v_col;
flat out int v_kind;
void main() {
  int kind = int(a_kind);
  int shape = kind & 15;
  vec2 corner = vec2((gl_VertexID & 1) == 1 ? 1.0 : -1.0, (gl_VertexID & 2) == 2 ? 1.0 : -1.0);
  vec2 user;
  if (shape == 0) {
    vec2 d = a_g0.zw - a_g0.xy;
    float len = length(d);
    vec2 u = len > 0.0 ? d / len : vec2(1.0, 0.0);
    vec2 n = vec2(-u.y, u.x);
    float capExt = (a_g1.y != 0.0 || a_g1.z != 0.0) ? a_g1.x : 0.0;
    v_local = corner * vec2(a_g1.w + capExt + 0.5 * u_unit, a_g1.x + 0.5 * u_unit);
    user = 0.5 * (a_g0.xy + a_g0.zw) + v_local.x * u + v_local.y * n;
  } else {
    // Coverage ends half a pixel past an edge; the curves' distance
    // estimates get a whole pixel.
    float pad = shape >= 6 ? 0.5 * u_unit : a_g1.x + (shape <= 2 ? 0.5 : 1.0) * u_unit;
    v_local = corner * (a_g0.zw + pad);
    user = a_g0.xy + v_local;
  }
  vec2 px = vec2(dot(u_row0, vec3(user, 1.0)), dot(u_row1, vec3(user, 1.0)));
  gl_Position = vec4(px.x / u_size.x * 2.0 - 1.0, 1.0 - px.y / u_size.y * 2.0, 0.0, 1.0);
  v_user = user;
  v_g0 = a_g0;
  v_g1 = a_g1;
  v_col = a_col;
  v_kind = kind;
}
)";

// Compiled per kind (K0..K7 shapes, KN nearest sprites, with KG gradients
// and KA aliased): a software rasteriser runs every branch a shader has, so
// each draw gets only the branches its kind uses.
const char* kFragmentShader = R"(
in vec2 v_local;
in vec2 v_user;
flat in vec4 v_g0;
flat in vec4 v_g1;
flat in vec4 v_col;
flat in int v_kind;
uniform sampler2D u_tex;
uniform sampler2D u_atlas;
uniform float u_scale;
out vec4 o_color;
// Length of [q - 0.5, q + 0.5] inside [-h, h]: a pixel's exact coverage along one axis.
float ov(float q, float h) { return clamp(min(q + 0.5, h) - max(q - 0.5, -h), 0.0, 1.0); }
float ellipseDist(vec2 p, vec2 r) {
  vec2 q = p / r;
  float k1 = length(q);
  float k2 = length(q / r);
  return k2 > 0.0 ? k1 * (k1 - 1.0) / k2 : -min(r.x, r.y);
}
void main() {
  int shape = v_kind & 15;
  float s = u_scale;
  vec2 p = v_local * s;
  float cov = 0.0;
  vec4 texel = vec4(1.0);
#ifdef K0
  if (shape == 0) {
    float hw = v_g1.x * s;
    float hl = v_g1.w * s;
    float cap = p.x > 0.0 ? v_g1.z : v_g1.y;
    if (cap == 2.0) {
      float ax = abs(p.x);
      cov = ax <= hl ? ov(p.y, hw)
                     : min(clamp(0.5 - (length(vec2(ax - hl, p.y)) - hw), 0.0, 1.0), ov(0.0, hw));
    } else {
      cov = ov(p.x, hl + (cap == 1.0 ? hw : 0.0)) * ov(p.y, hw);
    }
  }
#endif
#ifdef K1
  if (shape == 1) cov = ov(p.x, v_g0.z * s) * ov(p.y, v_g0.w * s);
#endif
#ifdef K2
  if (shape == 2) {
    float hw = v_g1.x * s;
    vec2 h = v_g0.zw * s;
    cov = ov(p.x, h.x + hw) * ov(p.y, h.y + hw);
    if (h.x > hw && h.y > hw) cov -= ov(p.x, h.x - hw) * ov(p.y, h.y - hw);
  }
#endif
#ifdef K3
  if (shape == 3) cov = clamp(0.5 - ellipseDist(v_local, v_g0.zw) * s, 0.0, 1.0);
#endif
#ifdef K4
  if (shape == 4) {
    float d = abs(ellipseDist(v_local, v_g0.zw)) - v_g1.x;
    cov = min(clamp(0.5 - d * s, 0.0, 1.0), ov(0.0, v_g1.x * s));
  }
#endif
#ifdef K5
  if (shape == 5) {
    float k = v_g1.z > 0.0 ? v_g1.y / v_g1.z : 1.0;
    vec2 q = vec2(v_local.x, v_local.y * k);
    vec2 h = vec2(v_g0.z, v_g0.w * k);
    float r = min(v_g1.y, min(h.x, h.y));
    vec2 e = abs(q) - h + r;
    float d = length(max(e, 0.0)) + min(max(e.x, e.y), 0.0) - r;
    cov = min(clamp(0.5 - (abs(d) - v_g1.x) * s, 0.0, 1.0), ov(0.0, v_g1.x * s));
  }
#endif
#if defined(K6) || defined(K7) || defined(KN)
  if (shape >= 6) {
    cov = ov(p.x, v_g0.z * s) * ov(p.y, v_g0.w * s);
    vec2 uv = v_g1.xy + (v_local + v_g0.zw) / (2.0 * v_g0.zw) * (v_g1.zw - v_g1.xy);
#ifdef K7
    if (shape == 7) texel = vec4(texelFetch(u_atlas, ivec2(min(max(floor(uv), v_g1.xy), v_g1.zw - 1.0)), 0).r);
#endif
#ifdef KN
    if (shape == 6 && (v_kind & 64) != 0)
      texel = texelFetch(u_tex, ivec2(min(max(floor(uv), floor(v_g1.xy)), ceil(v_g1.zw) - 1.0)), 0);
#endif
#ifdef K6
    if (shape == 6 && (v_kind & 64) == 0) {
      uv = min(max(uv, v_g1.xy + 0.5), v_g1.zw - 0.5);
      texel = texture(u_tex, uv / vec2(textureSize(u_tex, 0)));
    }
#endif
  }
#endif
#ifdef KA
  if ((v_kind & 32) != 0) cov = cov >= 0.5 ? 1.0 : 0.0;
#endif
  vec4 paint = v_col;
#ifdef KG
  if ((v_kind & 16) != 0) {
    float t = dot(v_col.xy, v_user) + v_col.z;
    int extend = (v_kind >> 8) & 3;
    if (extend == 1) t = fract(t);
    else if (extend == 2) { t = mod(abs(t), 2.0); t = t > 1.0 ? 2.0 - t : t; }
    t = clamp(t, 0.0, 1.0);
    paint = texture(u_tex, vec2((t * 255.0 + 0.5) / 256.0, 0.5)) * v_col.w;
  }
#endif
  if (shape == 6) paint = texel * v_col;
  else if (shape == 7) paint *= texel.r;
  // Premultiplied and unclamped: the 8-bit target clamps when it is written.
  o_color = paint * cov;
}
)";

struct Instance {
  float g0[4];
  float g1[4];
  float col[4];
  float kind;
};
static_assert(sizeof(Instance) == 52, "instance layout is shared with the vertex shader");

// One OpenGL context on one SDL window, shared by the target and every
// texture made for it; it lives until the last of them is released.
struct Device {
  HWND hwnd = nullptr;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool robust = false;
  int refs = 1;

  // False when the window is gone: nothing may be made current on it.
  bool MakeCurrent() {
    if (!context || VxSdlWindowOf(hwnd) != window) return false;
    return SDL_GL_MakeCurrent(window, context) == 0;
  }
  void AddRef() { ++refs; }
  void Release() {
    if (--refs > 0) return;
    if (context) {
      MakeCurrent();
      SDL_GL_DeleteContext(context);
    }
    delete this;
  }
  bool Lost() {
    if (!robust) return false;
    return glGetGraphicsResetStatusARB() != GL_NO_ERROR;
  }
};

}  // namespace

struct GlTexture {
  Device* device;
  GLuint name;
  int width, height;
};

void ReleaseGlTexture(GlTexture* texture) {
  if (!texture) return;
  if (texture->device->MakeCurrent()) glDeleteTextures(1, &texture->name);
  texture->device->Release();
  delete texture;
}

namespace {

GLuint Compile(GLenum type, const char* source, std::string* log) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char buffer[1024] = {};
    glGetShaderInfoLog(shader, sizeof buffer, nullptr, buffer);
    *log = buffer;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

class GlTarget;
std::map<HWND, GlTarget*>& TargetsByWindow() {
  static std::map<HWND, GlTarget*> targets;
  return targets;
}

class GlTarget final : public TargetBase {
 public:
  GlTarget(ID2D1Factory* factory, HWND hwnd, UINT w, UINT h) : TargetBase(factory, hwnd, w, h) {}

  ~GlTarget() override {
    auto& targets = TargetsByWindow();
    auto it = targets.find(hwnd_);
    if (it != targets.end() && it->second == this) targets.erase(it);
    ReleaseHeld();
    if (device_) {
      if (glReady_ && device_->MakeCurrent()) {
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
    SDL_Window* window = VxSdlWindowOf(hwnd_);
    if (!window) {
      VxReportEnvironmentFailure("no window for the Direct2D render target", "the window handle is not live");
      return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
      VxReportEnvironmentFailure("no OpenGL 3.3 core context", SDL_GetError());
      return kNoHardwareDevice;
    }
    device_ = new Device;
    device_->hwnd = hwnd_;
    device_->window = window;
    device_->context = context;
    if (!device_->MakeCurrent() || epoxy_gl_version() < 33) {
      VxReportEnvironmentFailure("no OpenGL 3.3 core context", "the driver offers an older version");
      return kNoHardwareDevice;
    }
    glReady_ = true;
    device_->robust = epoxy_has_gl_extension("GL_ARB_robustness");
    SDL_GL_SetSwapInterval(1);  // a refusal only means no vsync

    glGenTextures(1, &color_);
    glBindTexture(GL_TEXTURE_2D, color_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, std::max<UINT>(width_, 1), std::max<UINT>(height_, 1), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      VxReportEnvironmentFailure("OpenGL framebuffer incomplete", "cannot render into an RGBA8 texture");
      return kNoHardwareDevice;
    }
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    atlas_.assign(static_cast<size_t>(kAtlasSide) * kAtlasSide, 0);
    glGenTextures(1, &atlasTexture_);
    glBindTexture(GL_TEXTURE_2D, atlasTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kAtlasSide, kAtlasSide, 0, GL_RED, GL_UNSIGNED_BYTE, atlas_.data());
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
    instances_.reserve(1 << 15);
    segments_.reserve(256);
    owners_.reserve(1 << 15);
    ordered_.reserve(1 << 15);
    draws_.reserve(256);
    held_.reserve(64);
    glyphs_.reserve(256);
    atlasSlots_.reserve(1024);
    TargetsByWindow()[hwnd_] = this;
    return S_OK;
  }

  // Mask bits: 1 << shape for shapes 0..7, then nearest sprites, gradients, aliased.
  static constexpr int kMaskNearest = 1 << 8, kMaskGradient = 1 << 9, kMaskAliased = 1 << 10;
  static int MaskOf(int kind) {
    int shape = kind & 15;
    int mask = (shape == kSprite && (kind & kNearest)) ? kMaskNearest : 1 << shape;
    if (kind & kGradient) mask |= kMaskGradient;
    if (kind & kAliased) mask |= kMaskAliased;
    return mask;
  }

  struct Program {
    GLuint id = 0;
    GLint row0 = -1, row1 = -1, size = -1, unit = -1, scale = -1;
  };

  const Program* ProgramFor(int mask) {
    auto found = programs_.find(mask);
    if (found != programs_.end()) return found->second.id ? &found->second : nullptr;
    Program& prog = programs_[mask];
    std::string header = "#version 330 core\n";
    static const char* const names[11] = {"K0", "K1", "K2", "K3", "K4", "K5", "K6", "K7", "KN", "KG", "KA"};
    for (int i = 0; i < 11; ++i)
      if (mask & (1 << i)) header += std::string("#define ") + names[i] + "\n";
    std::string fsSource = header + kFragmentShader;
    std::string log;
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, &log);
    GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, fsSource.c_str(), &log) : 0;
    if (!vs || !fs) {
      VxReportEnvironmentFailure("OpenGL shader compilation failed", log.c_str());
      if (vs) glDeleteShader(vs);
      return nullptr;
    }
    GLuint id = glCreateProgram();
    glAttachShader(id, vs);
    glAttachShader(id, fs);
    glLinkProgram(id);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(id, GL_LINK_STATUS, &linked);
    if (!linked) {
      VxReportEnvironmentFailure("OpenGL shader link failed", "the renderer's program did not link");
      glDeleteProgram(id);
      return nullptr;
    }
    prog.id = id;
    prog.row0 = glGetUniformLocation(id, "u_row0");
    prog.row1 = glGetUniformLocation(id, "u_row1");
    prog.size = glGetUniformLocation(id, "u_size");
    prog.unit = glGetUniformLocation(id, "u_unit");
    prog.scale = glGetUniformLocation(id, "u_scale");
    glUseProgram(id);
    glUniform1i(glGetUniformLocation(id, "u_tex"), 0);
    glUniform1i(glGetUniformLocation(id, "u_atlas"), 1);
    return &prog;
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
    for (int shape = kLine; shape <= kGlyph + 1; ++shape) {
      const int kind = shape <= kGlyph ? shape : kSprite | kNearest;
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

  bool ReadPixels(std::vector<uint8_t>& rgba, int* width, int* height) {
    if (!device_->MakeCurrent()) return false;
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
  // A run of recorded instances under one transform, or a clear.
  struct Segment {
    bool clear;
    float clearColor[4];
    size_t first, count;
    D2D1_MATRIX_3X2_F transform;
  };
  // One draw call over the reordered stream.
  struct Draw {
    const Segment* segment;  // a clear, or the transform to apply
    int mask;
    ID2D1Resource* owner;  // the bitmap or gradient sampled as u_tex, or null
    size_t first, count;
  };

  void OnBegin() override {
    ReleaseHeld();
    replayable_ = false;
    instances_.clear();
    owners_.clear();
    segments_.clear();
    newSegment_ = true;
    lastHeld_ = nullptr;
    // A full atlas starts over between frames; glyphs come back as they are drawn.
    if (atlasY_ > kAtlasSide * 3 / 4) {
      std::fill(atlas_.begin(), atlas_.end(), 0);
      atlasSlots_.clear();
      atlasX_ = atlasY_ = atlasRow_ = 0;
      dirtyY0_ = 0;
      dirtyY1_ = kAtlasSide;
    }
  }

  void OnTransform() override { newSegment_ = true; }

  Instance* Push(ID2D1Resource* owner) {
    if (newSegment_ || segments_.empty() || segments_.back().clear) {
      segments_.push_back(Segment{false, {0, 0, 0, 0}, instances_.size(), 0, transform_});
      newSegment_ = false;
    }
    if (owner && owner != lastHeld_) {
      owner->AddRef();
      held_.push_back(owner);
      lastHeld_ = owner;
    }
    ++segments_.back().count;
    owners_.push_back(owner);
    instances_.emplace_back();
    return &instances_.back();
  }

  // The brush as the instance's colour and kind flags; false for brushes not ours.
  bool Paint(ID2D1Brush* brush, Instance* inst, int* kind, ID2D1Resource** owner) {
    if (auto* solid = OurObject<SolidBrush>(brush)) {
      const D2D1_COLOR_F& c = solid->color_;
      float a = c.a * solid->opacity_;
      inst->col[0] = c.r * a;
      inst->col[1] = c.g * a;
      inst->col[2] = c.b * a;
      inst->col[3] = a;
      *owner = nullptr;
      return true;
    }
    if (auto* gradient = OurObject<LinearGradientBrush>(brush)) {
      gradient->Parameter(&inst->col[0], &inst->col[1], &inst->col[2]);
      inst->col[3] = gradient->GetOpacity();
      *kind |= kGradient | (static_cast<int>(gradient->stops()->GetExtendMode()) << kExtendShift);
      *owner = gradient->stops();
      return true;
    }
    return false;
  }

  Instance* Shape(ID2D1Brush* brush, int kind) {
    Instance scratch;
    ID2D1Resource* owner = nullptr;
    if (!Paint(brush, &scratch, &kind, &owner)) return nullptr;
    if (antialias_ == D2D1_ANTIALIAS_MODE_ALIASED) kind |= kAliased;
    Instance* inst = Push(owner);
    std::copy(scratch.col, scratch.col + 4, inst->col);
    inst->kind = static_cast<float>(kind);
    return inst;
  }

  static float CapCode(D2D1_CAP_STYLE cap) {
    switch (cap) {
      case D2D1_CAP_STYLE_FLAT: return 0.0f;
      case D2D1_CAP_STYLE_SQUARE: return 1.0f;
      default: return 2.0f;  // round, and triangle drawn as round
    }
  }

  static void Set(float* v, float a, float b, float c, float d) {
    v[0] = a;
    v[1] = b;
    v[2] = c;
    v[3] = d;
  }

  void OnClear(const D2D1_COLOR_F& color) override {
    segments_.push_back(
        Segment{true, {color.r * color.a, color.g * color.a, color.b * color.a, color.a}, 0, 0, transform_});
    newSegment_ = true;
  }

  void OnLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, float width,
              ID2D1StrokeStyle* stroke) override {
    float startCap = stroke ? CapCode(stroke->GetStartCap()) : 0.0f;
    float endCap = stroke ? CapCode(stroke->GetEndCap()) : 0.0f;
    Instance* inst = Shape(brush, kLine);
    if (!inst) return;
    float dx = p1.x - p0.x, dy = p1.y - p0.y;
    Set(inst->g0, p0.x, p0.y, p1.x, p1.y);
    Set(inst->g1, 0.5f * std::fabs(width), startCap, endCap, 0.5f * std::sqrt(dx * dx + dy * dy));
  }

  void OnRect(const D2D1_RECT_F& r, ID2D1Brush* brush, float width, ID2D1StrokeStyle*, bool fill) override {
    Instance* inst = Shape(brush, fill ? kRectFill : kRectStroke);
    if (!inst) return;
    Set(inst->g0, 0.5f * (r.left + r.right), 0.5f * (r.top + r.bottom), 0.5f * std::fabs(r.right - r.left),
        0.5f * std::fabs(r.bottom - r.top));
    Set(inst->g1, fill ? 0.0f : 0.5f * std::fabs(width), 0, 0, 0);
  }

  void OnRounded(const D2D1_ROUNDED_RECT& rr, ID2D1Brush* brush, float width, ID2D1StrokeStyle*) override {
    Instance* inst = Shape(brush, kRoundedStroke);
    if (!inst) return;
    const D2D1_RECT_F& r = rr.rect;
    Set(inst->g0, 0.5f * (r.left + r.right), 0.5f * (r.top + r.bottom), 0.5f * std::fabs(r.right - r.left),
        0.5f * std::fabs(r.bottom - r.top));
    Set(inst->g1, 0.5f * std::fabs(width), std::fabs(rr.radiusX), std::fabs(rr.radiusY), 0);
  }

  void OnEllipse(const D2D1_ELLIPSE& e, ID2D1Brush* brush, float width, ID2D1StrokeStyle*, bool fill) override {
    Instance* inst = Shape(brush, fill ? kEllipseFill : kEllipseStroke);
    if (!inst) return;
    // A zero radius would divide by zero in the distance estimate.
    Set(inst->g0, e.point.x, e.point.y, std::max(std::fabs(e.radiusX), 1e-3f), std::max(std::fabs(e.radiusY), 1e-3f));
    Set(inst->g1, fill ? 0.0f : 0.5f * std::fabs(width), 0, 0, 0);
  }

  void OnBitmap(Bitmap* bitmap, const D2D1_RECT_F& dest, float opacity, D2D1_BITMAP_INTERPOLATION_MODE mode,
                const D2D1_RECT_F* source) override {
    float dpiX, dpiY;
    bitmap->GetDpi(&dpiX, &dpiY);
    const float toPxX = dpiX / 96.0f, toPxY = dpiY / 96.0f;
    const float bw = static_cast<float>(bitmap->width()), bh = static_cast<float>(bitmap->height());
    D2D1_RECT_F src = source ? D2D1_RECT_F{source->left * toPxX, source->top * toPxY, source->right * toPxX,
                                           source->bottom * toPxY}
                             : D2D1_RECT_F{0, 0, bw, bh};
    float sw = src.right - src.left, sh = src.bottom - src.top;
    float dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    if (!(sw > 0.0f && sh > 0.0f && dw > 0.0f && dh > 0.0f)) return;
    // Only the part of the source inside the bitmap draws, where the whole
    // source would have put it.
    D2D1_RECT_F clipped{std::max(src.left, 0.0f), std::max(src.top, 0.0f), std::min(src.right, bw),
                        std::min(src.bottom, bh)};
    if (!(clipped.right > clipped.left && clipped.bottom > clipped.top)) return;
    const float kx = dw / sw, ky = dh / sh;
    D2D1_RECT_F d{dest.left + (clipped.left - src.left) * kx, dest.top + (clipped.top - src.top) * ky,
                  dest.left + (clipped.right - src.left) * kx, dest.top + (clipped.bottom - src.top) * ky};
    Instance* inst = Push(bitmap);
    Set(inst->g0, 0.5f * (d.left + d.right), 0.5f * (d.top + d.bottom), 0.5f * (d.right - d.left),
        0.5f * (d.bottom - d.top));
    Set(inst->g1, clipped.left, clipped.top, clipped.right, clipped.bottom);
    float o = std::min(1.0f, std::max(0.0f, opacity));
    Set(inst->col, o, o, o, o);
    int kind = kSprite;
    if (mode == D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR) kind |= kNearest;
    if (antialias_ == D2D1_ANTIALIAS_MODE_ALIASED) kind |= kAliased;
    inst->kind = static_cast<float>(kind);
  }

  struct AtlasSlot {
    int x, y;
    bool ok;
  };

  AtlasSlot Place(const VxGlyphBitmap* glyph) {
    auto found = atlasSlots_.find(glyph);
    if (found != atlasSlots_.end()) return found->second;
    const int w = glyph->width, h = glyph->height;
    AtlasSlot slot{0, 0, false};
    if (atlasX_ + w + 1 > kAtlasSide) {
      atlasX_ = 0;
      atlasY_ += atlasRow_ + 1;
      atlasRow_ = 0;
    }
    if (w + 1 <= kAtlasSide && atlasY_ + h + 1 <= kAtlasSide) {
      slot = AtlasSlot{atlasX_, atlasY_, true};
      for (int row = 0; row < h; ++row)
        std::copy(glyph->coverage + row * w, glyph->coverage + (row + 1) * w,
                  atlas_.begin() + static_cast<size_t>(atlasY_ + row) * kAtlasSide + atlasX_);
      dirtyY0_ = std::min(dirtyY0_, atlasY_);
      dirtyY1_ = std::max(dirtyY1_, atlasY_ + h);
      atlasX_ += w + 1;
      atlasRow_ = std::max(atlasRow_, h);
    }
    // A glyph that finds no room stays undrawn until the atlas starts over.
    atlasSlots_.emplace(glyph, slot);
    return slot;
  }

  void OnText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layout,
              ID2D1Brush* brush) override {
    glyphs_.clear();
    if (!VxLayoutText(format, text, length, layout, glyphs_)) return;
    for (const VxPlacedGlyph& g : glyphs_) {
      if (!g.glyph || g.glyph->width <= 0 || g.glyph->height <= 0) continue;
      AtlasSlot slot = Place(g.glyph);
      if (!slot.ok) continue;
      Instance* inst = Shape(brush, kGlyph);
      if (!inst) return;
      float hw = 0.5f * g.glyph->width, hh = 0.5f * g.glyph->height;
      Set(inst->g0, g.left + hw, g.top + hh, hw, hh);
      Set(inst->g1, static_cast<float>(slot.x), static_cast<float>(slot.y), static_cast<float>(slot.x + g.glyph->width),
          static_cast<float>(slot.y + g.glyph->height));
    }
  }

  GlTexture* TextureFor(ID2D1Resource* owner) {
    if (auto* bitmap = OurObject<Bitmap>(owner)) {
      if (bitmap->glTexture && bitmap->glTexture->device == device_) return bitmap->glTexture;
      ReleaseGlTexture(bitmap->glTexture);
      bitmap->glTexture = nullptr;
      device_->MakeCurrent();
      GlTexture* t = MakeTexture(GL_RGBA8, bitmap->width(), bitmap->height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                                 bitmap->pixels().data());
      bitmap->glTexture = t;
      return t;
    }
    if (auto* stops = OurObject<GradientStops>(owner)) {
      if (stops->glTexture && stops->glTexture->device == device_) return stops->glTexture;
      ReleaseGlTexture(stops->glTexture);
      stops->glTexture = nullptr;
      device_->MakeCurrent();
      stops->glTexture = MakeTexture(GL_RGBA32F, GradientStops::kRampSize, 1, GL_RGBA, GL_FLOAT, stops->ramp());
      return stops->glTexture;
    }
    return nullptr;
  }

  GlTexture* MakeTexture(GLenum internal, int w, int h, GLenum format, GLenum type, const void* data) {
    auto* t = new GlTexture{device_, 0, w, h};
    device_->AddRef();
    glGenTextures(1, &t->name);
    glBindTexture(GL_TEXTURE_2D, t->name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, internal, std::max(w, 1), std::max(h, 1), 0, format, type,
                 w > 0 && h > 0 ? data : nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return t;
  }

  void ReleaseHeld() {
    for (ID2D1Resource* r : held_) r->Release();
    held_.clear();
  }

  // What the frame used stays held until the next frame begins: a read-back
  // may draw the frame again.
  HRESULT OnEnd() override {
    replayable_ = false;
    return Execute();
  }

  static constexpr int kCell = 16;  // side of the overlap grid's cells, in pixels

  // The cells an instance's quad can touch: the quad the vertex shader makes,
  // through the transform, widened by a pixel. False when it lies wholly
  // outside the target and so draws nothing.
  bool Cells(const Instance& in, const D2D1_MATRIX_3X2_F& m, float unit, int gw, int gh, int* cells) const {
    const int shape = static_cast<int>(in.kind) & 15;
    float cx, cy, ax, ay, bx, by;  // centre and two half-axes, user space
    if (shape == kLine) {
      float dx = in.g0[2] - in.g0[0], dy = in.g0[3] - in.g0[1];
      float len = std::sqrt(dx * dx + dy * dy);
      float ux = len > 0.0f ? dx / len : 1.0f, uy = len > 0.0f ? dy / len : 0.0f;
      float capExt = (in.g1[1] != 0.0f || in.g1[2] != 0.0f) ? in.g1[0] : 0.0f;
      float ex = in.g1[3] + capExt + unit, ey = in.g1[0] + unit;
      cx = 0.5f * (in.g0[0] + in.g0[2]);
      cy = 0.5f * (in.g0[1] + in.g0[3]);
      ax = ex * ux;
      ay = ex * uy;
      bx = -ey * uy;
      by = ey * ux;
    } else {
      float pad = shape >= kSprite ? 0.5f * unit : in.g1[0] + unit;
      cx = in.g0[0];
      cy = in.g0[1];
      ax = in.g0[2] + pad;
      by = in.g0[3] + pad;
      ay = bx = 0.0f;
    }
    float px = m._11 * cx + m._21 * cy + m._31, py = m._12 * cx + m._22 * cy + m._32;
    float hx = std::fabs(m._11 * ax + m._21 * ay) + std::fabs(m._11 * bx + m._21 * by) + 1.0f;
    float hy = std::fabs(m._12 * ax + m._22 * ay) + std::fabs(m._12 * bx + m._22 * by) + 1.0f;
    float l = px - hx, r = px + hx, t = py - hy, b = py + hy;
    const float w = static_cast<float>(width_), h = static_cast<float>(height_);
    if (!(l <= r && t <= b)) {  // not a number: assume it covers everything
      cells[0] = cells[1] = 0;
      cells[2] = gw - 1;
      cells[3] = gh - 1;
      return true;
    }
    if (r < 0.0f || b < 0.0f || l > w || t > h) return false;
    cells[0] = static_cast<int>(std::max(l, 0.0f)) / kCell;
    cells[1] = static_cast<int>(std::max(t, 0.0f)) / kCell;
    cells[2] = std::min(static_cast<int>(std::min(r, w)) / kCell, gw - 1);
    cells[3] = std::min(static_cast<int>(std::min(b, h)) / kCell, gh - 1);
    return true;
  }

  // Appends one segment's instances to ordered_, regrouped so that those of
  // one program and texture draw together, and its draws to draws_. An
  // instance moves ahead of earlier ones of another key only where their
  // quads cannot overlap, so every pixel still sees painter's order: each
  // gets a rank congruent to its key modulo the number of keys, at least the
  // highest rank already in the cells it touches, and ranks draw in order.
  void Order(const Segment& seg) {
    const D2D1_MATRIX_3X2_F& m = seg.transform;
    const float unit = 1.0f / std::max(std::sqrt(std::fabs(m._11 * m._22 - m._12 * m._21)), 1e-6f);
    keys_.clear();
    keyOf_.resize(seg.count);
    int last = -1;
    for (size_t j = 0; j < seg.count; ++j) {
      std::pair<int, ID2D1Resource*> key{MaskOf(static_cast<int>(instances_[seg.first + j].kind)),
                                         owners_[seg.first + j]};
      if (last < 0 || keys_[last] != key) {
        last = static_cast<int>(std::find(keys_.begin(), keys_.end(), key) - keys_.begin());
        if (last == static_cast<int>(keys_.size())) keys_.push_back(key);
      }
      keyOf_[j] = last;
    }
    const int nkeys = static_cast<int>(keys_.size());
    const int gw = std::max<int>(1, (width_ + kCell - 1) / kCell), gh = std::max<int>(1, (height_ + kCell - 1) / kCell);
    cells_.assign(static_cast<size_t>(gw) * gh, -1);
    rankOf_.resize(seg.count);
    int top = -1;
    for (size_t j = 0; j < seg.count; ++j) {
      int c[4];
      if (!Cells(instances_[seg.first + j], m, unit, gw, gh, c)) {
        rankOf_[j] = -1;
        continue;
      }
      const int k = keyOf_[j];
      int rank = k;
      if (nkeys > 1) {
        int below = -1;
        for (int y = c[1]; y <= c[3]; ++y)
          for (int x = c[0]; x <= c[2]; ++x) below = std::max(below, cells_[y * gw + x]);
        if (below >= 0) {
          rank = below - below % nkeys + k;
          if (rank < below) rank += nkeys;
        }
        for (int y = c[1]; y <= c[3]; ++y)
          for (int x = c[0]; x <= c[2]; ++x) cells_[y * gw + x] = rank;
      }
      rankOf_[j] = rank;
      top = std::max(top, rank);
    }
    // A counting sort by rank keeps the recorded order within a rank.
    bucket_.assign(static_cast<size_t>(top) + 2, 0);
    for (size_t j = 0; j < seg.count; ++j)
      if (rankOf_[j] >= 0) ++bucket_[rankOf_[j] + 1];
    const size_t base = ordered_.size();
    for (int r = 0; r <= top; ++r) bucket_[r + 1] += bucket_[r];
    ordered_.resize(base + bucket_[top + 1]);
    size_t firstDraw = draws_.size();
    for (int r = 0; r <= top; ++r) {
      const size_t count = bucket_[r + 1] - bucket_[r];
      if (count == 0) continue;
      const auto& key = keys_[r % nkeys];
      if (draws_.size() > firstDraw && draws_.back().mask == key.first && draws_.back().owner == key.second) {
        draws_.back().count += count;
      } else {
        draws_.push_back(Draw{&seg, key.first, key.second, base + bucket_[r], count});
      }
    }
    for (size_t j = 0; j < seg.count; ++j)
      if (rankOf_[j] >= 0) ordered_[base + bucket_[rankOf_[j]]++] = instances_[seg.first + j];
  }

  HRESULT Execute() {
    if (!device_->MakeCurrent() || device_->Lost()) return D2DERR_RECREATE_TARGET;
    ordered_.clear();
    draws_.clear();
    for (const Segment& seg : segments_) {
      if (seg.clear)
        draws_.push_back(Draw{&seg, 0, nullptr, 0, 0});
      else
        Order(seg);
    }

    // At most one frame in flight: this one was recorded and ordered while
    // the rasteriser finished the last one.
    WaitForLastFrame();
    glBindVertexArray(vao_);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, atlasTexture_);
    if (dirtyY1_ > dirtyY0_) {
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, dirtyY0_, kAtlasSide, dirtyY1_ - dirtyY0_, GL_RED, GL_UNSIGNED_BYTE,
                      atlas_.data() + static_cast<size_t>(dirtyY0_) * kAtlasSide);
      dirtyY0_ = kAtlasSide;
      dirtyY1_ = 0;
    }
    glActiveTexture(GL_TEXTURE0);

    // One upload for the frame: the buffer is orphaned, then refilled.
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    size_t bytes = ordered_.size() * sizeof(Instance);
    if (bytes > vboCapacity_) vboCapacity_ = std::max<size_t>(bytes * 2, 1 << 20);
    glBufferData(GL_ARRAY_BUFFER, vboCapacity_, nullptr, GL_STREAM_DRAW);
    if (bytes) glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, ordered_.data());

    // Where the window's drawable is the picture's size the frame goes
    // straight to it: copying a picture through the software rasteriser
    // costs as much as drawing a busy frame. Otherwise it is drawn offscreen
    // and scaled to fit.
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(device_->window, &dw, &dh);
    const bool direct = dw == static_cast<int>(width_) && dh == static_cast<int>(height_);
    Render(direct ? 0 : fbo_);
    if (!direct) Blit(dw, dh);
    SDL_GL_SwapWindow(device_->window);
    lastFrame_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    replayable_ = direct;
    return device_->Lost() ? D2DERR_RECREATE_TARGET : S_OK;
  }

  void WaitForLastFrame() {
    if (!lastFrame_) return;
    glClientWaitSync(lastFrame_, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000);  // a timeout only costs pacing
    glDeleteSync(lastFrame_);
    lastFrame_ = nullptr;
  }

  // Draws the frame's draws_ from the uploaded stream into a framebuffer.
  void Render(GLuint framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width_, height_);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    const Program* current = nullptr;
    const D2D1_MATRIX_3X2_F* applied = nullptr;
    for (const Draw& d : draws_) {
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
  bool glReady_ = false;  // the context is 3.3: its entry points may be called
  std::unordered_map<int, Program> programs_;
  GLuint vao_ = 0, vbo_ = 0, fbo_ = 0, color_ = 0, atlasTexture_ = 0, dummy_ = 0;
  size_t vboCapacity_ = 0;
  std::vector<Instance> instances_;
  std::vector<ID2D1Resource*> owners_;  // per instance
  std::vector<Segment> segments_;
  std::vector<ID2D1Resource*> held_;
  ID2D1Resource* lastHeld_ = nullptr;
  bool newSegment_ = true;
  bool replayable_ = false;
  GLsync lastFrame_ = nullptr;  // the last frame drew to the window, and draws_ can draw it again

  // Execute's scratch, kept between frames so that warm frames allocate nothing.
  std::vector<Instance> ordered_;
  std::vector<Draw> draws_;
  std::vector<std::pair<int, ID2D1Resource*>> keys_;  // (program mask, owner) per key index
  std::vector<int> keyOf_, rankOf_, cells_, bucket_;

  std::vector<VxPlacedGlyph> glyphs_;
  std::vector<uint8_t> atlas_;
  std::unordered_map<const VxGlyphBitmap*, AtlasSlot> atlasSlots_;
  int atlasX_ = 0, atlasY_ = 0, atlasRow_ = 0;
  int dirtyY0_ = kAtlasSide, dirtyY1_ = 0;
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
