// The renderer's shaders. Every drawing call is one instance of a quad; the
// vertex shader places the quad, the fragment shader works out each pixel's
// exact coverage of the shape analytically.
#include "d2d/gl_shaders.h"

#include <string>

#include "d2d/gl_instance.h"
#include "vx_support.h"

namespace vxd2d {
namespace {

// Both shaders follow the layout in gl_instance.h and get its numbers from
// the #defines BuildProgram puts before them.
const char* kVertexShader = R"(
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
  int shape = kind & SHAPE_MASK;
  vec2 corner = vec2((gl_VertexID & 1) == 1 ? 1.0 : -1.0, (gl_VertexID & 2) == 2 ? 1.0 : -1.0);
  vec2 user;
  if (shape == SHAPE_LINE) {
    vec2 d = a_g0.zw - a_g0.xy;
    float len = length(d);
    vec2 u = len > 0.0 ? d / len : vec2(1.0, 0.0);
    vec2 n = vec2(-u.y, u.x);
    float capExt = (a_g1.y != CAP_FLAT || a_g1.z != CAP_FLAT) ? a_g1.x : 0.0;
    v_local = corner * vec2(a_g1.w + capExt + 0.5 * u_unit, a_g1.x + 0.5 * u_unit);
    user = 0.5 * (a_g0.xy + a_g0.zw) + v_local.x * u + v_local.y * n;
  } else {
    // Coverage ends half a pixel past an edge; the curves' distance
    // estimates get a whole pixel.
    bool textured = shape == SHAPE_SPRITE || shape == SHAPE_GLYPH;
    bool rect = shape == SHAPE_RECT_FILL || shape == SHAPE_RECT_STROKE;
    float pad = textured ? 0.5 * u_unit : a_g1.x + (rect ? 0.5 : 1.0) * u_unit;
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

// Compiled per mask (HAS_<shape>, HAS_NEAREST for nearest sprites, with
// HAS_GRADIENT and HAS_ALIASED): a software rasteriser runs every branch a
// shader has, so each draw gets only the branches its kind uses.
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
  int shape = v_kind & SHAPE_MASK;
  float s = u_scale;
  vec2 p = v_local * s;
  float cov = 0.0;
  vec4 texel = vec4(1.0);
#ifdef HAS_LINE
  if (shape == SHAPE_LINE) {
    float hw = v_g1.x * s;
    float hl = v_g1.w * s;
    float cap = p.x > 0.0 ? v_g1.z : v_g1.y;
    if (cap == CAP_ROUND) {
      float ax = abs(p.x);
      cov = ax <= hl ? ov(p.y, hw)
                     : min(clamp(0.5 - (length(vec2(ax - hl, p.y)) - hw), 0.0, 1.0), ov(0.0, hw));
    } else {
      cov = ov(p.x, hl + (cap == CAP_SQUARE ? hw : 0.0)) * ov(p.y, hw);
    }
  }
#endif
#ifdef HAS_RECT_FILL
  if (shape == SHAPE_RECT_FILL) cov = ov(p.x, v_g0.z * s) * ov(p.y, v_g0.w * s);
#endif
#ifdef HAS_RECT_STROKE
  if (shape == SHAPE_RECT_STROKE) {
    float hw = v_g1.x * s;
    vec2 h = v_g0.zw * s;
    cov = ov(p.x, h.x + hw) * ov(p.y, h.y + hw);
    if (h.x > hw && h.y > hw) cov -= ov(p.x, h.x - hw) * ov(p.y, h.y - hw);
  }
#endif
#ifdef HAS_ELLIPSE_FILL
  if (shape == SHAPE_ELLIPSE_FILL) cov = clamp(0.5 - ellipseDist(v_local, v_g0.zw) * s, 0.0, 1.0);
#endif
#ifdef HAS_ELLIPSE_STROKE
  if (shape == SHAPE_ELLIPSE_STROKE) {
    float d = abs(ellipseDist(v_local, v_g0.zw)) - v_g1.x;
    cov = min(clamp(0.5 - d * s, 0.0, 1.0), ov(0.0, v_g1.x * s));
  }
#endif
#ifdef HAS_ROUNDED_STROKE
  if (shape == SHAPE_ROUNDED_STROKE) {
    float k = v_g1.z > 0.0 ? v_g1.y / v_g1.z : 1.0;
    vec2 q = vec2(v_local.x, v_local.y * k);
    vec2 h = vec2(v_g0.z, v_g0.w * k);
    float r = min(v_g1.y, min(h.x, h.y));
    vec2 e = abs(q) - h + r;
    float d = length(max(e, 0.0)) + min(max(e.x, e.y), 0.0) - r;
    cov = min(clamp(0.5 - (abs(d) - v_g1.x) * s, 0.0, 1.0), ov(0.0, v_g1.x * s));
  }
#endif
#if defined(HAS_SPRITE) || defined(HAS_GLYPH) || defined(HAS_NEAREST)
  if (shape == SHAPE_SPRITE || shape == SHAPE_GLYPH) {
    cov = ov(p.x, v_g0.z * s) * ov(p.y, v_g0.w * s);
    vec2 uv = v_g1.xy + (v_local + v_g0.zw) / (2.0 * v_g0.zw) * (v_g1.zw - v_g1.xy);
#ifdef HAS_GLYPH
    if (shape == SHAPE_GLYPH) texel = vec4(texelFetch(u_atlas, ivec2(min(max(floor(uv), v_g1.xy), v_g1.zw - 1.0)), 0).r);
#endif
#ifdef HAS_NEAREST
    if (shape == SHAPE_SPRITE && (v_kind & FLAG_NEAREST) != 0)
      texel = texelFetch(u_tex, ivec2(min(max(floor(uv), floor(v_g1.xy)), ceil(v_g1.zw) - 1.0)), 0);
#endif
#ifdef HAS_SPRITE
    if (shape == SHAPE_SPRITE && (v_kind & FLAG_NEAREST) == 0) {
      uv = min(max(uv, v_g1.xy + 0.5), v_g1.zw - 0.5);
      texel = texture(u_tex, uv / vec2(textureSize(u_tex, 0)));
    }
#endif
  }
#endif
#ifdef HAS_ALIASED
  if ((v_kind & FLAG_ALIASED) != 0) cov = cov >= 0.5 ? 1.0 : 0.0;
#endif
  vec4 paint = v_col;
#ifdef HAS_GRADIENT
  if ((v_kind & FLAG_GRADIENT) != 0) {
    float t = dot(v_col.xy, v_user) + v_col.z;
    int extend = (v_kind >> EXTEND_SHIFT) & EXTEND_MASK;
    if (extend == EXTEND_WRAP) t = fract(t);
    else if (extend == EXTEND_MIRROR) { t = mod(abs(t), 2.0); t = t > 1.0 ? 2.0 - t : t; }
    t = clamp(t, 0.0, 1.0);
    paint = texture(u_tex, vec2((t * 255.0 + 0.5) / 256.0, 0.5)) * v_col.w;
  }
#endif
  if (shape == SHAPE_SPRITE) paint = texel * v_col;
  else if (shape == SHAPE_GLYPH) paint *= texel.r;
  // Premultiplied and unclamped: the 8-bit target clamps when it is written.
  o_color = paint * cov;
}
)";

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

}  // namespace

bool BuildProgram(int mask, Program* prog) {
  const std::string header = "#version 330 core\n" + ShaderDefines(mask);
  const std::string vsSource = header + kVertexShader, fsSource = header + kFragmentShader;
  std::string log;
  GLuint vs = Compile(GL_VERTEX_SHADER, vsSource.c_str(), &log);
  GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, fsSource.c_str(), &log) : 0;
  if (!vs || !fs) {
    VxReportOnce("OpenGL shader compilation failed", log.c_str());
    if (vs) glDeleteShader(vs);
    return false;
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
    VxReportOnce("OpenGL shader link failed", "the renderer's program did not link");
    glDeleteProgram(id);
    return false;
  }
  prog->id = id;
  prog->row0 = glGetUniformLocation(id, "u_row0");
  prog->row1 = glGetUniformLocation(id, "u_row1");
  prog->size = glGetUniformLocation(id, "u_size");
  prog->unit = glGetUniformLocation(id, "u_unit");
  prog->scale = glGetUniformLocation(id, "u_scale");
  glUseProgram(id);
  glUniform1i(glGetUniformLocation(id, "u_tex"), 0);
  glUniform1i(glGetUniformLocation(id, "u_atlas"), 1);
  return true;
}

}  // namespace vxd2d
