// ApplyLanguageChoice with and without an application object and a main window, and the real
// message box that announces an untranslated interface (needs a display).
#include "support/language.hpp"

#include "framework/winapp.hpp"
#include "framework/wnd.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ov;

// What the main window saw when it was asked to re-text itself.
struct ReTextCall {
  WPARAM language_sent;
  int language_current;
  std::wstring application_name;
};
std::vector<ReTextCall> re_text_calls;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_OV_RETEXTALL) {
    const wchar_t* name = AfxGetAppName();
    re_text_calls.push_back({wParam, GetLanguage(), name ? name : L""});
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// A hidden top-level window standing in for the wizard frame.
class FakeFrame : public CWnd {
public:
  FakeFrame() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FrameProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OvLanguageTestFrame";
    ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
    m_hWnd = ::CreateWindowExW(0, L"OvLanguageTestFrame", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  ~FakeFrame() override { DestroyWindow(); }
};

class ApplyChoice : public ::testing::Test {
protected:
  void SetUp() override { re_text_calls.clear(); }
  void TearDown() override { SetLanguage(LanguageFrench); }
};

const wchar_t dash_title_separator[] = L" \u2013 ";

TEST_F(ApplyChoice, WorksWithoutApplicationOrMainWindow) {
  ASSERT_EQ(AfxGetApp(), nullptr);
  ApplyLanguageChoice(LanguageGerman);
  EXPECT_EQ(GetLanguage(), LanguageGerman);
  EXPECT_EQ(LoadText(TextBaseId + 0), L"Installationsprogramm");
  EXPECT_TRUE(re_text_calls.empty());
}

TEST_F(ApplyChoice, RenewsTheApplicationTitleAndReTextsTheMainWindow) {
  CWinApp app(L"Installeur \u2013 Vestrilo 1.22");
  FakeFrame frame;
  ASSERT_NE(frame.GetSafeHwnd(), nullptr);
  app.m_pMainWnd = &frame;

  ApplyLanguageChoice(LanguageSpanish);
  const std::wstring spanishTitle = std::wstring(L"Instalador") + dash_title_separator + L"Vestrilo 1.22";
  EXPECT_EQ(GetLanguage(), LanguageSpanish);
  ASSERT_EQ(re_text_calls.size(), 1u);
  EXPECT_EQ(re_text_calls[0].language_sent, static_cast<WPARAM>(LanguageSpanish));
  // The window re-texts itself with the new language and title already in place.
  EXPECT_EQ(re_text_calls[0].language_current, LanguageSpanish);
  EXPECT_EQ(re_text_calls[0].application_name, spanishTitle);
  EXPECT_EQ(std::wstring(AfxGetAppName()), spanishTitle);
  EXPECT_EQ(AfxGetAppName(), app.m_pszAppName);

  // Without a main window only the title changes.
  app.m_pMainWnd = nullptr;
  ApplyLanguageChoice(LanguageGerman);
  EXPECT_EQ(std::wstring(AfxGetAppName()), std::wstring(L"Installationsprogramm") + dash_title_separator + L"Vestrilo 1.22");
  EXPECT_EQ(re_text_calls.size(), 1u);
}

// What another thread read from the message box it found and closed.
struct BoxReport {
  bool found = false;
  std::wstring caption;
  std::wstring text;
  bool information_icon = false;
};

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param) {
  auto* report = reinterpret_cast<BoxReport*>(param);
  wchar_t className[32] = {};
  ::GetClassNameW(child, className, 32);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    report->information_icon = icon && icon == ::LoadIconW(nullptr, IDI_INFORMATION);
  } else {
    wchar_t text[1024] = {};
    ::GetWindowTextW(child, text, 1024);
    if (*text) report->text = text;
  }
  return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  wchar_t className[16] = {};
  ::GetClassNameW(window, className, 16);
  if (wcscmp(className, L"#32770") != 0 || !::IsWindowVisible(window)) return TRUE;
  auto* report = reinterpret_cast<BoxReport*>(param);
  wchar_t caption[256] = {};
  ::GetWindowTextW(window, caption, 256);
  report->caption = caption;
  ::EnumChildWindows(window, ReadBoxChild, param);
  report->found = true;
  ::PostMessageW(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

TEST_F(ApplyChoice, AnUntranslatedLanguageIsAnnouncedAndEnglishTakesOver) {
  if (!::GetSystemMetrics(SM_CXSCREEN)) GTEST_SKIP() << "no display for the message box";
  const std::wstring oldTitle = std::wstring(L"Installeur") + dash_title_separator + L"Vestrilo 1.22";
  CWinApp app(oldTitle.c_str());
  FakeFrame frame;
  app.m_pMainWnd = &frame;

  // Another thread finds the box among this thread's windows, reads it and presses OK. It
  // gives up after a while so that a missing box fails the test instead of hanging it.
  BoxReport report;
  std::atomic<bool> done{false};
  const DWORD uiThread = ::GetCurrentThreadId();
  std::thread closer([&] {
    for (int attempt = 0; attempt < 600 && !report.found && !done; ++attempt) {
      ::EnumThreadWindows(uiThread, FindBox, reinterpret_cast<LPARAM>(&report));
      if (!report.found) ::Sleep(50);
    }
  });
  ApplyLanguageChoice(5);  // Dutch: no translated interface
  done = true;
  closer.join();

  ASSERT_TRUE(report.found) << "no message box appeared";
  EXPECT_EQ(report.text,
            L"'Vestrilo' will be installed in the selected Langage, but the Installer, still under translation,  "
            L"shall run in English.");
  EXPECT_EQ(report.caption, oldTitle);
  EXPECT_TRUE(report.information_icon);

  EXPECT_EQ(GetLanguage(), LanguageEnglish);
  ASSERT_EQ(re_text_calls.size(), 1u);
  EXPECT_EQ(re_text_calls[0].language_current, LanguageEnglish);
  EXPECT_EQ(re_text_calls[0].application_name,
            std::wstring(L"Installer") + dash_title_separator + L"Vestrilo 1.22");
}

}  // namespace
