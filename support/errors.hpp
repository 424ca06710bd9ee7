// Error reporting: the sentence for an error code, the program's message boxes, and the owner
// window of shell dialogs.
#pragma once

#include <windows.h>

#include <string>

namespace ov {

// The sentence for a Windows error number or HRESULT, without trailing line breaks; never empty.
// Codes with the customer bit 0x20000000 and the bit 0x08000000 name a string resource of the
// program (low 16 bits, in the current interface language); other customer codes read as E_FAIL.
// `languageId` 0 lets the system choose the language.
std::wstring SystemErrorText(DWORD code, LANGID languageId = 0);

// The program's message box. `text` and `caption` are each a string, a string resource id
// (MAKEINTRESOURCEW, below 0x10000) or null. Picks the owner (the application's main window
// or its active pop-up), keeps the rest of the application from taking input while the box is
// up, adds the default icon and the right-to-left reading order, and falls back to the
// application's name for the caption. Answers the MessageBoxW result.
int ShowMessageBox(const wchar_t* text, const wchar_t* caption = nullptr, UINT type = MB_OK);

// The box for a failure the program cannot go on after: the system's sentence for `code`.
void ShowErrorBox(DWORD code);

// The window shell calls should be given as parent: the root owner of the thread's active
// window, or of its first top-level window with a title bar; then its last active pop-up.
// Null when the thread has none.
HWND FindOwnerWindow();

// --- The decisions behind ShowMessageBox, usable on their own ---

// The type flags the box is shown with: the default icon when `type` has none, and
// MB_RTLREADING when `rightToLeft`.
UINT MessageBoxTypeFor(UINT type, bool rightToLeft);
// Whether the box reads right to left: from the owner's layout when there is an owner, else
// from the current interface language.
bool MessageBoxReadsRightToLeft(HWND owner, bool languageIsRightToLeft);
// The text of a text-or-id argument: the string, the string resource in the current interface
// language, or empty.
std::wstring MessageBoxText(const wchar_t* textOrId);
// The caption: a non-empty string as it is, a string resource, else the application's name,
// else GetApplicationDisplayName().
std::wstring MessageBoxCaption(const wchar_t* captionOrId);

}  // namespace ov
