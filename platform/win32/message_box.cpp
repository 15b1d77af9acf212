// Message boxes, drawn with the platform's own window, Direct2D and
// DirectWrite: the text in any script the text layer draws (the game's
// messages are Japanese), an OK button, a modal loop of their own. Every box
// is also one line on stderr, written first, so that it is seen without a
// display and found in logs.
#include <d2d1.h>
#include <d2d1helper.h>
#include <dwrite.h>
#include "vx_text.h"
#include "vx_support.h"
#include "vx_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "testing/vx_testing.h"
#include "win32_internal.h"

namespace {

const wchar_t kBoxClass[] = L"VxMessageBox";
constexpr float kFontSize = 16.0f;
constexpr float kMargin = 24.0f;
constexpr float kBandHeight = 52.0f;  // the strip holding the button
constexpr float kButtonWidth = 88.0f, kButtonHeight = 28.0f;
constexpr float kMinClientWidth = 260.0f, kMaxClientWidth = 900.0f;
// Marks a Japanese line does not begin with.
const wchar_t kNoLineStart[] = L"、。，．・：；？！ー）」』】〕…ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮ";

void (*g_onShown)(HWND) = nullptr;

struct Box {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::wstring text;
  float clientWidth = 0, clientHeight = 0;
  ID2D1Factory* factory = nullptr;
  IDWriteFactory* dwrite = nullptr;
  IDWriteTextFormat* textFormat = nullptr;
  IDWriteTextFormat* buttonFormat = nullptr;
  ID2D1HwndRenderTarget* target = nullptr;
  ID2D1SolidColorBrush* brush = nullptr;
  bool shown = false;
  bool pressed = false;  // the left button went down on OK
  bool done = false;

  D2D1_RECT_F Button() const {
    const float right = clientWidth - 12.0f, bottom = clientHeight - (kBandHeight - kButtonHeight) / 2;
    return D2D1::RectF(right - kButtonWidth, bottom - kButtonHeight, right, bottom);
  }
  bool OnButton(LPARAM at) const {
    const float x = static_cast<float>(static_cast<short>(LOWORD(at)));
    const float y = static_cast<float>(static_cast<short>(HIWORD(at)));
    const D2D1_RECT_F b = Button();
    return x >= b.left && x < b.right && y >= b.top && y < b.bottom;
  }
  // The target goes before its window does.
  void DropTarget() {
    if (brush) brush->Release();
    if (target) target->Release();
    brush = nullptr;
    target = nullptr;
  }
  ~Box() {
    DropTarget();
    for (IUnknown* p : {static_cast<IUnknown*>(buttonFormat), static_cast<IUnknown*>(textFormat),
                        static_cast<IUnknown*>(dwrite), static_cast<IUnknown*>(factory)}) {
      if (p) p->Release();
    }
  }
};

// The boxes up on this thread, innermost last: a box's loop dispatches
// everything, so one may be opened from inside another's.
thread_local std::vector<Box*> t_boxes;

Box* BoxOf(HWND hwnd) {
  for (Box* box : t_boxes) {
    if (box->hwnd == hwnd) return box;
  }
  return nullptr;
}

std::string OneLine(const wchar_t* caption, const wchar_t* text) {
  const std::string raw = VxUtf32ToUtf8(caption) + ": " + VxUtf32ToUtf8(text);
  std::string line;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;  // one break, one space
    line += raw[i] == '\n' || raw[i] == '\r' ? ' ' : raw[i];
  }
  return line + "\n";
}

// The laid-out text's extent from its layout rectangle's origin.
bool MeasureText(IDWriteTextFormat* format, std::wstring_view text, float* width, float* height) {
  std::vector<VxPlacedGlyph> glyphs;
  if (!VxLayoutText(format, text.data(), static_cast<UINT32>(text.size()), D2D1::RectF(0, 0, 10000, 10000),
                    glyphs)) {
    return false;
  }
  *width = *height = 0;
  for (const VxPlacedGlyph& g : glyphs) {
    if (!g.glyph) continue;
    *width = std::max(*width, g.left + g.glyph->width);
    *height = std::max(*height, g.top + g.glyph->height);
  }
  *height = std::max(*height, kFontSize);
  return true;
}

float WidthOf(IDWriteTextFormat* format, std::wstring_view text) {
  float width = 0, height = 0;
  MeasureText(format, text, &width, &height);
  return width;
}

// Lines wider than width are broken at their last space that fits, or
// between characters where there is none (as Japanese breaks), though not
// before a mark that must not begin a line.
std::wstring Wrap(IDWriteTextFormat* format, std::wstring_view text, float width) {
  std::wstring out;
  for (;;) {
    const size_t end = std::min(text.find(L'\n'), text.size());
    std::wstring_view line = text.substr(0, end);
    while (line.size() > 1 && WidthOf(format, line) > width) {
      size_t fits = 1, over = line.size();  // the longest prefix that fits, one character at least
      while (over - fits > 1) {
        const size_t mid = (fits + over) / 2;
        (WidthOf(format, line.substr(0, mid)) <= width ? fits : over) = mid;
      }
      const size_t space = line.substr(0, fits + 1).find_last_of(L' ');
      size_t cut = space != std::wstring_view::npos && space > 0 ? space : fits;
      if (cut == fits) {
        while (cut > 1 && std::wstring_view(kNoLineStart).find(line[cut]) != std::wstring_view::npos) --cut;
      }
      out.append(line.substr(0, cut)).push_back(L'\n');
      line.remove_prefix(cut);
      while (!line.empty() && line.front() == L' ') line.remove_prefix(1);
    }
    out.append(line);
    if (end == text.size()) return out;
    out.push_back(L'\n');
    text.remove_prefix(end + 1);
  }
}

bool MakeTarget(Box& box) {
  if (FAILED(box.factory->CreateHwndRenderTarget(
          D2D1::RenderTargetProperties(),
          D2D1::HwndRenderTargetProperties(box.hwnd, D2D1::SizeU(static_cast<UINT32>(box.clientWidth),
                                                                 static_cast<UINT32>(box.clientHeight))),
          &box.target))) {
    return false;
  }
  if (SUCCEEDED(box.target->CreateSolidColorBrush(D2D1::ColorF(0x000000), &box.brush))) return true;
  box.DropTarget();
  return false;
}

// False when the target is lost (it is made again on the next paint).
bool Draw(Box& box) {
  ID2D1HwndRenderTarget* t = box.target;
  t->BeginDraw();
  t->Clear(D2D1::ColorF(0xFFFFFF));
  box.brush->SetColor(D2D1::ColorF(0xF0F0F0));
  t->FillRectangle(D2D1::RectF(0, box.clientHeight - kBandHeight, box.clientWidth, box.clientHeight), box.brush);
  box.brush->SetColor(D2D1::ColorF(0x000000));
  t->DrawText(box.text.c_str(), static_cast<UINT32>(box.text.size()), box.textFormat,
              D2D1::RectF(kMargin, kMargin, box.clientWidth - kMargin, box.clientHeight - kBandHeight), box.brush);
  const D2D1_RECT_F button = box.Button();
  box.brush->SetColor(D2D1::ColorF(0xE1E1E1));
  t->FillRectangle(button, box.brush);
  box.brush->SetColor(D2D1::ColorF(0x0078D7));  // the default button, as it has the focus
  t->DrawRectangle(D2D1::RectF(button.left + 0.5f, button.top + 0.5f, button.right - 0.5f, button.bottom - 0.5f),
                   box.brush, 1.0f);
  box.brush->SetColor(D2D1::ColorF(0x000000));
  const float middle = (button.top + button.bottom) / 2;
  t->DrawText(L"OK", 2, box.buttonFormat,
              D2D1::RectF(button.left, middle - kFontSize * 0.75f, button.right, button.bottom), box.brush);
  if (t->EndDraw() == D2DERR_RECREATE_TARGET) {
    box.DropTarget();
    InvalidateRect(box.hwnd, nullptr, FALSE);
    return false;
  }
  return true;
}

void Paint(Box& box) {
  PAINTSTRUCT ps;
  BeginPaint(box.hwnd, &ps);
  bool drawn = false;
  if (box.target || MakeTarget(box)) {
    drawn = Draw(box);
  } else {
    box.done = true;  // lost and not to be had again: the stderr line stands alone
  }
  EndPaint(box.hwnd, &ps);
  if (drawn && !box.shown) {
    box.shown = true;
    if (g_onShown) g_onShown(box.hwnd);
  }
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Box* box = BoxOf(hwnd);
  if (!box) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      Paint(*box);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_SPACE) box->done = true;
      return 0;
    case WM_LBUTTONDOWN:
      box->pressed = box->OnButton(lParam);
      return 0;
    case WM_LBUTTONUP:
      if (box->pressed && box->OnButton(lParam)) box->done = true;
      box->pressed = false;
      return 0;
    case WM_CLOSE:
      box->done = true;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Keyboard and mouse input meant for a box's owner, which Windows disables
// while the box is up.
bool IsOwnersInput(const MSG& msg, HWND owner) {
  return owner && msg.hwnd == owner &&
         ((msg.message >= WM_KEYDOWN && msg.message <= WM_SYSKEYUP) ||
          (msg.message >= WM_MOUSEMOVE && msg.message <= WM_LBUTTONUP));
}

// Makes the box's window and runs it until it is dismissed. False when the
// box could not be made.
bool RunBox(HWND owner, const wchar_t* text, const wchar_t* caption) {
  Box box;
  box.owner = IsWindow(owner) ? owner : nullptr;
  if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                               reinterpret_cast<void**>(&box.factory))) ||
      FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                 reinterpret_cast<IUnknown**>(&box.dwrite)))) {
    return false;
  }
  for (IDWriteTextFormat** format : {&box.textFormat, &box.buttonFormat}) {
    if (FAILED(box.dwrite->CreateTextFormat(L"メイリオ", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                            DWRITE_FONT_STRETCH_NORMAL, kFontSize, L"", format))) {
      return false;
    }
  }
  box.buttonFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);

  const int frameWidth = 2 * GetSystemMetrics(SM_CXDLGFRAME);
  const int frameHeight = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME);
  RECT area = {0, 0, 0, 0};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) area = RECT{0, 0, 1024, 768};
  const float widest =
      std::max(kMinClientWidth, std::min(kMaxClientWidth, static_cast<float>(area.right - area.left - frameWidth)));
  box.text = Wrap(box.textFormat, text ? text : L"", widest - 2 * kMargin);
  float textWidth = 0, textHeight = 0;
  if (!MeasureText(box.textFormat, box.text, &textWidth, &textHeight)) return false;
  box.clientWidth = std::ceil(std::min(std::max(textWidth + 2 * kMargin, kMinClientWidth), widest));
  box.clientHeight = std::ceil(textHeight + 2 * kMargin + kBandHeight);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = BoxProc;
  wc.lpszClassName = kBoxClass;
  RegisterClassExW(&wc);  // already there from an earlier box: the same procedure
  const int width = static_cast<int>(box.clientWidth) + frameWidth;
  const int height = static_cast<int>(box.clientHeight) + frameHeight;
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  // Made hidden, and shown only once it can be drawn.
  box.hwnd = CreateWindowExW(0, kBoxClass, caption ? caption : L"", WS_SYSMENU, x, y, width, height, box.owner,
                             nullptr, nullptr, nullptr);
  if (!box.hwnd) return false;
  if (!MakeTarget(box)) {
    DestroyWindow(box.hwnd);
    return false;
  }
  if (box.owner) SDL_SetWindowModalFor(VxSdlWindowOf(box.hwnd), VxSdlWindowOf(box.owner));

  t_boxes.push_back(&box);
  ShowWindow(box.hwnd, SW_SHOWNORMAL);
  SDL_RaiseWindow(VxSdlWindowOf(box.hwnd));
  UpdateWindow(box.hwnd);
  // Everything else's messages are dispatched too, as a modal loop does;
  // a quit that arrives meanwhile ends the box and is posted again for the
  // caller's loop.
  bool quit = false;
  WPARAM quitCode = 0;
  MSG msg;
  while (!box.done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quitCode = msg.wParam;
      break;
    }
    if (got == -1) break;
    if (IsOwnersInput(msg, box.owner)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  t_boxes.erase(std::find(t_boxes.begin(), t_boxes.end(), &box));
  box.DropTarget();
  DestroyWindow(box.hwnd);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return true;
}

}  // namespace

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT) {
  const std::string line = OneLine(caption, text);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  // A headless driver has nobody to press OK: the line is all there is.
  if (vxw::EnsureVideo(false) && !vxw::IsHeadlessDriver(SDL_GetCurrentVideoDriver())) {
    RunBox(owner, text, caption);
  }
  return IDOK;
}

namespace vxtest {

void OnMessageBoxShown(void (*shown)(HWND box)) { g_onShown = shown; }

}  // namespace vxtest
