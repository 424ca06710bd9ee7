// The framework's message boxes and the rules every modal box of the application follows.
#pragma once

#include <windows.h>

// While it lives, the application is prepared for a modal box: the owner is chosen
// (CWnd::GetSafeOwner from the main window), the top-level window above it disabled when
// needed, the application's modeless windows disabled, and the owner itself made sure to be
// enabled. The destructor undoes all of it, whatever happened in between.
class CModalBoxScope {
public:
  CModalBoxScope();
  ~CModalBoxScope();
  CModalBoxScope(const CModalBoxScope&) = delete;
  CModalBoxScope& operator=(const CModalBoxScope&) = delete;

  HWND Owner() const { return m_owner; }
  // The window that was disabled for the box (to be enabled again), or null.
  HWND DisabledTop() const { return m_disabledTop; }

private:
  HWND m_owner = nullptr;
  HWND m_disabledTop = nullptr;
  bool m_modelessDisabled = false;
};

// The default icon of a message box: a type without icon bits gets the exclamation mark
// with MB_OK or MB_OKCANCEL and the question mark with MB_YESNOCANCEL or MB_YESNO; other
// button groups, and types that name an icon already, stay as they are.
UINT AfxAddDefaultIcon(UINT type);

// The application's message box with a literal text, or with the string `promptId` of the
// resource module. Both go through the current application's DoMessageBox (or the same
// rules without one).
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = UINT(-1));
