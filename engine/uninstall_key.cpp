// The Uninstall registry entry, its snapshot before it is overwritten, and its undo.
#include "engine/uninstall_key.hpp"

#include "support/identity.hpp"
#include "support/language.hpp"
#include "support/security.hpp"

#include <shlwapi.h>

namespace ov {
namespace {

std::wstring OwnVersionText()
{
    std::wstring text;
    for (std::uint16_t part : version_parts) {
        if (!text.empty())
            text += L'.';
        text += std::to_wstring(part);
    }
    return text;
}

RegistryValue Text(const wchar_t* name, std::wstring text)
{
    return RegistryValue{name, REG_SZ, std::move(text), 0};
}

RegistryValue Number(const wchar_t* name, DWORD number)
{
    return RegistryValue{name, REG_DWORD, {}, number};
}

void DeleteHiveFile(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

} // namespace

UninstallEntry ProductUninstallEntry(const std::wstring& program_path, const std::wstring& uninstaller_path)
{
    UninstallEntry entry;
    entry.key_name = GetUninstallKeyName();
    entry.display_name = GetProductText(false);
    entry.uninstaller_path = uninstaller_path;
    entry.program_path = program_path;
    entry.display_version = OwnVersionText();
    entry.publisher = maker_folder;
    // The next setup run reads this number back as a language index (0-3 preselect the
    // interface language).
    entry.language = static_cast<DWORD>(GetLanguage());
    return entry;
}

std::vector<RegistryValue> UninstallValues(const UninstallEntry& entry)
{
    return {
        Text(L"DisplayName", entry.display_name),
        Text(L"UninstallString", entry.uninstaller_path),
        Text(L"DisplayIcon", entry.program_path + L",0"),
        Text(L"DisplayVersion", entry.display_version),
        Text(L"Publisher", entry.publisher),
        Text(L"URLInfoAbout", MakerWebSite),
        Text(L"HelpLink", MakerWebSite),
        Text(L"URLUpdateInfo", MakerWebSite),
        Text(L"HelpTelephone", MakerTelephone),
        Number(L"NoModify", 1),
        Number(L"NoRepair", 1),
        Number(LanguageValueName, entry.language),
    };
}

LONG SetRegistryValue(HKEY key, const RegistryValue& value)
{
    if (value.type == REG_DWORD) {
        return RegSetValueExW(key, value.name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value.number), sizeof(value.number));
    }
    const DWORD size = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, value.name.c_str(), 0, value.type,
                          reinterpret_cast<const BYTE*>(value.text.c_str()), size);
}

bool WriteUninstallValues(HKEY key, const UninstallEntry& entry, const RegistryValueWriter& writer)
{
    bool name_written = false;
    bool uninstaller_written = false;
    for (const RegistryValue& value : UninstallValues(entry)) {
        const bool written = writer(key, value) == ERROR_SUCCESS;
        if (value.name == L"DisplayName")
            name_written = written;
        else if (value.name == L"UninstallString")
            uninstaller_written = written;
    }
    return name_written && uninstaller_written;
}

bool WriteUninstallEntry(InstallJournal& journal, const UninstallEntry& entry)
{
    // An empty name would open the Uninstall key itself, and undoing that would touch every
    // installed program's entry.
    if (entry.key_name.empty())
        return false;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, KEY_ALL_ACCESS, &uninstall) != ERROR_SUCCESS)
        return false;
    HKEY subkey = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(uninstall, entry.key_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &subkey,
                        &disposition) != ERROR_SUCCESS) {
        RegCloseKey(uninstall);
        return false;
    }
    journal.BeginUninstallKey(disposition == REG_OPENED_EXISTING_KEY ? subkey : nullptr, entry.key_name);
    const bool ok = WriteUninstallValues(subkey, entry);
    RegCloseKey(subkey);
    journal.Complete(ok);
    RegCloseKey(uninstall);
    return ok;
}

void InstallJournal::BeginUninstallKey(HKEY existing_subkey, const std::wstring& key_name)
{
    pending = true;
    JournalEntry& entry = current_entries.emplace_back();
    entry.kind = JournalEntryKind::UninstallKey;
    entry.key_name = key_name;
    if (!existing_subkey)
        return; // a new key: undoing it means deleting it
    entry.existed_before = true;
    const std::wstring hive = MakeBackup(nullptr, BackupMode::Move);
    if (hive.empty())
        return;
    EnablePrivilege(L"SeBackupPrivilege", true);
    if (RegSaveKeyW(existing_subkey, hive.c_str(), nullptr) == ERROR_SUCCESS)
        entry.backup = hive;
    else
        DeleteHiveFile(hive);
    EnablePrivilege(L"SeBackupPrivilege", false);
}

void UndoUninstallKey(const JournalEntry& entry)
{
    if (entry.key_name.empty())
        return; // see WriteUninstallEntry: never the Uninstall key itself
    EnablePrivilege(L"SeRestorePrivilege", true);
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, KEY_ALL_ACCESS, &uninstall) == ERROR_SUCCESS) {
        if (!entry.backup.empty()) {
            HKEY subkey = nullptr;
            if (RegOpenKeyExW(uninstall, entry.key_name.c_str(), 0, KEY_ALL_ACCESS, &subkey) == ERROR_SUCCESS) {
                RegRestoreKeyW(subkey, entry.backup.c_str(), 0);
                RegCloseKey(subkey);
            }
            DeleteHiveFile(entry.backup);
        } else if (!entry.existed_before) {
            SHDeleteKeyW(uninstall, entry.key_name.c_str());
        }
        // An existing key that could not be saved is left as it is: deleting it would lose
        // the earlier installation's registration for good.
        RegCloseKey(uninstall);
    }
    EnablePrivilege(L"SeRestorePrivilege", false);
}

} // namespace ov
