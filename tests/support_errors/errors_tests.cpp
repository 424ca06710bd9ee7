// Error sentences and message boxes under Wine: the decisions (type flags, texts, captions,
// owners) on their own, then real boxes on the display, read back and answered from a second
// thread.
#include "framework/winapp.hpp"
#include "framework/wnd.hpp"
#include "support/errors.hpp"
#include "support/identity.hpp"
#include "support/language.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>

namespace {

constexpr DWORD e_fail = 0x80004005;
constexpr DWORD resource_message = 0x28000000;  // customer bit and resource bit

// The raw sentence of the system, or empty with the error in `error`.
std::wstring RawSystemMessage(DWORD code, LANGID language, DWORD& error) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, language, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  error = length ? 0 : ::GetLastError();
  std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  return text;
}

bool EndsWithLineBreak(const std::wstring& text) {
  return !text.empty() && (text.back() == L'\r' || text.back() == L'\n');
}

TEST(SystemErrorText, SystemSentenceWithoutTrailingLineBreak) {
  DWORD error = 0;
  const std::wstring raw = RawSystemMessage(ERROR_ACCESS_DENIED, 0, error);
  ASSERT_FALSE(raw.empty()) << "the system has no sentence for a denied access, error " << error;
  const std::wstring text = ov::SystemErrorText(ERROR_ACCESS_DENIED, 0);
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(EndsWithLineBreak(text));
  EXPECT_EQ(raw.compare(0, text.size(), text), 0) << "the system's own words";
  EXPECT_TRUE(EndsWithLineBreak(raw)) << "the system ends its sentence with a line break";
  EXPECT_NE(text, ov::SystemErrorText(e_fail, 0));
  // HRESULTs are system codes too.
  EXPECT_EQ(ov::SystemErrorText(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), 0), text);
}

TEST(SystemErrorText, LanguageWithoutSentencesFallsBackToTheSystemsChoice) {
  // Hebrew sentences are not part of this system (Wine or an English Windows).
  const LANGID hebrew = MAKELANGID(LANG_HEBREW, SUBLANG_DEFAULT);
  DWORD error = 0;
  if (!RawSystemMessage(ERROR_ACCESS_DENIED, hebrew, error).empty()) {
    GTEST_SKIP() << "this system has Hebrew error sentences";
  }
  ASSERT_EQ(error, static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
  EXPECT_EQ(ov::SystemErrorText(ERROR_ACCESS_DENIED, hebrew), ov::SystemErrorText(ERROR_ACCESS_DENIED, 0));
}

TEST(SystemErrorText, CodesWithoutSentenceAndCustomerCodesReadAsEFail) {
  const std::wstring unspecified = ov::SystemErrorText(e_fail, 0);
  ASSERT_FALSE(unspecified.empty());
  EXPECT_FALSE(EndsWithLineBreak(unspecified));
  DWORD error = 0;
  if (RawSystemMessage(e_fail, 0, error).empty()) {
    EXPECT_EQ(unspecified, L"Error") << "the last fall-back";
  } else {
    EXPECT_NE(unspecified, L"Error");
  }

  const DWORD codes[] = {
      0x0000FFF1,  // no such Windows error
      0x8007FFF1,  // no such HRESULT
      0x20001234,  // customer code
      0xA0000005,  // customer bit set on an access-denied code
      0x20000000,
  };
  for (DWORD code : codes) {
    if (!(code & 0x20000000)) {
      ASSERT_TRUE(RawSystemMessage(code, 0, error).empty()) << std::hex << code << " has a sentence after all";
    }
    EXPECT_EQ(ov::SystemErrorText(code, 0), unspecified) << std::hex << code;
  }
}

TEST(SystemErrorText, ResourceMessagesComeFromTheProgramsStrings) {
  EXPECT_EQ(ov::SystemErrorText(resource_message | 501, 0),
            L"Le disque %1 est plein.\r\nLib\u00E9rez de la place.")
      << "inserts and inner line breaks stay";
  // The language argument is for system sentences only.
  EXPECT_EQ(ov::SystemErrorText(resource_message | 501, 0x0409), ov::SystemErrorText(resource_message | 501, 0));
  // Bits between the low word and the flags do not matter.
  EXPECT_EQ(ov::SystemErrorText(0xE8FF0000u | 501, 0), ov::SystemErrorText(resource_message | 501, 0));
  const std::wstring unspecified = ov::SystemErrorText(e_fail, 0);
  EXPECT_EQ(ov::SystemErrorText(resource_message | 502, 0), unspecified) << "empty string";
  EXPECT_EQ(ov::SystemErrorText(resource_message | 503, 0), unspecified) << "no string";
}

TEST(MessageBoxDecisions, TypeFlagsGetTheDefaultIconAndReadingOrder) {
  struct Case {
    UINT type;
    bool rtl;
    UINT expected;
  };
  const Case cases[] = {
      {MB_OK, false, 0x30},
      {MB_OKCANCEL, false, 0x31},
      {MB_ABORTRETRYIGNORE, false, 0x02},
      {MB_YESNOCANCEL, false, 0x23},
      {MB_YESNO, false, 0x24},
      {MB_RETRYCANCEL, false, 0x05},
      {MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, false, 0x124},
      {MB_OK | MB_ICONINFORMATION, false, 0x40},
      {MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND, false, 0x12010},
      {MB_OK, true, 0x100030},
      {MB_RETRYCANCEL, true, 0x100005},
      {MB_YESNO | MB_RTLREADING, false, 0x100024},  // kept when the caller asks for it
  };
  for (const Case& c : cases) EXPECT_EQ(ov::MessageBoxTypeFor(c.type, c.rtl), c.expected) << std::hex << c.type;
}

struct WindowDeleter {
  void operator()(HWND__* hWnd) const {
    if (::IsWindow(hWnd)) ::DestroyWindow(hWnd);
  }
};
using Window = std::unique_ptr<HWND__, WindowDeleter>;

HWND MakeWindow(DWORD style, DWORD exStyle = 0, HWND owner = nullptr, const wchar_t* title = L"w") {
  HWND hWnd = ::CreateWindowExW(exStyle, L"STATIC", title, style, 10, 10, 300, 200, owner, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  EXPECT_NE(hWnd, nullptr) << "CreateWindowExW failed, error " << ::GetLastError();
  return hWnd;
}

TEST(MessageBoxDecisions, ReadingOrderFromTheOwnersLayoutElseTheLanguage) {
  Window rtl(MakeWindow(WS_OVERLAPPEDWINDOW, WS_EX_LAYOUTRTL));
  Window ltr(MakeWindow(WS_OVERLAPPEDWINDOW));
  struct Case {
    HWND owner;
    bool languageRtl;
    bool expected;
  };
  const Case cases[] = {
      {rtl.get(), false, true}, {rtl.get(), true, true},   {ltr.get(), true, false},
      {ltr.get(), false, false}, {nullptr, true, true},     {nullptr, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ov::MessageBoxReadsRightToLeft(c.owner, c.languageRtl), c.expected)
        << (c.owner == rtl.get() ? "rtl owner" : c.owner ? "ltr owner" : "no owner") << " " << c.languageRtl;
  }
}

TEST(MessageBoxDecisions, TextsAndCaptions) {
  EXPECT_EQ(ov::MessageBoxText(L"Plain"), L"Plain");
  EXPECT_EQ(ov::MessageBoxText(MAKEINTRESOURCEW(501)), L"Le disque %1 est plein.\r\nLib\u00E9rez de la place.");
  EXPECT_EQ(ov::MessageBoxText(nullptr), L"");
  EXPECT_EQ(ov::MessageBoxText(MAKEINTRESOURCEW(503)), L"");

  ASSERT_EQ(AfxGetApp(), nullptr);
  // No application object: the program's display name (no version resource here: its file name).
  const std::wstring programName = ov::GetApplicationDisplayName();
  EXPECT_EQ(programName, L"support_errors_tests");
  {
    CWinApp app(L"Installer \u2013 Vestrilo 1.22");
    struct Case {
      const wchar_t* caption;
      const wchar_t* expected;
    };
    const Case cases[] = {
        {L"Own caption", L"Own caption"},
        {MAKEINTRESOURCEW(500), L"L\u00E9gende d'essai"},
        {nullptr, L"Installer \u2013 Vestrilo 1.22"},
        {L"", L"Installer \u2013 Vestrilo 1.22"},
        {MAKEINTRESOURCEW(502), L"Installer \u2013 Vestrilo 1.22"},  // empty string resource
    };
    for (const Case& c : cases) EXPECT_EQ(ov::MessageBoxCaption(c.caption), c.expected);
    app.SetAppName(nullptr);
    EXPECT_EQ(ov::MessageBoxCaption(nullptr), programName);
  }
}

// Runs `body` on a new thread, with a message queue of its own (so nothing active or enumerated
// leaks between cases).
template <typename Body>
void OnFreshThread(Body body) {
  std::thread thread(body);
  thread.join();
}

TEST(FindOwnerWindow, RootOwnerOfTheActiveOrFirstCaptionedWindow) {
  OnFreshThread([] { EXPECT_EQ(ov::FindOwnerWindow(), nullptr) << "a thread without windows"; });
  OnFreshThread([] {
    Window bare(MakeWindow(WS_POPUP));
    EXPECT_EQ(ov::FindOwnerWindow(), nullptr) << "no window with a title bar";
  });
  OnFreshThread([] {
    // Border without dialog frame is not a title bar: both caption bits are needed.
    Window border(MakeWindow(WS_POPUP | WS_BORDER));
    EXPECT_EQ(ov::FindOwnerWindow(), nullptr);
  });
  OnFreshThread([] {
    Window frame(MakeWindow(WS_OVERLAPPEDWINDOW));
    Window tool(MakeWindow(WS_POPUP, 0, frame.get()));  // captionless, owned by the frame
    ASSERT_EQ(::GetActiveWindow(), nullptr);
    EXPECT_EQ(ov::FindOwnerWindow(), frame.get()) << "the captioned root owner, found by enumeration";
  });
  OnFreshThread([] {
    Window frame(MakeWindow(WS_OVERLAPPEDWINDOW));
    Window dialog(MakeWindow(WS_POPUP | WS_CAPTION, 0, frame.get()));
    Window other(MakeWindow(WS_OVERLAPPEDWINDOW));
    ::SetActiveWindow(dialog.get());
    ASSERT_EQ(::GetActiveWindow(), dialog.get());
    // Root owner of the active window, then its last active pop-up: the dialog itself.
    EXPECT_EQ(ov::FindOwnerWindow(), dialog.get());
    ::SetActiveWindow(other.get());
    EXPECT_EQ(ov::FindOwnerWindow(), other.get());
  });
}

// What a second thread saw of a message box on the display.
struct SeenBox {
  bool found = false;
  std::wstring caption;
  std::wstring text;
  HICON icon = nullptr;
  bool iconVisible = false;
  int iconId = 0;
  HWND owner = nullptr;
  DWORD exStyle = 0;
  DWORD textExStyle = 0;
  bool mainEnabled = true;
  bool modelessEnabled = true;
};

// The message box (dialog class "#32770") among the top-level windows of `thread`.
HWND FindBoxOf(DWORD thread) {
  HWND box = nullptr;
  ::EnumThreadWindows(
      thread,
      [](HWND hWnd, LPARAM param) -> BOOL CALLBACK {
        wchar_t name[16] = {};
        if (::GetClassNameW(hWnd, name, 16) && std::wstring(name) == L"#32770" && ::IsWindowVisible(hWnd)) {
          *reinterpret_cast<HWND*>(param) = hWnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  return box;
}

// The icon control of a message box: id 0x14 on Windows; Wine gives it another id, so any
// static with the icon style will do.
HWND IconStaticOf(HWND box) {
  if (HWND icon = ::GetDlgItem(box, 0x14)) return icon;
  HWND found = nullptr;
  ::EnumChildWindows(
      box,
      [](HWND hWnd, LPARAM param) -> BOOL CALLBACK {
        wchar_t name[16] = {};
        if (::GetClassNameW(hWnd, name, 16) && ::lstrcmpiW(name, L"Static") == 0 &&
            (::GetWindowLongW(hWnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          *reinterpret_cast<HWND*>(param) = hWnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Watches `thread` for its message box, records what it shows and the state of the given
// windows, and answers it with `button`. Gives up after a minute (then the box stays and the
// test fails on its result).
std::thread Answer(DWORD thread, int button, SeenBox& seen, HWND mainWindow = nullptr, HWND modeless = nullptr) {
  return std::thread([=, &seen] {
    HWND box = nullptr;
    for (int attempt = 0; attempt < 3000 && !box; ++attempt) {
      box = FindBoxOf(thread);
      if (!box) ::Sleep(20);
    }
    if (!box) return;
    seen.found = true;
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(box, buffer, 1024);
    seen.caption = buffer;
    buffer[0] = 0;
    ::GetDlgItemTextW(box, 0xFFFF, buffer, 1024);
    seen.text = buffer;
    HWND iconStatic = IconStaticOf(box);
    seen.iconId = iconStatic ? ::GetDlgCtrlID(iconStatic) : 0;
    seen.icon = iconStatic ? reinterpret_cast<HICON>(::SendMessageW(iconStatic, STM_GETICON, 0, 0)) : nullptr;
    seen.iconVisible = iconStatic && ::IsWindowVisible(iconStatic);
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.exStyle = static_cast<DWORD>(::GetWindowLongW(box, GWL_EXSTYLE));
    if (HWND textStatic = ::GetDlgItem(box, 0xFFFF)) {
      seen.textExStyle = static_cast<DWORD>(::GetWindowLongW(textStatic, GWL_EXSTYLE));
    }
    if (mainWindow) seen.mainEnabled = ::IsWindowEnabled(mainWindow);
    if (modeless) seen.modelessEnabled = ::IsWindowEnabled(modeless);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  });
}

struct LanguageGuard {
  int saved = ov::GetLanguage();
  ~LanguageGuard() { ov::SetLanguage(saved); }
};

TEST(ShowMessageBox, RealBoxesShowTheChosenIconTextAndCaption) {
  CWinApp app(L"Installer \u2013 Vestrilo 1.22");
  const HICON question = ::LoadIconW(nullptr, IDI_QUESTION);
  const HICON exclamation = ::LoadIconW(nullptr, IDI_EXCLAMATION);
  const HICON information = ::LoadIconW(nullptr, IDI_INFORMATION);
  struct Case {
    const wchar_t* text;
    const wchar_t* caption;
    UINT type;
    int button;
    const wchar_t* expectedText;
    const wchar_t* expectedCaption;
    HICON expectedIcon;  // null: no icon shown
  };
  const Case cases[] = {
      {L"Installation is not complete.", nullptr, MB_YESNO, IDNO, L"Installation is not complete.",
       L"Installer \u2013 Vestrilo 1.22", question},
      {MAKEINTRESOURCEW(501), MAKEINTRESOURCEW(500), MB_OK, IDOK,
       L"Le disque %1 est plein.\r\nLib\u00E9rez de la place.", L"L\u00E9gende d'essai", exclamation},
      {L"Close it first.", L"", MB_RETRYCANCEL, IDRETRY, L"Close it first.", L"Installer \u2013 Vestrilo 1.22",
       nullptr},
      {L"Done.", L"Own", MB_OK | MB_ICONINFORMATION, IDOK, L"Done.", L"Own", information},
  };
  for (const Case& c : cases) {
    SeenBox seen;
    std::thread watcher = Answer(::GetCurrentThreadId(), c.button, seen);
    const int result = ov::ShowMessageBox(c.text, c.caption, c.type);
    watcher.join();
    ASSERT_TRUE(seen.found) << "no message box appeared for " << c.expectedText;
    EXPECT_EQ(result, c.button);
    EXPECT_EQ(seen.text, c.expectedText);
    EXPECT_EQ(seen.caption, c.expectedCaption);
    if (c.expectedIcon) {
      EXPECT_EQ(seen.icon, c.expectedIcon) << c.expectedText;
      EXPECT_TRUE(seen.iconVisible);
    } else {
      EXPECT_TRUE(seen.icon == nullptr || !seen.iconVisible) << "an icon is shown for " << c.expectedText;
    }
    EXPECT_EQ(seen.owner, nullptr) << "no main window, no owner";
  }
}

TEST(ShowMessageBox, OwnedByTheMainWindowWhileTheRestOfTheApplicationWaits) {
  CWinApp app(L"Installer \u2013 Vestrilo 1.22");
  CWnd frame;
  frame.Attach(MakeWindow(WS_OVERLAPPEDWINDOW, 0, nullptr, L"Frame"));
  app.m_pMainWnd = &frame;
  Window palette(MakeWindow(WS_OVERLAPPEDWINDOW, 0, nullptr, L"Palette"));
  app.AddModelessWindow(palette.get());

  SeenBox seen;
  std::thread watcher = Answer(::GetCurrentThreadId(), IDOK, seen, frame.m_hWnd, palette.get());
  ov::ShowErrorBox(ERROR_ACCESS_DENIED);
  watcher.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, ov::SystemErrorText(ERROR_ACCESS_DENIED, 0));
  EXPECT_EQ(seen.caption, L"Installer \u2013 Vestrilo 1.22");
  EXPECT_EQ(seen.icon, ::LoadIconW(nullptr, IDI_EXCLAMATION));
  EXPECT_EQ(seen.owner, frame.m_hWnd);
  EXPECT_FALSE(seen.mainEnabled) << "the owner takes no input while its box is up";
  EXPECT_FALSE(seen.modelessEnabled) << "modeless windows take no input while the box is up";
  EXPECT_TRUE(::IsWindowEnabled(frame.m_hWnd));
  EXPECT_TRUE(::IsWindowEnabled(palette.get()));
  EXPECT_EQ(app.ModelessDisableDepth(), 0);
}

TEST(ShowMessageBox, HebrewInterfaceWithoutOwnerReadsRightToLeft) {
  LanguageGuard guard;
  ov::SetLanguage(ov::LanguageHebrew);
  if (!ov::IsRightToLeft(ov::LanguageHebrew)) GTEST_SKIP() << "the system does not report Hebrew as right to left";
  SeenBox seen;
  std::thread watcher = Answer(::GetCurrentThreadId(), IDOK, seen);
  ov::ShowMessageBox(L"\u05E9\u05DC\u05D5\u05DD", L"Caption", MB_OK);
  watcher.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, L"\u05E9\u05DC\u05D5\u05DD");
  const bool rtl = (seen.exStyle & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) ||
                   (seen.textExStyle & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL));
  if (!rtl) GTEST_SKIP() << "Wine shows MB_RTLREADING boxes without a right-to-left style";
  EXPECT_TRUE(rtl);
}

}  // namespace
