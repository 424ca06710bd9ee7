#include "support/language.hpp"

#include "framework/strings.hpp"
#include "framework/msgbox.hpp"
#include "framework/winapp.hpp"
#include "framework/wnd.hpp"
#include "support/identity.hpp"

#include <clocale>
#include <locale>
#include <stdexcept>

namespace ov {
namespace {

struct LanguageEntry {
    LANGID language_id;
    UINT block_base;  // the blocks were added in this order, so the bases do not follow the index
    bool translated;  // false: the interface runs in English
    UINT flag_icon;
};

constexpr LanguageEntry language_table[LanguageCount] = {
    {0x040C, 1000, true, 144},   // 0 French
    {0x0409, 2000, true, 145},   // 1 English
    {0x0407, 3000, true, 141},   // 2 German
    {0x0C0A, 4000, true, 143},   // 3 Spanish (modern sort)
    {0x0816, 5000, true, 148},   // 4 Portuguese (Portugal)
    {0x0413, 7000, false, 147},  // 5 Dutch
    {0x0406, 8000, false, 142},  // 6 Danish
    {0x041F, 9000, true, 149},   // 7 Turkish
    {0x0402, 11000, false, 150}, // 8 Bulgarian
    {0x0418, 12000, true, 151},  // 9 Romanian
    {0x0804, 10000, false, 152}, // 10 Chinese (Simplified)
    {0x0410, 6000, true, 146},   // 11 Italian
    {0x0405, 13000, false, 153}, // 12 Czech
    {0x0414, 14000, false, 154}, // 13 Norwegian (Bokmal)
    {0x0408, 15000, false, 155}, // 14 Greek
    {0x0415, 16000, false, 156}, // 15 Polish
    {0x040D, 17000, false, 157}, // 16 Hebrew
    {0x042A, 18000, false, 158}, // 17 Vietnamese
};

const LanguageEntry& Entry(int index) {
    // Callers only pass 0-17; anything else is treated as French rather than read out of bounds.
    if (index < 0 || index >= LanguageCount) return language_table[LanguageFrench];
    return language_table[index];
}

HMODULE ProgramModule() {
    static const HMODULE module = ::GetModuleHandleW(nullptr);
    return module;
}

// Windows 6.0 or later knows locale names such as "de-DE"; earlier systems only their two parts.
bool HasLocaleNames() {
    static const bool answer = [] {
        OSVERSIONINFOEXW version{};
        version.dwOSVersionInfoSize = sizeof(version);
        version.dwMajorVersion = 6;
        version.dwMinorVersion = 0;
        DWORDLONG condition = 0;
        condition = ::VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
        condition = ::VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
        return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, condition) != FALSE;
    }();
    return answer;
}

std::wstring LocaleInfo(LCID lcid, LCTYPE type) {
    wchar_t buffer[128] = {};
    int length = ::GetLocaleInfoW(lcid, type, buffer, 128);
    if (length <= 0) throw std::runtime_error("GetLocaleInfo() failed");
    return std::wstring(buffer, static_cast<size_t>(length - 1));
}

// The runtime library's name of language `index`'s locale; empty for the user's own language.
// Throws std::runtime_error when the system cannot describe the locale.
std::string RuntimeLocaleName(int index) {
    LCID lcid = LocaleIdOf(index);
    if (PRIMARYLANGID(::GetUserDefaultLangID()) == PRIMARYLANGID(LANGIDFROMLCID(lcid))) return {};
    std::wstring name;
    if (HasLocaleNames()) {
        name = LocaleInfo(lcid, LOCALE_SNAME);
    } else {
        name = LocaleInfo(lcid, LOCALE_SISO639LANGNAME) + L"-" + LocaleInfo(lcid, LOCALE_SISO3166CTRYNAME);
    }
    // Locale names are plain ASCII.
    std::string narrow;
    for (wchar_t c : name) narrow += static_cast<char>(c);
    return narrow;
}

// The standard library's locale for `name`, else the user's default one, else none.
bool MakeStdLocale(const char* name, std::locale& result) {
    try {
        result = std::locale(name);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

// Collation, character classification and time formats of the runtime library follow
// language `index` (the other categories stay as they are).
void ApplyRuntimeLocales(int index) {
    std::string name;
    bool named = true;
    try {
        name = RuntimeLocaleName(index);
    } catch (const std::runtime_error&) {
        named = false;
    }

    std::locale source;
    bool haveSource = named && MakeStdLocale(name.c_str(), source);
    // The runtime may know no named locale at all (not even the user's): the global locale then
    // stays as it is rather than letting the error escape.
    if (!haveSource) haveSource = MakeStdLocale("", source);
    if (haveSource) {
        std::locale::global(std::locale(std::locale(), source,
                                        std::locale::collate | std::locale::ctype | std::locale::time));
    }

    std::setlocale(LC_ALL, "C");
    if (named) {
        // A name the runtime refuses leaves these categories at "C".
        std::setlocale(LC_CTYPE, name.c_str());
        std::setlocale(LC_COLLATE, name.c_str());
    }
}

LanguageSettings& CreateSettings() {
    static LanguageSettings settings;
    settings.eligible_mask = 1;
    settings.current_index = LanguageFrench;
    settings.locale_id = LocaleIdOf(LanguageFrench);
    settings.resource_module = nullptr;
    // One process-wide runtime locale: a language change affects every thread alike.
    _configthreadlocale(_DISABLE_PER_THREAD_LOCALE);
    ApplyRuntimeLocales(LanguageFrench);
    ::SetThreadLocale(LocaleIdOf(LanguageFrench));
    return settings;
}

}  // namespace

LanguageSettings& GetLanguageSettings() {
    static LanguageSettings& settings = CreateSettings();
    return settings;
}

void SetLanguage(int index) {
    LanguageSettings& settings = GetLanguageSettings();
    if (index != settings.current_index) ApplyRuntimeLocales(index);
    settings.current_index = index;
    settings.locale_id = LocaleIdOf(index);
    SetResourceModule(nullptr);
}

int GetLanguage() { return GetLanguageSettings().current_index; }

LANGID GetLanguageId() { return LANGIDFROMLCID(GetLanguageSettings().locale_id); }

HMODULE GetResourceModule() {
    HMODULE module = GetLanguageSettings().resource_module;
    return module ? module : ProgramModule();
}

void SetResourceModule(HMODULE module) {
    GetLanguageSettings().resource_module = module;
    // The framework's string loading reads the same module.
    AfxSetResourceHandle(module);
}

int LanguageFromUser(std::uint32_t mask) {
    if (mask == 0) mask = GetLanguageSettings().eligible_mask;
    const int fallback = (mask & (1u << LanguageEnglish)) ? LanguageEnglish : LanguageFrench;

    const LANGID user = ::GetUserDefaultLangID();
    const WORD primary = PRIMARYLANGID(user);
    if (primary == LANG_CHINESE) {
        // Only the simplified script (China, Singapore) counts as the Chinese of the table.
        const WORD sub = SUBLANGID(user);
        if (sub != SUBLANG_CHINESE_SIMPLIFIED && sub != SUBLANG_CHINESE_SINGAPORE) return fallback;
    }
    for (int index = 0; index < LanguageCount; ++index) {
        if (PRIMARYLANGID(language_table[index].language_id) != primary) continue;
        return (mask & (1u << index)) ? index : fallback;
    }
    return fallback;
}

LANGID LanguageIdOf(int index) { return Entry(index).language_id; }

UINT BlockBaseOf(int index) { return Entry(index).block_base; }

UINT FlagIconOf(int index) { return Entry(index).flag_icon; }

LCID LocaleIdOf(int index) {
    const LANGID language = LanguageIdOf(index);
    const LCID user = ::GetUserDefaultLCID();
    if (LANGIDFROMLCID(user) == language) return user;  // keeps the user's sort order
    return MAKELCID(language, SORT_DEFAULT);
}

bool HasInterfaceTranslation(int index) { return Entry(index).translated; }

bool IsRightToLeft(int index) {
    LOCALESIGNATURE signature{};
    const int answered = ::GetLocaleInfoW(LanguageIdOf(index), LOCALE_FONTSIGNATURE,
                                          reinterpret_cast<LPWSTR>(&signature),
                                          sizeof(signature) / sizeof(wchar_t));
    if (answered > 0) return (signature.lsUsb[3] >> 27) & 1u;  // Unicode subset 123: right-to-left layout
    return index == LanguageHebrew;
}

bool IsLeftToRight() { return !IsRightToLeft(GetLanguage()); }

std::wstring NativeLanguageName(int index) {
    const LCID lcid = LocaleIdOf(index);
    int size = ::GetLocaleInfoW(lcid, LOCALE_SNATIVELANGNAME, nullptr, 0);
    if (size <= 0) return {};
    std::wstring name(static_cast<size_t>(size), L'\0');
    size = ::GetLocaleInfoW(lcid, LOCALE_SNATIVELANGNAME, name.data(), size);
    if (size <= 0) return {};
    name.resize(static_cast<size_t>(size - 1));
    if (!name.empty()) {
        wchar_t* first = name.data();
        const DWORD length = static_cast<DWORD>(::CharNextW(first) - first);
        ::CharUpperBuffW(first, length);
    }
    return name;
}

UINT TextId(UINT base_id) {
    int language = GetLanguage();
    if (!HasInterfaceTranslation(language)) language = LanguageEnglish;
    const UINT candidate = base_id + (BlockBaseOf(language) - BlockBaseOf(LanguageFrench));
    // French is the last fall-back: its texts are taken as they are.
    if (language == LanguageFrench) return candidate;
    if (AfxLoadString(candidate) != L"#") return candidate;
    if (language == LanguageEnglish) return base_id;
    const UINT english = base_id + (BlockBaseOf(LanguageEnglish) - BlockBaseOf(LanguageFrench));
    if (AfxLoadString(english) != L"#") return english;
    return base_id;
}

std::wstring LoadText(UINT base_id) { return AfxLoadString(TextId(base_id)); }

std::wstring LoadText(UINT base_id, std::initializer_list<std::wstring_view> inserts) {
    return FormatText(LoadText(base_id), inserts);
}

std::wstring FormatText(std::wstring_view pattern, std::initializer_list<std::wstring_view> inserts) {
    std::wstring result;
    result.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c != L'%' || i + 1 == pattern.size()) {
            result += c;
            continue;
        }
        const wchar_t next = pattern[i + 1];
        if (next == L'%') {
            result += L'%';
            ++i;
        } else if (next >= L'1' && next <= L'9' && static_cast<size_t>(next - L'1') < inserts.size()) {
            result += *(inserts.begin() + (next - L'1'));
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

namespace {

// Entry `id` of the string-table blocks of `module`; false when the block or the entry is missing.
bool FindStringEntry(HMODULE module, UINT id, std::wstring& text) {
    const WORD number = static_cast<WORD>(id & 0xFFFF);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(number / 16 + 1), RT_STRING);
    if (!resource) return false;
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (!loaded) return false;
    const auto* block = static_cast<const wchar_t*>(::LockResource(loaded));
    const size_t size = ::SizeofResource(module, resource) / sizeof(wchar_t);
    if (!block) return false;
    // A block holds 16 entries, each a length followed by that many UTF-16 units.
    size_t position = 0;
    for (unsigned skip = number % 16; skip > 0; --skip) {
        if (position >= size) return false;
        position += 1 + static_cast<size_t>(block[position]);
    }
    if (position >= size) return false;
    const size_t length = block[position];
    if (length > size - position - 1) return false;  // an entry cut off by the end of the block
    text.assign(block + position + 1, length);
    return true;
}

}  // namespace

std::wstring LoadResourceString(UINT id) {
    std::wstring text;
    const HMODULE module = GetResourceModule();
    if (FindStringEntry(module, id, text)) return text;
    if (module != ProgramModule() && FindStringEntry(ProgramModule(), id, text)) return text;
    return {};
}

void ApplyLanguageChoice(int index) {
    SetLanguage(index);
    if (!HasInterfaceTranslation(index)) {
        // The interface of this language is not translated yet: say so (in English) and run in English.
        const std::wstring notice = LoadText(TextBaseId + 129, {GetProductText(true)});
        AfxMessageBox(notice.c_str(), MB_ICONINFORMATION);
        SetLanguage(LanguageEnglish);
    }
    if (CWinApp* app = AfxGetApp()) app->SetAppName(GetApplicationTitle(true).c_str());
    if (CWnd* frame = AfxGetMainWnd()) {
        if (HWND window = frame->GetSafeHwnd())
            ::SendMessageW(window, WM_OV_RETEXTALL, static_cast<WPARAM>(GetLanguage()), 0);
    }
}

}  // namespace ov
