// The product's entry under the system's Uninstall registry key: the twelve values that list
// the product among the installed programs and tell the next setup run where the uninstaller
// is and which interface language was used. An existing entry is saved to a temporary hive
// file first, so that the journal's rollback can put it back.
#pragma once

#include "engine/journal.hpp"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ov {

// The key under HKEY_LOCAL_MACHINE that holds one subkey per installed program.
inline constexpr wchar_t UninstallKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The value that keeps the interface language of the installation: the language's index in
// the catalogue (GetLanguage), which the next setup run reads back and accepts when it is 0-3.
// It is not a LANGID.
inline constexpr wchar_t LanguageValueName[] = L"OvLanguage";

// The maker's web site (URLInfoAbout, HelpLink, URLUpdateInfo) and telephone (HelpTelephone).
inline constexpr wchar_t MakerWebSite[] = L"https://www.orvane-drey.example/";
inline constexpr wchar_t MakerTelephone[] = L"+33 1 70 36 21 22";

// What the product's entry says.
struct UninstallEntry {
    std::wstring key_name;         // the subkey under the Uninstall key
    std::wstring display_name;     // the product title
    std::wstring uninstaller_path; // "UninstallString", not quoted
    std::wstring program_path;     // "DisplayIcon" is this followed by ",0"
    std::wstring display_version;  // the four-part version, "1.22.0.1"
    std::wstring publisher;        // the maker, "Orvane & Drey"
    DWORD language = 0;            // "OvLanguage": the interface language's index
};

// The product's entry as this installation writes it: the Uninstall key name, the product
// title, the compiled-in version and maker, and the current interface language.
UninstallEntry ProductUninstallEntry(const std::wstring& program_path, const std::wstring& uninstaller_path);

// One registry value of the entry.
struct RegistryValue {
    std::wstring name;
    DWORD type = REG_SZ;
    std::wstring text; // REG_SZ: stored with its terminating zero
    DWORD number = 0;  // REG_DWORD
};

// The twelve values in the order they are written.
std::vector<RegistryValue> UninstallValues(const UninstallEntry& entry);

// Writes one value into an open key; answers the RegSetValueExW result.
using RegistryValueWriter = std::function<LONG(HKEY key, const RegistryValue& value)>;
LONG SetRegistryValue(HKEY key, const RegistryValue& value);

// Writes the twelve values into `key` with `writer`, in order. True when "DisplayName" and
// "UninstallString" were both written; the other results are not looked at.
bool WriteUninstallValues(HKEY key, const UninstallEntry& entry,
                          const RegistryValueWriter& writer = SetRegistryValue);

// Writes the entry under HKEY_LOCAL_MACHINE\<UninstallKeyPath>\<entry.key_name>, recording it
// in the journal as an UninstallKey action (BeginUninstallKey, then Complete with the result).
// The answer (the registry ok flag) is false, with no journal entry, when the Uninstall key
// cannot be opened for writing or the subkey cannot be created or opened; otherwise it is
// the result of WriteUninstallValues. An empty key name is refused the same way.
bool WriteUninstallEntry(InstallJournal& journal, const UninstallEntry& entry);

} // namespace ov
