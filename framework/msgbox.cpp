#include "framework/msgbox.hpp"

#include "framework/strings.hpp"
#include "framework/winapp.hpp"
#include "framework/wnd.hpp"

CModalBoxScope::CModalBoxScope() {
  m_owner = CWnd::GetSafeOwner(nullptr, &m_disabledTop);
  if (CWinApp* app = AfxGetApp()) {
    app->EnableModeless(FALSE);
    m_modelessDisabled = true;
  }
  // A box owned by a disabled window could not take input either.
  if (m_owner && m_owner != m_disabledTop) ::EnableWindow(m_owner, TRUE);
}

CModalBoxScope::~CModalBoxScope() {
  if (m_disabledTop) ::EnableWindow(m_disabledTop, TRUE);
  if (m_modelessDisabled) {
    if (CWinApp* app = AfxGetApp()) app->EnableModeless(TRUE);
  }
}

UINT AfxAddDefaultIcon(UINT type) {
  if (type & MB_ICONMASK) return type;
  switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
      return type | MB_ICONEXCLAMATION;
    case MB_YESNOCANCEL:
    case MB_YESNO:
      return type | MB_ICONQUESTION;
    default:
      return type;
  }
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT) {
  if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(text, type, 0);
  CModalBoxScope scope;
  return ::MessageBoxW(scope.Owner(), text ? text : L"", nullptr, AfxAddDefaultIcon(type));
}

int AfxMessageBox(UINT promptId, UINT type, UINT) {
  std::wstring text = AfxLoadString(promptId);
  if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(text.c_str(), type, promptId);
  CModalBoxScope scope;
  return ::MessageBoxW(scope.Owner(), text.c_str(), nullptr, AfxAddDefaultIcon(type));
}
