// The application framework under Wine: the application object, its name and main window, the
// safe owner of modal boxes, and the disabling around them, on real windows.
#include "framework/msgbox.hpp"
#include "framework/strings.hpp"
#include "framework/winapp.hpp"
#include "framework/wnd.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>

namespace {

// A plain window of the predefined STATIC class: enough to own, disable and parent.
HWND MakeWindow(DWORD style, HWND parent = nullptr, DWORD exStyle = 0) {
  HWND hWnd = ::CreateWindowExW(exStyle, L"STATIC", L"w", style, 0, 0, 100, 80, parent, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  EXPECT_NE(hWnd, nullptr) << "CreateWindowExW failed, error " << ::GetLastError();
  return hWnd;
}

struct WindowDeleter {
  void operator()(HWND__* hWnd) const {
    if (::IsWindow(hWnd)) ::DestroyWindow(hWnd);
  }
};
using Window = std::unique_ptr<HWND__, WindowDeleter>;

TEST(CWinApp, CurrentApplicationAndItsName) {
  ASSERT_EQ(AfxGetApp(), nullptr);
  {
    CWinApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(app.m_pszAppName, nullptr);
    EXPECT_EQ(AfxGetAppName(), nullptr);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);

    std::wstring name = L"Installer \u2013 Vestrilo 1.22";
    app.SetAppName(name.c_str());
    ASSERT_NE(app.m_pszAppName, nullptr);
    EXPECT_NE(app.m_pszAppName, name.c_str()) << "the application keeps a copy of its own";
    EXPECT_EQ(std::wstring(app.m_pszAppName), name);
    EXPECT_EQ(AfxGetAppName(), app.m_pszAppName) << "one copy, answered by both";

    app.SetAppName(app.m_pszAppName);  // from its own copy: still intact
    EXPECT_EQ(std::wstring(AfxGetAppName()), name);

    {
      CWinApp inner(L"inner");
      EXPECT_EQ(AfxGetApp(), &inner);
      EXPECT_EQ(std::wstring(AfxGetAppName()), L"inner");
    }
    EXPECT_EQ(AfxGetApp(), &app);

    CWnd main;
    app.m_pMainWnd = &main;
    EXPECT_EQ(AfxGetMainWnd(), &main);
    app.SetAppName(nullptr);
    EXPECT_EQ(AfxGetAppName(), nullptr);
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
}

class ScriptedApp : public CWinApp {
public:
  BOOL initResult = FALSE;
  int initCalls = 0;
  int exitCalls = 0;
  BOOL InitInstance() override {
    ++initCalls;
    if (initResult) ::PostQuitMessage(7);
    return initResult;
  }
  int ExitInstance() override {
    ++exitCalls;
    return CWinApp::ExitInstance() + 100;
  }
};

TEST(CWinApp, WinMainRunsInitInstanceThenTheLoopOnlyWhenItSucceeds) {
  {
    ScriptedApp app;
    app.initResult = FALSE;
    EXPECT_EQ(AfxWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW), 100);
    EXPECT_EQ(app.initCalls, 1);
    EXPECT_EQ(app.exitCalls, 1);
  }
  {
    ScriptedApp app;
    app.initResult = TRUE;
    // The loop ends with the WM_QUIT InitInstance posted; its code reaches ExitInstance.
    EXPECT_EQ(AfxWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW), 107);
    EXPECT_EQ(app.exitCalls, 1);
  }
  EXPECT_EQ(AfxWinMain(nullptr, nullptr, nullptr, SW_SHOW), -1) << "no application object";
}

TEST(CWinApp, ModelessWindowsAreDisabledOnceAndRestoredAsTheyWere) {
  CWinApp app;
  Window a(MakeWindow(WS_OVERLAPPEDWINDOW)), b(MakeWindow(WS_OVERLAPPEDWINDOW)), off(MakeWindow(WS_OVERLAPPEDWINDOW));
  ::EnableWindow(off.get(), FALSE);  // disabled by the program itself: must stay so
  app.AddModelessWindow(a.get());
  app.AddModelessWindow(b.get());
  app.AddModelessWindow(off.get());
  app.AddModelessWindow(a.get());  // twice is once

  app.EnableModeless(FALSE);
  EXPECT_FALSE(::IsWindowEnabled(a.get()));
  EXPECT_FALSE(::IsWindowEnabled(b.get()));
  app.EnableModeless(FALSE);  // nested
  app.EnableModeless(TRUE);
  EXPECT_FALSE(::IsWindowEnabled(a.get())) << "the outer disabling still holds";
  app.EnableModeless(TRUE);
  EXPECT_TRUE(::IsWindowEnabled(a.get()));
  EXPECT_TRUE(::IsWindowEnabled(b.get()));
  EXPECT_FALSE(::IsWindowEnabled(off.get()));
  EXPECT_EQ(app.ModelessDisableDepth(), 0);

  app.EnableModeless(TRUE);  // unbalanced enabling changes nothing
  EXPECT_EQ(app.ModelessDisableDepth(), 0);
  EXPECT_FALSE(::IsWindowEnabled(off.get()));

  app.RemoveModelessWindow(b.get());
  app.EnableModeless(FALSE);
  EXPECT_TRUE(::IsWindowEnabled(b.get())) << "no longer registered";
  EXPECT_FALSE(::IsWindowEnabled(a.get()));
  app.EnableModeless(TRUE);
  EXPECT_TRUE(::IsWindowEnabled(a.get()));
}

TEST(CWnd, AttachDetachAndTexts) {
  Window owned(MakeWindow(WS_OVERLAPPEDWINDOW));
  CWnd wnd;
  EXPECT_EQ(wnd.GetSafeHwnd(), nullptr);
  ASSERT_TRUE(wnd.Attach(owned.get()));
  EXPECT_FALSE(wnd.Attach(owned.get())) << "already has a window";
  wnd.SetWindowText(L"\u00C0 propos de 'Installeur'");
  EXPECT_EQ(wnd.GetWindowText(), L"\u00C0 propos de 'Installeur'");
  wnd.SetWindowText(L"");
  EXPECT_EQ(wnd.GetWindowText(), L"");
  EXPECT_EQ(wnd.Detach(), owned.get());
  EXPECT_EQ(wnd.GetSafeHwnd(), nullptr);
  EXPECT_TRUE(::IsWindow(owned.get())) << "a detached window lives on";

  HWND dying = MakeWindow(WS_OVERLAPPEDWINDOW);
  {
    CWnd holder;
    holder.Attach(dying);
  }
  EXPECT_FALSE(::IsWindow(dying)) << "an attached window goes with its object";
}

TEST(CWnd, SafeOwnerStartsFromTheMainWindow) {
  EXPECT_EQ(CWnd::GetSafeOwner(), nullptr) << "no application, no owner";

  CWinApp app(L"app");
  CWnd main;
  app.m_pMainWnd = &main;
  HWND disabled = reinterpret_cast<HWND>(1);
  EXPECT_EQ(CWnd::GetSafeOwner(nullptr, &disabled), nullptr) << "a main window object without window";
  EXPECT_EQ(disabled, nullptr);

  main.Attach(MakeWindow(WS_OVERLAPPEDWINDOW));
  HWND frame = main.m_hWnd;
  EXPECT_EQ(CWnd::GetSafeOwner(nullptr, &disabled), frame);
  EXPECT_EQ(disabled, nullptr) << "the owner itself is never disabled";
  EXPECT_TRUE(::IsWindowEnabled(frame));

  // A child window as given parent leads to its top-level parent.
  Window page(MakeWindow(WS_CHILD, frame));
  Window control(MakeWindow(WS_CHILD, page.get()));
  EXPECT_EQ(CWnd::GetSafeOwner(control.get(), &disabled), frame);
  EXPECT_EQ(disabled, nullptr);

  // A modal pop-up open over the main window owns the box, and the main window above it is
  // disabled for the time of the box (when it is not already).
  Window popup(MakeWindow(WS_POPUP | WS_CAPTION, frame));
  ::SetActiveWindow(popup.get());
  ASSERT_EQ(::GetLastActivePopup(frame), popup.get()) << "the window manager did not record the active pop-up";
  EXPECT_EQ(CWnd::GetSafeOwner(nullptr, &disabled), popup.get());
  EXPECT_EQ(disabled, frame);
  EXPECT_FALSE(::IsWindowEnabled(frame));
  ::EnableWindow(frame, TRUE);

  ::EnableWindow(frame, FALSE);
  EXPECT_EQ(CWnd::GetSafeOwner(nullptr, &disabled), popup.get());
  EXPECT_EQ(disabled, nullptr) << "a window disabled already is not reported";
  ::EnableWindow(frame, TRUE);

  // Without the out parameter nothing is disabled.
  EXPECT_EQ(CWnd::GetSafeOwner(), popup.get());
  EXPECT_TRUE(::IsWindowEnabled(frame));
}

TEST(CModalBoxScope, DisablesForTheBoxAndRestoresEverything) {
  CWinApp app(L"app");
  CWnd main;
  main.Attach(MakeWindow(WS_OVERLAPPEDWINDOW));
  app.m_pMainWnd = &main;
  HWND frame = main.m_hWnd;
  Window palette(MakeWindow(WS_OVERLAPPEDWINDOW));
  app.AddModelessWindow(palette.get());
  Window popup(MakeWindow(WS_POPUP | WS_CAPTION, frame));
  ::SetActiveWindow(popup.get());
  ::EnableWindow(popup.get(), FALSE);  // the owner found is disabled: the scope enables it

  {
    CModalBoxScope scope;
    EXPECT_EQ(scope.Owner(), popup.get());
    EXPECT_EQ(scope.DisabledTop(), frame);
    EXPECT_FALSE(::IsWindowEnabled(frame));
    EXPECT_FALSE(::IsWindowEnabled(palette.get()));
    EXPECT_TRUE(::IsWindowEnabled(popup.get()));
    EXPECT_EQ(app.ModelessDisableDepth(), 1);
  }
  EXPECT_TRUE(::IsWindowEnabled(frame));
  EXPECT_TRUE(::IsWindowEnabled(palette.get()));
  EXPECT_EQ(app.ModelessDisableDepth(), 0);

  // Without an application object the scope owns nothing and touches nothing.
  app.m_pMainWnd = nullptr;
  {
    CModalBoxScope scope;
    EXPECT_EQ(scope.Owner(), nullptr);
    EXPECT_EQ(scope.DisabledTop(), nullptr);
  }
  EXPECT_TRUE(::IsWindowEnabled(palette.get()));
}

TEST(MessageBoxType, DefaultIconByButtons) {
  struct Case {
    UINT type;
    UINT expected;
  };
  const Case cases[] = {
      {MB_OK, MB_OK | MB_ICONEXCLAMATION},
      {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
      {MB_ABORTRETRYIGNORE, MB_ABORTRETRYIGNORE},
      {MB_YESNOCANCEL, MB_YESNOCANCEL | MB_ICONQUESTION},
      {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
      {MB_RETRYCANCEL, MB_RETRYCANCEL},
      {MB_CANCELTRYCONTINUE, MB_CANCELTRYCONTINUE},
      {MB_YESNO | MB_DEFBUTTON2, MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION},
      {MB_OK | MB_ICONERROR, MB_OK | MB_ICONERROR},
      {MB_YESNO | MB_ICONINFORMATION, MB_YESNO | MB_ICONINFORMATION},
      {MB_OK | MB_TASKMODAL | MB_SETFOREGROUND, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | MB_ICONEXCLAMATION},
  };
  for (const Case& c : cases) EXPECT_EQ(AfxAddDefaultIcon(c.type), c.expected) << std::hex << c.type;
}

TEST(Strings, LoadStringFromTheResourceModule) {
  EXPECT_EQ(AfxGetResourceHandle(), ::GetModuleHandleW(nullptr));
  EXPECT_EQ(AfxLoadString(2000), L"Installer");
  EXPECT_EQ(AfxLoadString(1005), L"Pr\u00E9c\u00E9dent");
  EXPECT_EQ(AfxLoadString(2001), L"") << "no such entry";
  EXPECT_EQ(AfxLoadString(2010), std::wstring(600, L'x')) << "long entries come whole";
}

// Finds the message box of `thread` on the display, reads its caption and text, and presses
// `button`. Gives up after a minute.
std::thread AnswerBox(DWORD thread, int button, std::wstring& caption, std::wstring& text) {
  return std::thread([=, &caption, &text] {
    struct Search {
      HWND box = nullptr;
    } search;
    for (int attempt = 0; attempt < 3000 && !search.box; ++attempt) {
      ::EnumThreadWindows(
          thread,
          [](HWND hWnd, LPARAM param) -> BOOL CALLBACK {
            wchar_t name[16] = {};
            if (::GetClassNameW(hWnd, name, 16) && std::wstring(name) == L"#32770" && ::IsWindowVisible(hWnd)) {
              reinterpret_cast<Search*>(param)->box = hWnd;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&search));
      if (!search.box) ::Sleep(20);
    }
    if (!search.box) return;
    wchar_t buffer[512] = {};
    ::GetWindowTextW(search.box, buffer, 512);
    caption = buffer;
    buffer[0] = 0;
    ::GetDlgItemTextW(search.box, 0xFFFF, buffer, 512);
    text = buffer;
    ::PostMessageW(search.box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  });
}

TEST(AfxMessageBox, RealBoxWithTheStringAndTheApplicationsName) {
  CWinApp app(L"Installeur \u2013 Vestrilo 1.22");
  std::wstring caption, text;
  std::thread watcher = AnswerBox(::GetCurrentThreadId(), IDNO, caption, text);
  const int result = AfxMessageBox(1005, MB_YESNO);
  watcher.join();
  EXPECT_EQ(result, IDNO);
  EXPECT_EQ(text, L"Pr\u00E9c\u00E9dent");
  EXPECT_EQ(caption, L"Installeur \u2013 Vestrilo 1.22");

  // Without a name the box carries the program's file name.
  app.SetAppName(nullptr);
  watcher = AnswerBox(::GetCurrentThreadId(), IDOK, caption, text);
  EXPECT_EQ(AfxMessageBox(L"Plain text", MB_OK), IDOK);
  watcher.join();
  EXPECT_EQ(text, L"Plain text");
  EXPECT_EQ(caption, L"framework_app_tests");
}

}  // namespace
