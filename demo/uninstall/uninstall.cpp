// Uninstall.exe, the demo product's uninstaller. For now a window that says what it is for;
// the removal of what the installation recorded in Uninstall.ulog comes later.
#include <windows.h>

namespace {

LRESULT CALLBACK UninstallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    InflateRect(&area, -16, -16);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc,
              L"This program will remove Vestrilo 1.22 by Orvane & Drey from this computer.\n\n"
              L"Removal is not available in this version yet; close this window to leave "
              L"everything as it is.",
              -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = UninstallWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VestriloUninstallWindow";
  if (!RegisterClassExW(&wc))
    return 1;
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"Vestrilo 1.22 Uninstall", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 480, 240, nullptr, nullptr, instance, nullptr);
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
