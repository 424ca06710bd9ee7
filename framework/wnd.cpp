#include "framework/wnd.hpp"

#include "framework/winapp.hpp"

CWnd::~CWnd() {
  // The object does not own a window it merely wraps after Detach; a window still attached
  // goes with its object.
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

BOOL CWnd::Attach(HWND hWnd) {
  if (m_hWnd || !hWnd) return FALSE;
  m_hWnd = hWnd;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  m_hWnd = nullptr;
  return hWnd;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  BOOL done = ::DestroyWindow(m_hWnd);
  if (done) m_hWnd = nullptr;
  return done;
}

void CWnd::SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text ? text : L""); }

std::wstring CWnd::GetWindowText() const {
  int length = ::GetWindowTextLengthW(m_hWnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }

HWND CWnd::GetSafeOwner(HWND parent, HWND* disabledTop) {
  if (disabledTop) *disabledTop = nullptr;

  HWND hWnd = parent;
  if (!hWnd) {
    CWnd* main = AfxGetMainWnd();
    hWnd = main ? main->m_hWnd : nullptr;
  }
  if (hWnd && !::IsWindow(hWnd)) hWnd = nullptr;

  // A child window cannot own a box: its top-level parent does.
  while (hWnd && (::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD)) hWnd = ::GetParent(hWnd);

  // The top-level window above it, following owners up to the root.
  HWND top = hWnd;
  while (top) {
    HWND up = ::GetParent(top);
    if (!up) break;
    top = up;
  }

  // Starting from the main window, a pop-up it has open (a modal dialog) is the owner.
  if (!parent && hWnd) hWnd = ::GetLastActivePopup(hWnd);

  if (disabledTop && top && top != hWnd && ::IsWindowEnabled(top)) {
    *disabledTop = top;
    ::EnableWindow(top, FALSE);
  }
  return hWnd;
}
