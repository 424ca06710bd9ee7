#include "support/errors.hpp"

#include "framework/msgbox.hpp"
#include "framework/winapp.hpp"
#include "support/identity.hpp"
#include "support/language.hpp"

namespace ov {

namespace {

constexpr DWORD customer_bit = 0x20000000;
constexpr DWORD resource_message_bit = 0x08000000;
constexpr DWORD e_fail = 0x80004005;
constexpr DWORD format_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The system's sentence for `code` in `languageId`, without trailing line breaks; false when
// the system has none.
bool SystemMessage(DWORD code, LANGID languageId, std::wstring& text) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(format_flags, nullptr, code, languageId, reinterpret_cast<LPWSTR>(&buffer), 0,
                                  nullptr);
  if (length == 0 && ::GetLastError() == ERROR_RESOURCE_LANG_NOT_FOUND && languageId != 0) {
    if (buffer) ::LocalFree(buffer);
    buffer = nullptr;
    length = ::FormatMessageW(format_flags, nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  }
  if (length == 0 || !buffer) {
    if (buffer) ::LocalFree(buffer);
    return false;
  }
  text.assign(buffer, length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  // A sentence of nothing but line breaks is no sentence: the caller's fall-backs apply.
  return !text.empty();
}

// EnumThreadWindows callback: the root owner of the first window whose root owner has a title bar.
BOOL CALLBACK FindCaptionedRoot(HWND hWnd, LPARAM param) {
  HWND root = ::GetAncestor(hWnd, GA_ROOTOWNER);
  if (root && (::GetWindowLongW(root, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
    *reinterpret_cast<HWND*>(param) = root;
    return FALSE;
  }
  return TRUE;
}

bool IsResourceId(const wchar_t* textOrId) { return textOrId && IS_INTRESOURCE(textOrId); }

UINT ResourceIdOf(const wchar_t* textOrId) {
  return static_cast<UINT>(reinterpret_cast<ULONG_PTR>(textOrId) & 0xFFFF);
}

}  // namespace

std::wstring SystemErrorText(DWORD code, LANGID languageId) {
  if ((code & customer_bit) && (code & resource_message_bit)) {
    std::wstring text = LoadResourceString(code & 0xFFFF);
    if (!text.empty()) return text;
    return SystemErrorText(e_fail, 0);
  }
  if (code & customer_bit) code = e_fail;

  std::wstring text;
  if (SystemMessage(code, languageId, text)) return text;
  // A sentence that cannot be had at all is "Error"; every other code falls back to E_FAIL's.
  if (code == e_fail) return L"Error";
  return SystemErrorText(e_fail, languageId);
}

UINT MessageBoxTypeFor(UINT type, bool rightToLeft) {
  type = AfxAddDefaultIcon(type);
  if (rightToLeft) type |= MB_RTLREADING;
  return type;
}

bool MessageBoxReadsRightToLeft(HWND owner, bool languageIsRightToLeft) {
  if (owner) return (::GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
  return languageIsRightToLeft;
}

std::wstring MessageBoxText(const wchar_t* textOrId) {
  if (!textOrId) return {};
  if (IsResourceId(textOrId)) return LoadResourceString(ResourceIdOf(textOrId));
  return textOrId;
}

std::wstring MessageBoxCaption(const wchar_t* captionOrId) {
  if (IsResourceId(captionOrId)) {
    std::wstring caption = LoadResourceString(ResourceIdOf(captionOrId));
    if (!caption.empty()) return caption;
  } else if (captionOrId && *captionOrId) {
    return captionOrId;
  }
  // GetApplicationDisplayName answers the application's name when it has one.
  return GetApplicationDisplayName();
}

int ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
  // Everything the scope disables it enables again on leaving, also when the box fails.
  CModalBoxScope scope;
  HWND owner = scope.Owner();
  const UINT finalType = MessageBoxTypeFor(type, MessageBoxReadsRightToLeft(owner, IsRightToLeft(GetLanguage())));
  const std::wstring finalText = MessageBoxText(text);
  const std::wstring finalCaption = MessageBoxCaption(caption);
  return ::MessageBoxW(owner, finalText.c_str(), finalCaption.c_str(), finalType);
}

void ShowErrorBox(DWORD code) {
  const std::wstring text = SystemErrorText(code, 0);
  ShowMessageBox(text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
}

HWND FindOwnerWindow() {
  HWND found = nullptr;
  if (HWND active = ::GetActiveWindow()) {
    found = ::GetAncestor(active, GA_ROOTOWNER);
  } else {
    ::EnumThreadWindows(::GetCurrentThreadId(), FindCaptionedRoot, reinterpret_cast<LPARAM>(&found));
  }
  return found ? ::GetLastActivePopup(found) : nullptr;
}

}  // namespace ov
