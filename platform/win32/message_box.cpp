// Message boxes, drawn with the platform's own window, Direct2D and
// DirectWrite: the text in any script the text layer draws (the game's
// messages are Japanese), an OK button, a modal loop of their own. Every box
// is also one line on stderr, written first, so that it is seen without a
// display and found in logs.
#include <d2d1.h>
#include <d2d1helper.h>
#include <dwrite.h>
#include <vx_text.h>
#include <vx_window.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
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

void (*g_onShown)(HWND) = nullptr;

struct Box {
  std::wstring text;
  float clientWidth = 0, clientHeight = 0;
  ID2D1Factory* factory = nullptr;
  IDWriteFactory* dwrite = nullptr;
  IDWriteTextFormat* textFormat = nullptr;
  IDWriteTextFormat* buttonFormat = nullptr;
  ID2D1HwndRenderTarget* target = nullptr;
  ID2D1SolidColorBrush* brush = nullptr;
  bool shown = false;
  bool done = false;

  D2D1_RECT_F Button() const {
    const float right = clientWidth - 12.0f, bottom = clientHeight - (kBandHeight - kButtonHeight) / 2;
    return D2D1::RectF(right - kButtonWidth, bottom - kButtonHeight, right, bottom);
  }
  ~Box() {
    for (IUnknown* p : {static_cast<IUnknown*>(brush), static_cast<IUnknown*>(target),
                        static_cast<IUnknown*>(buttonFormat), static_cast<IUnknown*>(textFormat),
                        static_cast<IUnknown*>(dwrite), static_cast<IUnknown*>(factory)}) {
      if (p) p->Release();
    }
  }
};

// The box whose modal loop runs on this thread (boxes do not nest).
thread_local Box* t_box = nullptr;

std::string OneLine(const wchar_t* caption, const wchar_t* text) {
  std::string line = VxUtf32ToUtf8(caption) + ": " + VxUtf32ToUtf8(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line + "\n";
}

// The laid-out text's extent from its layout rectangle's origin.
bool MeasureText(IDWriteTextFormat* format, const std::wstring& text, float* width, float* height) {
  std::vector<VxPlacedGlyph> glyphs;
  if (!VxLayoutText(format, text.c_str(), static_cast<UINT32>(text.size()), D2D1::RectF(0, 0, 10000, 10000),
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

void Paint(Box& box, HWND hwnd) {
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  if (!box.target) {
    box.factory->CreateHwndRenderTarget(
        D2D1::RenderTargetProperties(),
        D2D1::HwndRenderTargetProperties(
            hwnd, D2D1::SizeU(static_cast<UINT32>(box.clientWidth), static_cast<UINT32>(box.clientHeight))),
        &box.target);
    if (box.target) box.target->CreateSolidColorBrush(D2D1::ColorF(0x000000), &box.brush);
  }
  if (box.target && box.brush) {
    ID2D1HwndRenderTarget* t = box.target;
    t->BeginDraw();
    t->Clear(D2D1::ColorF(0xFFFFFF));
    box.brush->SetColor(D2D1::ColorF(0xF0F0F0));
    t->FillRectangle(D2D1::RectF(0, box.clientHeight - kBandHeight, box.clientWidth, box.clientHeight), box.brush);
    box.brush->SetColor(D2D1::ColorF(0x000000));
    t->DrawText(box.text.c_str(), static_cast<UINT32>(box.text.size()), box.textFormat,
                D2D1::RectF(kMargin, kMargin, box.clientWidth - kMargin, box.clientHeight - kBandHeight),
                box.brush);
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
      box.brush->Release();
      box.brush = nullptr;
      box.target->Release();
      box.target = nullptr;
      InvalidateRect(hwnd, nullptr, FALSE);
    }
  }
  EndPaint(hwnd, &ps);
  if (!box.shown && box.target) {
    box.shown = true;
    if (g_onShown) g_onShown(hwnd);
  }
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Box* box = t_box;
  if (!box) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      Paint(*box, hwnd);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_SPACE) box->done = true;
      return 0;
    case WM_LBUTTONUP: {
      const float x = static_cast<float>(static_cast<short>(LOWORD(lParam)));
      const float y = static_cast<float>(static_cast<short>(HIWORD(lParam)));
      const D2D1_RECT_F b = box->Button();
      if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) box->done = true;
      return 0;
    }
    case WM_CLOSE:
      box->done = true;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Makes the box's window and runs it until it is dismissed. False when the
// box could not be made.
bool RunBox(const wchar_t* text, const wchar_t* caption) {
  if (t_box) return false;
  Box box;
  box.text = text ? text : L"";
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
  float textWidth = 0, textHeight = 0;
  if (!MeasureText(box.textFormat, box.text, &textWidth, &textHeight)) return false;
  box.clientWidth = std::ceil(std::min(std::max(textWidth + 2 * kMargin, kMinClientWidth), kMaxClientWidth));
  box.clientHeight = std::ceil(textHeight + 2 * kMargin + kBandHeight);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = BoxProc;
  wc.lpszClassName = kBoxClass;
  RegisterClassExW(&wc);  // already there from an earlier box: the same procedure
  const int width = static_cast<int>(box.clientWidth) + 2 * GetSystemMetrics(SM_CXDLGFRAME);
  const int height =
      static_cast<int>(box.clientHeight) + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME);
  RECT area = {0, 0, 0, 0};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) area = RECT{0, 0, 1024, 768};
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  HWND hwnd = CreateWindowExW(0, kBoxClass, caption ? caption : L"", WS_SYSMENU, x, y, width, height, nullptr,
                              nullptr, nullptr, nullptr);
  if (!hwnd) return false;

  t_box = &box;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  // Everything else's messages are dispatched too, as a modal loop does;
  // a quit that arrives meanwhile is posted again for the caller's loop.
  bool quit = false;
  WPARAM quitCode = 0;
  MSG msg;
  while (!box.done) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quitCode = msg.wParam;
      break;
    }
    if (got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  t_box = nullptr;
  DestroyWindow(hwnd);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return true;
}

}  // namespace

int WINAPI MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  const std::string line = OneLine(caption, text);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  // A headless driver has nobody to press OK: the line is all there is.
  if (vxw::EnsureVideo(false) && !vxw::IsHeadlessDriver(SDL_GetCurrentVideoDriver())) RunBox(text, caption);
  return IDOK;
}

namespace vxtest {

void OnMessageBoxShown(void (*shown)(HWND box)) { g_onShown = shown; }

}  // namespace vxtest
