// CWnd: a window of the program, owned by a C++ object.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The window handle; null while the object has no window.
  HWND m_hWnd = nullptr;

  HWND GetSafeHwnd() const { return m_hWnd; }

  // Binds an existing window to this object (which must have none) / lets it go again.
  BOOL Attach(HWND hWnd);
  HWND Detach();

  BOOL DestroyWindow();

  void SetWindowText(const wchar_t* text);
  std::wstring GetWindowText() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  DWORD GetStyle() const;
  DWORD GetExStyle() const;

  // The window a modal box shown on behalf of the application should be owned by: start
  // from `parent`, or from the application's main window when `parent` is null; climb from
  // child windows to their parents; with no `parent`, take the last active pop-up of the
  // window found. When `disabledTop` is given and the top-level window above the owner is
  // enabled and is not the owner itself, that window is disabled and returned there (so that
  // the caller can enable it again); otherwise *disabledTop is null. Null when there is no
  // window to start from.
  static HWND GetSafeOwner(HWND parent = nullptr, HWND* disabledTop = nullptr);
};
