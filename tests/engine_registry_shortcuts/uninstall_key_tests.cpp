// The Uninstall registry entry against the real registry of the test prefix, read back through
// the registry API and through the system's own tools (reg.exe, the uninstaller's list).
//
// Each test process writes its own subkey (a name with the process id), never the product's,
// so that tests running side by side do not see each other's entries.
#include "engine/uninstall_key.hpp"
#include "engine/uninstall_log.hpp"
#include "support/identity.hpp"
#include "support/language.hpp"
#include "tests/common/run_process.hpp"
#include "tests/common/temp_directory.hpp"
#include "tests/common/tree_snapshot.hpp"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <vector>

using namespace ov;

namespace {

const std::wstring ProgramPath = L"C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Vestrilo.exe";
const std::wstring UninstallerPath = L"C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Uninstall.exe";

std::wstring TestKeyName(const wchar_t* tag)
{
    return std::wstring(L"OvTest ") + tag + L" " + std::to_wstring(GetCurrentProcessId());
}

std::wstring FullKeyPath(const std::wstring& name)
{
    return std::wstring(UninstallKeyPath) + L"\\" + name;
}

// Deletes the test's subkey at the start and at the end of a test.
class TestKey {
public:
    explicit TestKey(const wchar_t* tag) : name_(TestKeyName(tag)) { Remove(); }
    ~TestKey() { Remove(); }
    const std::wstring& name() const { return name_; }
    std::wstring path() const { return FullKeyPath(name_); }

private:
    void Remove() { SHDeleteKeyW(HKEY_LOCAL_MACHINE, path().c_str()); }
    std::wstring name_;
};

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The values of a key as the registry enumerates them.
std::vector<std::pair<std::wstring, StoredValue>> ReadValues(const std::wstring& path)
{
    std::vector<std::pair<std::wstring, StoredValue>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_length = 256;
        BYTE data[4096];
        DWORD size = sizeof data;
        StoredValue value;
        if (RegEnumValueW(key, index, name, &name_length, nullptr, &value.type, data, &size) != ERROR_SUCCESS)
            break;
        value.data.assign(data, data + size);
        values.emplace_back(name, value);
    }
    RegCloseKey(key);
    return values;
}

std::optional<std::wstring> ReadText(const std::wstring& path, const wchar_t* name)
{
    wchar_t text[1024];
    DWORD size = sizeof text;
    DWORD type = 0;
    if (SHGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, &type, text, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return std::wstring(text);
}

std::vector<BYTE> TextData(const std::wstring& text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

std::vector<BYTE> NumberData(DWORD number)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    return std::vector<BYTE>(bytes, bytes + sizeof number);
}

UninstallEntry TestEntry(const std::wstring& key_name)
{
    UninstallEntry entry;
    entry.key_name = key_name;
    entry.display_name = L"Vestrilo 1.22";
    entry.uninstaller_path = UninstallerPath;
    entry.program_path = ProgramPath;
    entry.display_version = L"1.22.0.1";
    entry.publisher = L"Orvane & Drey";
    entry.language = 2;
    return entry;
}

// The entry as the installation must leave it, in writing order.
std::vector<std::pair<std::wstring, StoredValue>> ExpectedValues(const UninstallEntry& e)
{
    return {
        {L"DisplayName", {REG_SZ, TextData(e.display_name)}},
        {L"UninstallString", {REG_SZ, TextData(e.uninstaller_path)}},
        {L"DisplayIcon", {REG_SZ, TextData(e.program_path + L",0")}},
        {L"DisplayVersion", {REG_SZ, TextData(e.display_version)}},
        {L"Publisher", {REG_SZ, TextData(e.publisher)}},
        {L"URLInfoAbout", {REG_SZ, TextData(MakerWebSite)}},
        {L"HelpLink", {REG_SZ, TextData(MakerWebSite)}},
        {L"URLUpdateInfo", {REG_SZ, TextData(MakerWebSite)}},
        {L"HelpTelephone", {REG_SZ, TextData(MakerTelephone)}},
        {L"NoModify", {REG_DWORD, NumberData(1)}},
        {L"NoRepair", {REG_DWORD, NumberData(1)}},
        {L"OvLanguage", {REG_DWORD, NumberData(e.language)}},
    };
}

std::string Describe(const std::vector<std::pair<std::wstring, StoredValue>>& values)
{
    std::string text;
    for (const auto& [name, value] : values)
        text += ovtest::Narrow(name) + " type " + std::to_string(value.type) + " size " +
                std::to_string(value.data.size()) + "\n";
    return text;
}

// Same names, types and data, whatever order the registry enumerates them in (Wine sorts
// them by name; the writing order is checked on the writer itself).
bool SameValues(std::vector<std::pair<std::wstring, StoredValue>> a, std::vector<std::pair<std::wstring, StoredValue>> b)
{
    const auto by_name = [](const auto& x, const auto& y) { return x.first < y.first; };
    std::sort(a.begin(), a.end(), by_name);
    std::sort(b.begin(), b.end(), by_name);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].first != b[i].first || a[i].second.type != b[i].second.type || a[i].second.data != b[i].second.data)
            return false;
    }
    return true;
}

void SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_SZ, text.c_str(),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

using ovtest::TempDirectoryOverride;

// Whether a privilege of the process token is enabled right now.
std::optional<bool> PrivilegeEnabled(const wchar_t* name)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::nullopt;
    LUID luid;
    std::optional<bool> result;
    if (LookupPrivilegeValueW(nullptr, name, &luid)) {
        PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
        BOOL enabled = FALSE;
        if (PrivilegeCheck(token, &set, &enabled))
            result = enabled != FALSE;
    }
    CloseHandle(token);
    return result;
}

} // namespace

TEST(UninstallKey, FirstInstallationWritesTheTwelveValuesInOrderAndRecordsANewKey)
{
    TestKey key(L"First");
    InstallJournal journal;
    const UninstallEntry entry = TestEntry(key.name());
    EXPECT_TRUE(WriteUninstallEntry(journal, entry));

    const auto values = ReadValues(key.path());
    EXPECT_TRUE(SameValues(values, ExpectedValues(entry))) << Describe(values);
    ASSERT_EQ(journal.current_entries.size(), 1u);
    const JournalEntry& recorded = journal.current_entries.back();
    EXPECT_EQ(recorded.kind, JournalEntryKind::UninstallKey);
    EXPECT_TRUE(recorded.ok);
    EXPECT_EQ(recorded.path, L"");
    EXPECT_EQ(recorded.backup, L"");
    EXPECT_EQ(recorded.value, -1);
    EXPECT_FALSE(journal.pending);
}

TEST(UninstallKey, TheSystemsOwnToolsReadTheEntry)
{
    TestKey key(L"Tools");
    InstallJournal journal;
    const UninstallEntry entry = TestEntry(key.name());
    ASSERT_TRUE(WriteUninstallEntry(journal, entry));

    const auto query = ovtest::RunAndCapture(L"reg.exe query \"HKLM\\" + key.path() + L"\"");
    ASSERT_TRUE(query) << "reg.exe cannot be started";
    EXPECT_EQ(query->exit_code, 0u);
    // Lines "    NAME    TYPE    DATA"; the paths hold blanks, so split on the four blanks.
    std::map<std::string, std::pair<std::string, std::string>> listed;
    std::istringstream lines(query->output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("    ", 0) != 0)
            continue;
        const size_t type_at = line.find("    ", 4);
        const size_t data_at = type_at == std::string::npos ? type_at : line.find("    ", type_at + 4);
        if (data_at == std::string::npos)
            continue;
        listed[line.substr(4, type_at - 4)] = {line.substr(type_at + 4, data_at - type_at - 4), line.substr(data_at + 4)};
    }
    using Listed = std::pair<std::string, std::string>;
    const std::map<std::string, Listed> expected{
        {"DisplayName", {"REG_SZ", "Vestrilo 1.22"}},
        {"UninstallString", {"REG_SZ", "C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Uninstall.exe"}},
        {"DisplayIcon", {"REG_SZ", "C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Vestrilo.exe,0"}},
        {"DisplayVersion", {"REG_SZ", "1.22.0.1"}},
        {"Publisher", {"REG_SZ", "Orvane & Drey"}},
        {"URLInfoAbout", {"REG_SZ", ovtest::Narrow(MakerWebSite)}},
        {"HelpLink", {"REG_SZ", ovtest::Narrow(MakerWebSite)}},
        {"URLUpdateInfo", {"REG_SZ", ovtest::Narrow(MakerWebSite)}},
        {"HelpTelephone", {"REG_SZ", ovtest::Narrow(MakerTelephone)}},
        {"NoModify", {"REG_DWORD", "0x1"}},
        {"NoRepair", {"REG_DWORD", "0x1"}},
        {"OvLanguage", {"REG_DWORD", "0x2"}},
    };
    EXPECT_EQ(listed, expected) << query->output;

    const auto list = ovtest::RunAndCapture(L"uninstaller.exe --list");
    ASSERT_TRUE(list) << "uninstaller.exe cannot be started";
    EXPECT_NE(list->output.find(ovtest::Narrow(key.name()) + "|||Vestrilo 1.22"), std::string::npos) << list->output;
}

TEST(UninstallKey, RollBackDeletesAKeyTheInstallationCreated)
{
    TestKey key(L"RollNew");
    InstallJournal journal;
    ASSERT_TRUE(WriteUninstallEntry(journal, TestEntry(key.name())));
    ASSERT_TRUE(KeyExists(key.path()));
    journal.RollBack();
    EXPECT_FALSE(KeyExists(key.path()));
    EXPECT_TRUE(KeyExists(UninstallKeyPath));
    EXPECT_TRUE(journal.current_entries.empty());
}

TEST(UninstallKey, AnExistingKeyIsSavedBeforeItIsOverwrittenAndPutBackByRollBack)
{
    TestKey key(L"Existing");
    ovtest::ScratchFolder temp(L"hivetemp");
    TempDirectoryOverride own_temp(temp.path());
    SetText(key.path(), L"DisplayName", L"Vestrilo 1.21");
    SetText(key.path(), L"Comments", L"written by an earlier installation");
    SetText(key.path() + L"\\Extra", L"Inner", L"a subkey's value");
    const auto before = ReadValues(key.path());
    EXPECT_FALSE(PrivilegeEnabled(SE_BACKUP_NAME).value_or(true));

    InstallJournal journal;
    const UninstallEntry entry = TestEntry(key.name());
    ASSERT_TRUE(WriteUninstallEntry(journal, entry));
    ASSERT_EQ(journal.current_entries.size(), 1u);
    const std::wstring hive = journal.current_entries.back().backup;
    ASSERT_FALSE(hive.empty()) << "the existing key was not saved";
    EXPECT_EQ(hive.substr(0, temp.path().size()), temp.path());
    EXPECT_GT(ovtest::ReadWholeFile(hive).size(), 0u);
    // The privilege is switched off again after the save.
    EXPECT_FALSE(PrivilegeEnabled(SE_BACKUP_NAME).value_or(true));
    // Values of the earlier installation that the list does not hold are left in place.
    EXPECT_EQ(ReadText(key.path(), L"Comments"), L"written by an earlier installation");
    EXPECT_EQ(ReadText(key.path(), L"DisplayName"), L"Vestrilo 1.22");

    journal.RollBack();
    EXPECT_FALSE(ovtest::PathExists(hive)) << "the hive file was not cleaned up";
    EXPECT_TRUE(KeyExists(key.path())) << "an existing key must be restored, never deleted";
    EXPECT_FALSE(PrivilegeEnabled(SE_RESTORE_NAME).value_or(true));
    if (ReadText(key.path(), L"DisplayName") == L"Vestrilo 1.22")
        GTEST_SKIP() << "RegRestoreKeyW reports success and restores nothing (a stub in Wine 8)";
    EXPECT_TRUE(SameValues(ReadValues(key.path()), before)) << Describe(ReadValues(key.path()));
    EXPECT_EQ(ReadText(key.path() + L"\\Extra", L"Inner"), L"a subkey's value");
}

TEST(UninstallKey, AReinstallationsHiveFileIsGoneOnceTheLogIsWritten)
{
    TestKey key(L"Reinstall");
    ovtest::ScratchFolder temp(L"reinstalltemp");
    ovtest::ScratchFolder install(L"reinstallfolder");
    SetText(key.path(), L"DisplayName", L"Vestrilo 1.22");
    InstallJournal journal;
    {
        TempDirectoryOverride own_temp(temp.path());
        ASSERT_TRUE(WriteUninstallEntry(journal, TestEntry(key.name())));
    }
    ASSERT_EQ(journal.current_entries.size(), 1u);
    const std::wstring hive = journal.current_entries.back().backup;
    ASSERT_FALSE(hive.empty());
    ASSERT_TRUE(ovtest::PathExists(hive));

    EXPECT_TRUE(WriteLog(journal, install / L"Uninstall.ulog", install.path(), install.path()));
    EXPECT_FALSE(ovtest::PathExists(hive));
    EXPECT_TRUE(ovtest::TakeSnapshot(temp.path()).empty());
    // The entry itself stays as this installation wrote it.
    EXPECT_TRUE(SameValues(ReadValues(key.path()), ExpectedValues(TestEntry(key.name()))))
        << Describe(ReadValues(key.path()));
}

TEST(UninstallKey, AnExistingKeyThatCannotBeSavedIsLeftInPlaceByRollBack)
{
    TestKey key(L"NoSave");
    ovtest::ScratchFolder root(L"nosave");
    SetText(key.path(), L"DisplayName", L"Vestrilo 1.21");
    std::wstring long_temp = root.path() + L"\\";
    long_temp.resize(249, L'x');
    InstallJournal journal;
    {
        TempDirectoryOverride unusable(long_temp);
        EXPECT_TRUE(WriteUninstallEntry(journal, TestEntry(key.name())));
    }
    ASSERT_EQ(journal.current_entries.size(), 1u);
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    journal.RollBack();
    // Deleting it could only lose the earlier installation's registration.
    EXPECT_TRUE(KeyExists(key.path()));
}

struct WriterFault {
    const char* failing;
    bool ok;
};

void PrintTo(const WriterFault& fault, std::ostream* os)
{
    *os << fault.failing;
}

class UninstallWriteFault : public testing::TestWithParam<WriterFault> {};

TEST_P(UninstallWriteFault, OnlyDisplayNameAndUninstallStringDecide)
{
    TestKey key(L"Fault");
    HKEY subkey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &subkey, nullptr),
              ERROR_SUCCESS);
    const std::wstring failing = std::wstring(GetParam().failing, GetParam().failing + strlen(GetParam().failing));
    std::vector<std::wstring> attempted;
    const bool ok = WriteUninstallValues(subkey, TestEntry(key.name()), [&](HKEY target, const RegistryValue& value) {
        attempted.push_back(value.name);
        return value.name == failing ? LONG(ERROR_ACCESS_DENIED) : SetRegistryValue(target, value);
    });
    RegCloseKey(subkey);
    EXPECT_EQ(ok, GetParam().ok);
    // Every value is attempted, in order, whatever failed before.
    std::vector<std::wstring> expected_order;
    auto expected = ExpectedValues(TestEntry(key.name()));
    for (const auto& [name, value] : expected)
        expected_order.push_back(name);
    EXPECT_EQ(attempted, expected_order);
    std::erase_if(expected, [&](const auto& item) { return item.first == failing; });
    EXPECT_TRUE(SameValues(ReadValues(key.path()), expected)) << Describe(ReadValues(key.path()));
}

INSTANTIATE_TEST_SUITE_P(UninstallKey, UninstallWriteFault,
                         testing::Values(WriterFault{"Publisher", true}, WriterFault{"OvLanguage", true},
                                         WriterFault{"DisplayIcon", true}, WriterFault{"DisplayName", false},
                                         WriterFault{"UninstallString", false}),
                         [](const auto& info) { return std::string(info.param.failing); });

TEST(UninstallKey, AKeyThatCannotBeCreatedGivesFalseAndNoJournalEntry)
{
    InstallJournal journal;
    // Registry key names are limited to 255 characters.
    const std::wstring too_long = TestKeyName(L"Long") + std::wstring(300, L'k');
    EXPECT_FALSE(WriteUninstallEntry(journal, TestEntry(too_long)));
    EXPECT_TRUE(journal.current_entries.empty());
    EXPECT_FALSE(journal.pending);
    // An empty name would stand for the Uninstall key itself.
    EXPECT_FALSE(WriteUninstallEntry(journal, TestEntry(L"")));
    EXPECT_TRUE(journal.current_entries.empty());
    EXPECT_FALSE(journal.pending);
}

TEST(UninstallKey, AKeyWithoutWriteAccessGivesFalseAndNoJournalEntry)
{
    TestKey key(L"ReadOnly");
    SetText(key.path(), L"DisplayName", L"Vestrilo 1.21");
    // Everyone may read the key, nobody may write it.
    EXPLICIT_ACCESSW read_only{};
    read_only.grfAccessPermissions = KEY_READ;
    read_only.grfAccessMode = SET_ACCESS;
    read_only.grfInheritance = NO_INHERITANCE;
    read_only.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    read_only.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &read_only, nullptr, &acl), ERROR_SUCCESS);
    const DWORD protect = SetNamedSecurityInfoW(const_cast<wchar_t*>((L"MACHINE\\" + key.path()).c_str()),
                                                SE_REGISTRY_KEY,
                                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                                nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    ASSERT_EQ(protect, DWORD(ERROR_SUCCESS));
    HKEY probe = nullptr;
    const LONG access = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.path().c_str(), 0, KEY_ALL_ACCESS, &probe);
    if (access == ERROR_SUCCESS)
        RegCloseKey(probe);

    InstallJournal journal;
    const bool ok = access == ERROR_SUCCESS ? true : WriteUninstallEntry(journal, TestEntry(key.name()));
    // Give the key back a list that allows its removal.
    SetNamedSecurityInfoW(const_cast<wchar_t*>((L"MACHINE\\" + key.path()).c_str()), SE_REGISTRY_KEY,
                          DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr);
    if (access == ERROR_SUCCESS)
        GTEST_SKIP() << "the registry granted full access to a key whose access list allows only reading";
    EXPECT_FALSE(ok);
    EXPECT_TRUE(journal.current_entries.empty());
    EXPECT_FALSE(journal.pending);
    EXPECT_EQ(ReadText(key.path(), L"DisplayName"), L"Vestrilo 1.21");
    EXPECT_EQ(ReadText(key.path(), L"UninstallString"), std::nullopt);
}

TEST(UninstallKey, TheProductsEntryTakesTheProductTextsAndTheCurrentLanguage)
{
    const int language = GetLanguage();
    for (int index : {LanguageFrench, LanguageGerman}) {
        SetLanguage(index);
        const UninstallEntry entry = ProductUninstallEntry(ProgramPath, UninstallerPath);
        EXPECT_EQ(entry.key_name, L"Vestrilo 1");
        EXPECT_EQ(entry.display_name, L"Vestrilo 1.22");
        EXPECT_EQ(entry.display_version, L"1.22.0.1");
        EXPECT_EQ(entry.publisher, L"Orvane & Drey");
        EXPECT_EQ(entry.program_path, ProgramPath);
        EXPECT_EQ(entry.uninstaller_path, UninstallerPath);
        EXPECT_EQ(entry.language, DWORD(index));
    }
    SetLanguage(language);
}
