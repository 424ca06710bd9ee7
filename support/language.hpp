// The interface language of the setup program and the texts shown in it.
//
// One process-wide record keeps the current language (an index 0-17 into the language table),
// its locale id and the module whose string resources are read. Text N of the interface is the
// string resource at the current language's block base + N; callers name it by its base id
// 1000 + N (the French id), e.g. LoadText(TextBaseId + 121). A text that a language lacks
// holds "#" and is taken from English, then French.
//
// All operations are meant for the user-interface thread; the record itself is created once,
// thread-safely, on first use.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace ov {

// Number of languages the program knows; language indexes run from 0 to LanguageCount - 1.
inline constexpr int LanguageCount = 18;

// Language indexes used by name in the program.
inline constexpr int LanguageFrench = 0;
inline constexpr int LanguageEnglish = 1;
inline constexpr int LanguageGerman = 2;
inline constexpr int LanguageSpanish = 3;
inline constexpr int LanguageHebrew = 16;

// Base id of text 0: text N is asked for as TextBaseId + N (N from 0 to 999).
inline constexpr UINT TextBaseId = 1000;

// Window message sent to the application's main window (the wizard frame) after the
// interface language changed through ApplyLanguageChoice: the frame re-texts itself and
// all its pages (ReTextAll). wParam is the new language index, lParam 0.
inline constexpr UINT WM_OV_RETEXTALL = WM_APP + 0x3A1;

// The process-wide language record.
struct LanguageSettings {
    std::uint32_t eligible_mask = 1;   // languages LanguageFromUser(0) may answer (bit i = index i)
    int current_index = 0;             // the interface language
    LCID locale_id = 0;                // LocaleIdOf(current_index)
    HMODULE resource_module = nullptr; // module whose resources are read; null: the program itself
};

// The record, created (and the runtime locales initialised) on first use.
LanguageSettings& GetLanguageSettings();

// Makes language `index` current: locale id recomputed, resource module reset to the program's
// own; the runtime locales follow when the index changes (setlocale "C" with LC_CTYPE and
// LC_COLLATE of the language; collation, classification and time of std::locale::global,
// left as they are when the standard library knows no such locale).
void SetLanguage(int index);
// The current language index.
int GetLanguage();
// The language part (low 16 bits) of the current locale id.
LANGID GetLanguageId();

// The module whose resources are read: the one set with SetResourceModule since the last
// SetLanguage, else the program's own module.
HMODULE GetResourceModule();
// Reads resources from `module` (null: the program's own) until the next SetLanguage. The
// framework's string loading (AfxSetResourceHandle) is pointed at the same module, so that
// LoadText and LoadResourceString read alike.
void SetResourceModule(HMODULE module);

// The language of the user's locale (GetUserDefaultLangID) when its bit is in `mask`
// (0: the eligible mask), else English when bit 1 is in the mask, else French.
int LanguageFromUser(std::uint32_t mask = 0);

// Table look-ups for language `index` (0-17).
LANGID LanguageIdOf(int index);
UINT BlockBaseOf(int index);   // first string id of the language's block (French 1000, English 2000...)
UINT FlagIconOf(int index);    // icon resource id of the language's flag (141-158)
// The user's LCID when it is of this language (keeps the user's sort order), else the LANGID.
LCID LocaleIdOf(int index);
// False for the languages whose interface is not translated (they run in English).
bool HasInterfaceTranslation(int index);
// Whether the language is written right to left (locale font signature; Hebrew without it).
bool IsRightToLeft(int index);
// Whether the current interface language is written left to right.
bool IsLeftToRight();
// The language's name in the language itself, as the system spells it, first letter upper
// case. Empty when the system has no name for the locale.
std::wstring NativeLanguageName(int index);

// The string id to load for base id `base_id` (1000 + N) in the current language, following
// the fall-backs current language, English, French.
UINT TextId(UINT base_id);
// Text N in the current language, read with the framework's string loading (AfxLoadString);
// empty when no string has that id.
std::wstring LoadText(UINT base_id);
// Text N with its positional inserts %1, %2... replaced by `inserts`.
std::wstring LoadText(UINT base_id, std::initializer_list<std::wstring_view> inserts);
// Replaces %1...%9 in `pattern` by the inserts (a number without an insert stays as written,
// "%%" gives "%"); inserts are not scanned again.
std::wstring FormatText(std::wstring_view pattern, std::initializer_list<std::wstring_view> inserts);
// The raw string-table entry `id` of the resource module (then of the program's own module),
// without any language mapping; empty when there is none.
std::wstring LoadResourceString(UINT id);

// What the start page does when the user picks language `index`: makes it current (an
// untranslated one is announced with text 129 and replaced by English), renews the
// application title and asks the main window, if there is one, to re-text itself
// (WM_OV_RETEXTALL).
void ApplyLanguageChoice(int index);

} // namespace ov
