// CWinApp: the application object. One per program, usually a static object of a class
// derived from it; the framework's entry AfxWinMain runs its InitInstance and, when that
// answers TRUE, its message loop.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CWnd;

class CWinApp {
public:
  // Makes this object the current application (AfxGetApp). `appName` may be null: the
  // application then has no name until SetAppName gives it one.
  explicit CWinApp(const wchar_t* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The application's name, shown as caption of its message boxes: a heap copy owned by
  // the application, or null. Change it only through SetAppName.
  const wchar_t* m_pszAppName = nullptr;
  // The application's main window (not owned), or null.
  CWnd* m_pMainWnd = nullptr;
  // The program's module (set by AfxWinMain; the process module until then).
  HINSTANCE m_hInstance = nullptr;

  // Replaces the application name by a copy of `name` (null clears it); the previous copy is
  // freed. AfxGetAppName answers the same pointer.
  void SetAppName(const wchar_t* name);

  // Start-up and shut-down hooks. InitInstance answering FALSE ends the program at once
  // (AfxWinMain then returns ExitInstance's code without running the message loop).
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // The message loop: runs until WM_QUIT, then returns ExitInstance().
  virtual int Run();

  // The application's message box (AfxMessageBox lands here): owner, disabling and default
  // icon as for every modal box of the application, caption = the application name (or the
  // program's file name when it has none). `promptId` is the string id the text came from,
  // 0 for a literal text.
  virtual int DoMessageBox(const wchar_t* prompt, UINT type, UINT promptId);

  // Modeless windows of the application: while a modal box is shown they must not take
  // input. EnableModeless(FALSE) disables every registered window that is enabled;
  // EnableModeless(TRUE) enables again those it disabled. Calls nest: only the outermost
  // pair acts.
  void AddModelessWindow(HWND hWnd);
  void RemoveModelessWindow(HWND hWnd);
  void EnableModeless(BOOL enable);
  int ModelessDisableDepth() const { return m_modelessDepth; }

protected:
  // Exit code from the WM_QUIT that ended Run (0 until then).
  int m_nExitCode = 0;

private:
  CWinApp* m_previousApp = nullptr;
  std::vector<HWND> m_modeless;
  std::vector<HWND> m_modelessDisabled;
  int m_modelessDepth = 0;
};

// The current application object, or null before it exists and after it is gone.
CWinApp* AfxGetApp();
// The current application's main window, or null.
CWnd* AfxGetMainWnd();
// The current application's name (the same pointer as its m_pszAppName), or null.
const wchar_t* AfxGetAppName();

// The program's file name without folder and extension ("Setup" for C:\x\Setup.exe); empty
// when the path does not fit in MAX_PATH characters. The caption of last resort.
std::wstring AfxGetModuleBaseName();

// The framework's entry: call it from wWinMain. Runs the current application's InitInstance
// and, when that succeeds, its message loop; answers the process exit code.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR cmdLine, int showCmd);
