#include "game_fixture.h"

#include <cmath>
#include <cstring>
#include <cwchar>

#include "app/shell.h"
#include "game/game.h"
#include "game/rng.h"
#include "game/tables.h"

// ---- sounds: the game's calls are routed here by the linker (--wrap) ----

namespace {
SoundLog g_soundLog;
}

extern "C" void __wrap__ZN8DShowHLP13PlayFromStartEPKwiP6HWND__(const wchar_t* name, int, HWND) {
  if (g_soundLog.count < 256) g_soundLog.names[g_soundLog.count] = name;
  g_soundLog.count++;
}

SoundLog& Sounds() { return g_soundLog; }
void ClearSounds() { g_soundLog.count = 0; }
int SoundsNamed(const wchar_t* name) {
  int n = 0;
  for (int i = 0; i < g_soundLog.count && i < 256; ++i) n += std::wcscmp(g_soundLog.names[i], name) == 0;
  return n;
}

// ---- a recording render target with its brush, bitmaps and text format ----

namespace {

struct FakeBrush : ID2D1SolidColorBrush {
  D2D1_COLOR_F color{0, 0, 0, 1};
  float opacity = 1.0f;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** f) const override { *f = NULL; }
  void STDMETHODCALLTYPE SetOpacity(FLOAT o) override { opacity = o; }
  void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F*) override {}
  FLOAT STDMETHODCALLTYPE GetOpacity() const override { return opacity; }
  void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F*) const override {}
  void STDMETHODCALLTYPE SetColor(const D2D1_COLOR_F* c) override { color = *c; }
  D2D1_COLOR_F STDMETHODCALLTYPE GetColor() const override { return color; }
};

struct FakeBitmap : ID2D1Bitmap {
  D2D1_SIZE_U size;
  explicit FakeBitmap(UINT32 w, UINT32 h) : size{w, h} {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** f) const override { *f = NULL; }
  D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const override {
    return D2D1_SIZE_F{static_cast<float>(size.width), static_cast<float>(size.height)};
  }
  D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const override { return size; }
  D2D1_PIXEL_FORMAT STDMETHODCALLTYPE GetPixelFormat() const override { return D2D1_PIXEL_FORMAT{}; }
  void STDMETHODCALLTYPE GetDpi(FLOAT* x, FLOAT* y) const override { *x = *y = 96.0f; }
};

struct FakeTextFormat : IDWriteTextFormat {
  DWRITE_TEXT_ALIGNMENT alignment = DWRITE_TEXT_ALIGNMENT_LEADING;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SetTextAlignment(DWRITE_TEXT_ALIGNMENT a) override {
    alignment = a;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetWordWrapping(DWRITE_WORD_WRAPPING) override { return S_OK; }
  DWRITE_TEXT_ALIGNMENT STDMETHODCALLTYPE GetTextAlignment() override { return alignment; }
  DWRITE_PARAGRAPH_ALIGNMENT STDMETHODCALLTYPE GetParagraphAlignment() override {
    return DWRITE_PARAGRAPH_ALIGNMENT_NEAR;
  }
  DWRITE_WORD_WRAPPING STDMETHODCALLTYPE GetWordWrapping() override { return DWRITE_WORD_WRAPPING_WRAP; }
  UINT32 STDMETHODCALLTYPE GetFontFamilyNameLength() override { return 0; }
  HRESULT STDMETHODCALLTYPE GetFontFamilyName(WCHAR* name, UINT32 size) override {
    if (size) name[0] = 0;
    return S_OK;
  }
  DWRITE_FONT_WEIGHT STDMETHODCALLTYPE GetFontWeight() override { return DWRITE_FONT_WEIGHT_BLACK; }
  DWRITE_FONT_STYLE STDMETHODCALLTYPE GetFontStyle() override { return DWRITE_FONT_STYLE_NORMAL; }
  DWRITE_FONT_STRETCH STDMETHODCALLTYPE GetFontStretch() override { return DWRITE_FONT_STRETCH_EXTRA_EXPANDED; }
  FLOAT STDMETHODCALLTYPE GetFontSize() override { return 56.0f; }
};

// Records every drawing call; storage is reserved once, so a warm frame
// allocates nothing.
struct FakeTarget : ID2D1HwndRenderTarget {
  std::vector<vxtest::Command> commands;
  FakeTarget() { commands.reserve(1 << 16); }

  vxtest::Command& Add(vxtest::Op op, ID2D1Brush* brush) {
    commands.emplace_back();
    vxtest::Command& c = commands.back();
    c.op = op;
    if (brush) {
      const FakeBrush* b = static_cast<const FakeBrush*>(brush);
      c.color = b->color;
      c.brushOpacity = b->opacity;
    }
    return c;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** f) const override { *f = NULL; }
  HRESULT STDMETHODCALLTYPE CreateBitmapFromWicBitmap(IWICBitmapSource*, const D2D1_BITMAP_PROPERTIES*,
                                                      ID2D1Bitmap**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSolidColorBrush(const D2D1_COLOR_F*, const D2D1_BRUSH_PROPERTIES*,
                                                  ID2D1SolidColorBrush**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateGradientStopCollection(const D2D1_GRADIENT_STOP*, UINT32, D2D1_GAMMA,
                                                         D2D1_EXTEND_MODE, ID2D1GradientStopCollection**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateLinearGradientBrush(const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES*,
                                                      const D2D1_BRUSH_PROPERTIES*, ID2D1GradientStopCollection*,
                                                      ID2D1LinearGradientBrush**) override {
    return E_NOTIMPL;
  }
  void STDMETHODCALLTYPE DrawLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, FLOAT width,
                                  ID2D1StrokeStyle* stroke) override {
    vxtest::Command& c = Add(vxtest::Op::DrawLine, brush);
    c.p0 = p0;
    c.p1 = p1;
    c.strokeWidth = width;
    c.stroke = stroke;
  }
  void STDMETHODCALLTYPE DrawRectangle(const D2D1_RECT_F* r, ID2D1Brush* brush, FLOAT, ID2D1StrokeStyle*) override {
    Add(vxtest::Op::DrawRectangle, brush).rect = *r;
  }
  void STDMETHODCALLTYPE FillRectangle(const D2D1_RECT_F* r, ID2D1Brush* brush) override {
    Add(vxtest::Op::FillRectangle, brush).rect = *r;
  }
  void STDMETHODCALLTYPE DrawRoundedRectangle(const D2D1_ROUNDED_RECT* r, ID2D1Brush* brush, FLOAT,
                                              ID2D1StrokeStyle*) override {
    Add(vxtest::Op::DrawRoundedRectangle, brush).rounded = *r;
  }
  void STDMETHODCALLTYPE DrawEllipse(const D2D1_ELLIPSE* e, ID2D1Brush* brush, FLOAT, ID2D1StrokeStyle*) override {
    Add(vxtest::Op::DrawEllipse, brush).ellipse = *e;
  }
  void STDMETHODCALLTYPE FillEllipse(const D2D1_ELLIPSE* e, ID2D1Brush* brush) override {
    Add(vxtest::Op::FillEllipse, brush).ellipse = *e;
  }
  void STDMETHODCALLTYPE DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F* dest, FLOAT opacity,
                                    D2D1_BITMAP_INTERPOLATION_MODE mode, const D2D1_RECT_F* source) override {
    vxtest::Command& c = Add(vxtest::Op::DrawBitmap, NULL);
    c.bitmap = bitmap;
    c.rect = dest ? *dest : D2D1_RECT_F{};
    c.opacity = opacity;
    c.interpolation = mode;
    c.hasSource = source != NULL;
    if (source) c.source = *source;
  }
  void STDMETHODCALLTYPE DrawText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format,
                                  const D2D1_RECT_F* layout, ID2D1Brush* brush, D2D1_DRAW_TEXT_OPTIONS,
                                  DWRITE_MEASURING_MODE) override {
    vxtest::Command& c = Add(vxtest::Op::DrawText, brush);
    c.format = format;
    c.alignment = format->GetTextAlignment();
    c.rect = *layout;
    c.textLength = length;
    UINT32 n = length < 127 ? length : 127;
    for (UINT32 i = 0; i < n; ++i) c.text[i] = text[i];
    c.text[n] = 0;
  }
  void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F*) override {}
  void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F*) const override {}
  void STDMETHODCALLTYPE SetAntialiasMode(D2D1_ANTIALIAS_MODE) override {}
  D2D1_ANTIALIAS_MODE STDMETHODCALLTYPE GetAntialiasMode() const override { return D2D1_ANTIALIAS_MODE_PER_PRIMITIVE; }
  void STDMETHODCALLTYPE Clear(const D2D1_COLOR_F*) override { Add(vxtest::Op::Clear, NULL); }
  void STDMETHODCALLTYPE BeginDraw() override { commands.clear(); }
  HRESULT STDMETHODCALLTYPE EndDraw(D2D1_TAG*, D2D1_TAG*) override { return S_OK; }
  D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const override { return D2D1_SIZE_F{600, 720}; }
  D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const override { return D2D1_SIZE_U{600, 720}; }
  D2D1_WINDOW_STATE STDMETHODCALLTYPE CheckWindowState() override { return D2D1_WINDOW_STATE_NONE; }
  HRESULT STDMETHODCALLTYPE Resize(const D2D1_SIZE_U*) override { return S_OK; }
  HWND STDMETHODCALLTYPE GetHwnd() const override { return NULL; }
};

FakeTarget g_fakeTarget;
FakeBrush g_fakeBrush;
FakeBitmap g_fakeSprites(1600, 3600);
FakeBitmap g_fakeBackground(1800, 3072);
FakeTextFormat g_fakeLargeText;

}  // namespace

Recorder& TheRecorder() {
  static Recorder recorder{&g_fakeTarget};
  return recorder;
}
void Recorder::BeginFrame() { target->BeginDraw(); }
void Recorder::EndFrame() { target->EndDraw(); }
const std::vector<vxtest::Command>& Recorder::Commands() const { return g_fakeTarget.commands; }

ID2D1Bitmap* SpriteSheet() { return &g_fakeSprites; }
ID2D1Bitmap* Background() { return &g_fakeBackground; }
IDWriteTextFormat* LargeText() { return &g_fakeLargeText; }

// ---- the shell's side, standing in for app/ ----

BYTE g_keyDown[256];
BYTE g_keyLatched[256];
ID2D1Bitmap* g_spriteBitmap = &g_fakeSprites;
ID2D1Bitmap* g_backgroundBitmap = &g_fakeBackground;
ID2D1SolidColorBrush* g_brush = &g_fakeBrush;
IDWriteTextFormat* g_largeTextFormat = &g_fakeLargeText;
ID2D1StrokeStyle* g_roundStroke = NULL;

int KeyPressedOnce(int key) {
  if (g_keyDown[key] && !g_keyLatched[key]) {
    g_keyLatched[key] = 1;
    return 1;
  }
  return 0;
}

void DrawGlowLine(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_POINT_2F& start,
                  const D2D1_POINT_2F& end) {
  const D2D1::ColorF c(color);
  g_brush->SetColor(D2D1::ColorF(c.r * 5.0f, c.g * 5.0f, c.b * 5.0f, 0.5f));
  renderTarget->DrawLine(start, end, g_brush, 8.0f, g_roundStroke);
  g_brush->SetColor(D2D1::ColorF(color, 0.7f));
  renderTarget->DrawLine(start, end, g_brush, 4.0f, g_roundStroke);
  g_brush->SetColor(D2D1::ColorF(color, 1.0f));
  renderTarget->DrawLine(start, end, g_brush, 2.0f, g_roundStroke);
}

// ---- helpers ----

void HoldKey(int key, bool down) {
  g_keyDown[key] = down ? 1 : 0;
  if (!down) g_keyLatched[key] = 0;
}

void ResetWholeGame() {
  InitGameState();
  for (Enemy& e : g_enemies) {
    e.motionTimer = 0.0f;
    e.heading = 0.0f;
  }
  g_frameTicks = 0;
  g_scrollA = 0.0f;
  g_scrollB = 0.0f;
  g_score = 0.0f;
  g_randState = 1;
  std::memset(g_keyDown, 0, sizeof g_keyDown);
  std::memset(g_keyLatched, 0, sizeof g_keyLatched);
  ClearSounds();
}

void RunPaintFrame() {
  Recorder& r = TheRecorder();
  r.BeginFrame();
  UpdateAndDrawFrame(r.target);
  DrawHitFlashes(r.target, g_brush);
  r.EndFrame();
}

std::vector<Segment> GlowSegments(const std::vector<vxtest::Command>& commands) {
  // The last, full-alpha pass of each glow stroke stands for the stroke.
  std::vector<Segment> out;
  for (const vxtest::Command& c : commands) {
    if (c.op != vxtest::Op::DrawLine || c.color.a != 1.0f) continue;
    const uint32_t rgb = (static_cast<uint32_t>(std::lround(c.color.r * 255)) << 16) |
                         (static_cast<uint32_t>(std::lround(c.color.g * 255)) << 8) |
                         static_cast<uint32_t>(std::lround(c.color.b * 255));
    out.push_back(Segment{c.p0.x, c.p0.y, c.p1.x, c.p1.y, rgb});
  }
  return out;
}

std::vector<vxtest::Command> OfKind(const std::vector<vxtest::Command>& commands, vxtest::Op op) {
  std::vector<vxtest::Command> out;
  for (const vxtest::Command& c : commands) {
    if (c.op == op) out.push_back(c);
  }
  return out;
}

bool SameRect(const D2D1_RECT_F& a, float l, float t, float r, float b, float tolerance) {
  return std::fabs(a.left - l) <= tolerance && std::fabs(a.top - t) <= tolerance &&
         std::fabs(a.right - r) <= tolerance && std::fabs(a.bottom - b) <= tolerance;
}
