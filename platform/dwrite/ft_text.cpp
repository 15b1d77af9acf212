// DirectWrite on fontconfig (face matching) and FreeType (glyph rasters and
// metrics). Faces, sizes and glyphs are cached for the life of the process.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include "vx_support.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "vx_com.h"
#include "vx_text.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace vxdw {

namespace {

constexpr HRESULT kNoFont = VX_HR(0x88985002u);  // DWRITE_E_NOFONT
constexpr HRESULT kInsufficientBuffer = VX_HR(0x8007007Au);

struct Glyph {
  float advance = 0.0f;  // pixels
  int left = 0;          // bitmap origin relative to the pen, y up
  int top = 0;
  VxGlyphBitmap bitmap{0, 0, nullptr};
  std::vector<uint8_t> pixels;
};

// One face at one pixel size.
struct Font {
  FT_Face face = nullptr;
  bool embolden = false;
  float ascender = 0.0f;   // pixels above the baseline
  float lineHeight = 0.0f;
  std::unordered_map<uint32_t, FT_UInt> indices;  // code point -> glyph index
  std::unordered_map<FT_UInt, Glyph> glyphs;      // node-based: addresses stay put

  const Glyph& GlyphFor(uint32_t codePoint) {
    auto known = indices.find(codePoint);
    FT_UInt index;
    if (known != indices.end()) {
      index = known->second;
    } else {
      index = FT_Get_Char_Index(face, codePoint);
      indices.emplace(codePoint, index);
    }
    auto cached = glyphs.find(index);
    if (cached != glyphs.end()) return cached->second;
    Glyph& g = glyphs[index];
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0) return g;
    if (embolden) FT_GlyphSlot_Embolden(face->glyph);
    g.advance = static_cast<float>(face->glyph->linearHoriAdvance) / 65536.0f;
    // Emboldening widens each glyph by about a 24th of the em.
    if (embolden) g.advance += static_cast<float>(face->size->metrics.x_ppem) / 24.0f;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& b = face->glyph->bitmap;
    if (b.pixel_mode != FT_PIXEL_MODE_GRAY || b.width == 0 || b.rows == 0) return g;
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.pixels.resize(static_cast<size_t>(b.width) * b.rows);
    for (unsigned row = 0; row < b.rows; ++row) {
      const unsigned char* src = b.buffer + static_cast<ptrdiff_t>(row) * b.pitch;
      std::copy(src, src + b.width, g.pixels.begin() + static_cast<size_t>(row) * b.width);
    }
    g.bitmap = VxGlyphBitmap{static_cast<int>(b.width), static_cast<int>(b.rows), g.pixels.data()};
    return g;
  }
};

struct Library {
  std::mutex mutex;
  FT_Library ft = nullptr;
  bool ready = false;
  std::map<std::tuple<std::string, int, long, bool>, std::unique_ptr<Font>> fonts;

  Library() {
#if defined(__SANITIZE_ADDRESS__)
    // fontconfig leaks a pattern of its own while it parses its configuration;
    // only what FcInit allocates goes unchecked, not what we later ask of it.
    __lsan_disable();
#endif
    const bool configured = FcInit();
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    ready = configured && FT_Init_FreeType(&ft) == 0;
  }
};

Library& Lib() {
  static Library* lib = new Library;  // lives to the end: glyph pointers stay valid
  return *lib;
}

int FcWidthOf(DWRITE_FONT_STRETCH stretch) {
  switch (stretch) {
    case DWRITE_FONT_STRETCH_ULTRA_CONDENSED: return FC_WIDTH_ULTRACONDENSED;
    case DWRITE_FONT_STRETCH_EXTRA_CONDENSED: return FC_WIDTH_EXTRACONDENSED;
    case DWRITE_FONT_STRETCH_CONDENSED: return FC_WIDTH_CONDENSED;
    case DWRITE_FONT_STRETCH_SEMI_CONDENSED: return FC_WIDTH_SEMICONDENSED;
    case DWRITE_FONT_STRETCH_SEMI_EXPANDED: return FC_WIDTH_SEMIEXPANDED;
    case DWRITE_FONT_STRETCH_EXPANDED: return FC_WIDTH_EXPANDED;
    case DWRITE_FONT_STRETCH_EXTRA_EXPANDED: return FC_WIDTH_EXTRAEXPANDED;
    case DWRITE_FONT_STRETCH_ULTRA_EXPANDED: return FC_WIDTH_ULTRAEXPANDED;
    default: return FC_WIDTH_NORMAL;
  }
}

// The installed face closest to the request. A family that is not installed
// falls back, through fontconfig's own weak sans-serif default, to a face
// covering the locale's language (Japanese when no locale is given). Null,
// with *missing saying what was missing, when there is no face to be had.
Font* ResolveFont(const std::string& family, DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style,
                  DWRITE_FONT_STRETCH stretch, float size, const std::string& locale, std::string* missing) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> lock(lib.mutex);
  if (!lib.ready) {
    *missing = "fontconfig or FreeType did not start";
    return nullptr;
  }
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(locale.empty() ? "ja" : locale.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(static_cast<int>(weight)));
  FcPatternAddInteger(pattern, FC_SLANT,
                      style == DWRITE_FONT_STYLE_ITALIC    ? FC_SLANT_ITALIC
                      : style == DWRITE_FONT_STYLE_OBLIQUE ? FC_SLANT_OBLIQUE
                                                           : FC_SLANT_ROMAN);
  FcPatternAddInteger(pattern, FC_WIDTH, FcWidthOf(stretch));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  // fontconfig falls back to any face it has; none means none is installed.
  const char* kNoneInstalled =
      "no font found, neither this family nor any other (install a CJK font such as fonts-noto-cjk)";
  if (!match) {
    *missing = kNoneInstalled;
    return nullptr;
  }
  FcChar8* file = nullptr;
  int index = 0, faceWeight = FC_WEIGHT_REGULAR;
  std::string path;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) path = reinterpret_cast<char*>(file);
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &faceWeight);
  FcPatternDestroy(match);
  if (path.empty()) {
    *missing = kNoneInstalled;
    return nullptr;
  }

  // A bold request met by a regular face is emboldened, as DirectWrite simulates.
  const bool embolden = weight >= DWRITE_FONT_WEIGHT_SEMI_BOLD && faceWeight < FC_WEIGHT_DEMIBOLD;
  const long size64 = std::lround(size * 64.0f);
  auto key = std::make_tuple(path, index, size64, embolden);
  auto found = lib.fonts.find(key);
  if (found != lib.fonts.end()) return found->second.get();
  FT_Face face = nullptr;
  if (FT_New_Face(lib.ft, path.c_str(), index, &face) != 0 || FT_Set_Char_Size(face, 0, size64, 72, 72) != 0) {
    if (face) FT_Done_Face(face);
    *missing = "FreeType cannot use " + path;
    return nullptr;
  }
  auto font = std::make_unique<Font>();
  font->face = face;
  font->embolden = embolden;
  const float scale = size / static_cast<float>(face->units_per_EM ? face->units_per_EM : 1000);
  font->ascender = face->ascender * scale;
  // FreeType's height is ascender - descender + line gap.
  font->lineHeight = face->height * scale;
  if (font->lineHeight <= 0.0f) font->lineHeight = (face->ascender - face->descender) * scale;
  Font* raw = font.get();
  lib.fonts.emplace(key, std::move(font));
  return raw;
}

class TextFormat final : public VxComObject<IDWriteTextFormat> {
 public:
  TextFormat(const WCHAR* family, DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style, DWRITE_FONT_STRETCH stretch,
             float size, Font* font)
      : family_(family), weight_(weight), style_(style), stretch_(stretch), size_(size), font_(font) {}

  HRESULT STDMETHODCALLTYPE SetTextAlignment(DWRITE_TEXT_ALIGNMENT a) override {
    if (a < DWRITE_TEXT_ALIGNMENT_LEADING || a > DWRITE_TEXT_ALIGNMENT_JUSTIFIED) return E_INVALIDARG;
    alignment_ = a;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT a) override {
    if (a < DWRITE_PARAGRAPH_ALIGNMENT_NEAR || a > DWRITE_PARAGRAPH_ALIGNMENT_CENTER) return E_INVALIDARG;
    paragraph_ = a;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetWordWrapping(DWRITE_WORD_WRAPPING w) override {
    if (w != DWRITE_WORD_WRAPPING_WRAP && w != DWRITE_WORD_WRAPPING_NO_WRAP) return E_INVALIDARG;
    wrapping_ = w;
    return S_OK;
  }
  DWRITE_TEXT_ALIGNMENT STDMETHODCALLTYPE GetTextAlignment() override { return alignment_; }
  DWRITE_PARAGRAPH_ALIGNMENT STDMETHODCALLTYPE GetParagraphAlignment() override { return paragraph_; }
  DWRITE_WORD_WRAPPING STDMETHODCALLTYPE GetWordWrapping() override { return wrapping_; }
  UINT32 STDMETHODCALLTYPE GetFontFamilyNameLength() override { return static_cast<UINT32>(family_.size()); }
  HRESULT STDMETHODCALLTYPE GetFontFamilyName(WCHAR* name, UINT32 nameSize) override {
    if (!name) return E_INVALIDARG;
    if (nameSize < family_.size() + 1) {
      if (nameSize) name[0] = 0;
      return kInsufficientBuffer;
    }
    std::copy(family_.begin(), family_.end(), name);
    name[family_.size()] = 0;
    return S_OK;
  }
  DWRITE_FONT_WEIGHT STDMETHODCALLTYPE GetFontWeight() override { return weight_; }
  DWRITE_FONT_STYLE STDMETHODCALLTYPE GetFontStyle() override { return style_; }
  DWRITE_FONT_STRETCH STDMETHODCALLTYPE GetFontStretch() override { return stretch_; }
  FLOAT STDMETHODCALLTYPE GetFontSize() override { return size_; }

  Font* font() const { return font_; }

 private:
  std::wstring family_;
  DWRITE_FONT_WEIGHT weight_;
  DWRITE_FONT_STYLE style_;
  DWRITE_FONT_STRETCH stretch_;
  float size_;
  Font* font_;
  DWRITE_TEXT_ALIGNMENT alignment_ = DWRITE_TEXT_ALIGNMENT_LEADING;
  DWRITE_PARAGRAPH_ALIGNMENT paragraph_ = DWRITE_PARAGRAPH_ALIGNMENT_NEAR;
  DWRITE_WORD_WRAPPING wrapping_ = DWRITE_WORD_WRAPPING_WRAP;
};

class Factory final : public VxComObject<IDWriteFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateTextFormat(const WCHAR* family, IDWriteFontCollection* /*collection*/,
                                             DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style,
                                             DWRITE_FONT_STRETCH stretch, FLOAT size, const WCHAR* locale,
                                             IDWriteTextFormat** format) override {
    if (!format) return E_POINTER;
    *format = nullptr;
    if (!family || !(size > 0.0f) || size > 100000.0f) return E_INVALIDARG;
    if (weight < 1 || weight > 999 || style < DWRITE_FONT_STYLE_NORMAL || style > DWRITE_FONT_STYLE_ITALIC ||
        stretch < DWRITE_FONT_STRETCH_UNDEFINED || stretch > DWRITE_FONT_STRETCH_ULTRA_EXPANDED)
      return E_INVALIDARG;
    const std::string name = VxUtf32ToUtf8(family);
    std::string missing;
    Font* font = ResolveFont(name, weight, style, stretch, size, VxUtf32ToUtf8(locale), &missing);
    if (!font) {
      // Every format of the family meets the same lack: told once.
      if (!missing.empty()) VxReportOnce(("no font for " + name).c_str(), missing.c_str());
      return kNoFont;
    }
    *format = new (std::nothrow) TextFormat(family, weight, style, stretch, size, font);
    return *format ? S_OK : E_OUTOFMEMORY;
  }
};

}  // namespace

}  // namespace vxdw

HRESULT WINAPI DWriteCreateFactory(DWRITE_FACTORY_TYPE factoryType, REFIID iid, IUnknown** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  if (factoryType != DWRITE_FACTORY_TYPE_SHARED && factoryType != DWRITE_FACTORY_TYPE_ISOLATED) return E_INVALIDARG;
  auto* made = new (std::nothrow) vxdw::Factory;
  if (!made) return E_OUTOFMEMORY;
  HRESULT hr = made->QueryInterface(iid, reinterpret_cast<void**>(factory));
  made->Release();
  return hr;
}

bool VxLayoutText(IDWriteTextFormat* format, const WCHAR* text, UINT32 length, const D2D1_RECT_F& layout,
                  std::vector<VxPlacedGlyph>& out) {
  auto* ours = dynamic_cast<vxdw::TextFormat*>(format);
  if (!ours) return false;
  if (!text || length == 0) return true;
  vxdw::Font* font = ours->font();
  std::lock_guard<std::mutex> lock(vxdw::Lib().mutex);

  UINT32 lines = 1;
  for (UINT32 i = 0; i < length; ++i)
    if (text[i] == L'\n') ++lines;
  const float total = lines * font->lineHeight;
  float top = layout.top;
  switch (ours->GetParagraphAlignment()) {
    case DWRITE_PARAGRAPH_ALIGNMENT_FAR: top = layout.bottom - total; break;
    case DWRITE_PARAGRAPH_ALIGNMENT_CENTER: top = 0.5f * (layout.top + layout.bottom - total); break;
    default: break;
  }
  const DWRITE_TEXT_ALIGNMENT alignment = ours->GetTextAlignment();
  UINT32 start = 0;
  for (UINT32 line = 0; line < lines; ++line) {
    UINT32 end = start;
    while (end < length && text[end] != L'\n') ++end;
    float width = 0.0f;
    for (UINT32 i = start; i < end; ++i)
      if (text[i] != L'\r') width += font->GlyphFor(static_cast<uint32_t>(text[i])).advance;
    float pen = layout.left;
    if (alignment == DWRITE_TEXT_ALIGNMENT_CENTER) pen = 0.5f * (layout.left + layout.right - width);
    else if (alignment == DWRITE_TEXT_ALIGNMENT_TRAILING) pen = layout.right - width;
    // Glyphs sit on whole pixels: their rasters are drawn one to one.
    const float baseline = std::round(top + line * font->lineHeight + font->ascender);
    for (UINT32 i = start; i < end; ++i) {
      if (text[i] == L'\r') continue;
      const vxdw::Glyph& g = font->GlyphFor(static_cast<uint32_t>(text[i]));
      if (g.bitmap.width > 0)
        out.push_back(VxPlacedGlyph{std::round(pen) + g.left, baseline - g.top, &g.bitmap});
      pen += g.advance;
    }
    start = end + 1;
  }
  return true;
}
