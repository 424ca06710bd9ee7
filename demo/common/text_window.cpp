#include "demo/common/text_window.hpp"

namespace demo {

namespace {

// The text of the one window a demo program shows.
const std::wstring* g_text = nullptr;

LRESULT CALLBACK TextWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    InflateRect(&area, -16, -16);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, g_text->c_str(), -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    EndPaint(window, &paint);
    return 0;
  }
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int RunTextWindow(HINSTANCE instance, int show, const text_window& shown)
{
  g_text = &shown.text;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TextWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = shown.class_name;
  if (!RegisterClassExW(&wc))
    return 1;
  HWND window = CreateWindowExW(0, wc.lpszClassName, shown.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                shown.width, shown.height, nullptr, nullptr, instance, nullptr);
  if (!window)
    return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

} // namespace demo
