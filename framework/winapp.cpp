#include "framework/winapp.hpp"

#include "framework/msgbox.hpp"
#include "framework/wnd.hpp"

#include <algorithm>
#include <cwchar>
#include <string>

namespace {
CWinApp* g_currentApp = nullptr;

wchar_t* CopyText(const wchar_t* text) {
  if (!text) return nullptr;
  size_t length = std::wcslen(text);
  wchar_t* copy = new wchar_t[length + 1];
  std::wmemcpy(copy, text, length + 1);
  return copy;
}
}  // namespace

std::wstring AfxGetModuleBaseName() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length < MAX_PATH ? length : 0);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

CWinApp::CWinApp(const wchar_t* appName) {
  m_pszAppName = CopyText(appName);
  m_hInstance = ::GetModuleHandleW(nullptr);
  m_previousApp = g_currentApp;
  g_currentApp = this;
}

CWinApp::~CWinApp() {
  if (g_currentApp == this) g_currentApp = m_previousApp;
  delete[] const_cast<wchar_t*>(m_pszAppName);
  m_pszAppName = nullptr;
}

void CWinApp::SetAppName(const wchar_t* name) {
  // Copy first: `name` may point into the current copy.
  wchar_t* copy = CopyText(name);
  delete[] const_cast<wchar_t*>(m_pszAppName);
  m_pszAppName = copy;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return m_nExitCode; }

int CWinApp::Run() {
  MSG msg;
  for (;;) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      m_nExitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) break;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return ExitInstance();
}

int CWinApp::DoMessageBox(const wchar_t* prompt, UINT type, UINT /*promptId*/) {
  CModalBoxScope scope;
  std::wstring caption = m_pszAppName && *m_pszAppName ? std::wstring(m_pszAppName) : AfxGetModuleBaseName();
  return ::MessageBoxW(scope.Owner(), prompt ? prompt : L"", caption.c_str(), AfxAddDefaultIcon(type));
}

void CWinApp::AddModelessWindow(HWND hWnd) {
  if (hWnd && std::find(m_modeless.begin(), m_modeless.end(), hWnd) == m_modeless.end()) m_modeless.push_back(hWnd);
}

void CWinApp::RemoveModelessWindow(HWND hWnd) {
  m_modeless.erase(std::remove(m_modeless.begin(), m_modeless.end(), hWnd), m_modeless.end());
  m_modelessDisabled.erase(std::remove(m_modelessDisabled.begin(), m_modelessDisabled.end(), hWnd),
                           m_modelessDisabled.end());
}

void CWinApp::EnableModeless(BOOL enable) {
  if (!enable) {
    if (m_modelessDepth++ > 0) return;
    // Remember only the windows this call disables: a window the program disabled on its own
    // stays disabled afterwards.
    m_modelessDisabled.clear();
    for (HWND hWnd : m_modeless) {
      if (::IsWindow(hWnd) && ::IsWindowEnabled(hWnd)) {
        ::EnableWindow(hWnd, FALSE);
        m_modelessDisabled.push_back(hWnd);
      }
    }
    return;
  }
  if (m_modelessDepth == 0) return;  // unbalanced: nothing to undo
  if (--m_modelessDepth > 0) return;
  for (HWND hWnd : m_modelessDisabled) {
    if (::IsWindow(hWnd)) ::EnableWindow(hWnd, TRUE);
  }
  m_modelessDisabled.clear();
}

CWinApp* AfxGetApp() { return g_currentApp; }

CWnd* AfxGetMainWnd() { return g_currentApp ? g_currentApp->m_pMainWnd : nullptr; }

const wchar_t* AfxGetAppName() { return g_currentApp ? g_currentApp->m_pszAppName : nullptr; }

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  if (hInstance) app->m_hInstance = hInstance;
  if (!app->InitInstance()) {
    if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}
