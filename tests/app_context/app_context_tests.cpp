// The setup context under Wine: the installation state decided from a real Uninstall key and
// real programs carrying version resources, the default folders, and the folders of the
// earlier installation read back from its uninstall log.
#include "app/install_app.hpp"

#include "engine/uninstall_key.hpp"
#include "engine/uninstall_log.hpp"
#include "support/identity.hpp"
#include "tests/common/tree_snapshot.hpp"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <optional>
#include <string>

using ovtest::ScratchFolder;

namespace {

std::wstring ProbePath(const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    PathRemoveFileSpecW(self);
    return std::wstring(self) + L"\\probes\\" + name + L".exe";
}

// A subkey of the Uninstall key of this test's own, deleted with its values at the end.
class TestProductKey {
public:
    TestProductKey() : name_(L"Vestrilo 1 app_context test " + std::to_wstring(GetCurrentProcessId())) {}
    ~TestProductKey() { Remove(); }

    const std::wstring& name() const { return name_; }
    std::wstring path() const { return std::wstring(ov::UninstallKeyPath) + L"\\" + name_; }

    // Creates the key (when missing) and sets the given string values; a null value is removed.
    void Write(std::optional<std::wstring> uninstall_string, std::optional<std::wstring> display_icon) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        Set(key, L"UninstallString", uninstall_string);
        Set(key, L"DisplayIcon", display_icon);
        RegCloseKey(key);
    }
    void Remove() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, path().c_str()); }

private:
    static void Set(HKEY key, const wchar_t* name, const std::optional<std::wstring>& value) {
        if (!value) {
            RegDeleteValueW(key, name);
            return;
        }
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    }
    std::wstring name_;
};

// An installed product in a scratch folder: the uninstaller and the main program (a copy of a
// probe), recorded in the test's Uninstall key.
struct Installation {
    ScratchFolder folder{L"app-install"};
    std::wstring uninstaller = folder / L"Uninstall.exe";
    std::wstring program = folder / L"Vestrilo.exe";

    bool Place(const std::wstring& probe) {
        return CopyFileW(ProbePath(L"probe_none").c_str(), uninstaller.c_str(), FALSE) &&
               CopyFileW(ProbePath(probe).c_str(), program.c_str(), FALSE);
    }
};

} // namespace

TEST(CompareInstalledVersion, NumericOnTheWhole64BitNumber) {
    const std::uint64_t own = ov::PackVersion(1, 22, 0, 1);
    struct Case {
        std::uint64_t installed;
        InstallState state;
    } cases[] = {
        {ov::PackVersion(1, 22, 0, 1), InstallState::Reinstall},
        {0, InstallState::Reinstall},
        {ov::PackVersion(1, 22, 0, 0), InstallState::Update},
        {ov::PackVersion(1, 21, 65535, 65535), InstallState::Update},
        {ov::PackVersion(1, 3, 0, 0), InstallState::Update},
        {ov::PackVersion(0, 0, 0, 1), InstallState::Update},
        {ov::PackVersion(1, 22, 0, 2), InstallState::NewerInstalled},
        {ov::PackVersion(1, 22, 1, 0), InstallState::NewerInstalled},
        {ov::PackVersion(2, 0, 0, 0), InstallState::NewerInstalled},
        {ov::PackVersion(65535, 0, 0, 0), InstallState::NewerInstalled}, // no sign trouble at the top bit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareInstalledVersion(own, c.installed), c.state) << std::hex << c.installed;
    }
    EXPECT_EQ(ov::own_version_number, own);
}

TEST(DetermineInstallState, FromTheInstalledProgramsVersionResource) {
    struct Case {
        const wchar_t* probe;
        bool succeeds;
        InstallState state;
        const wchar_t* version_text;
    } cases[] = {
        {L"probe_1_22_0_1", true, InstallState::Reinstall, L""},
        {L"probe_1_21_7_3", true, InstallState::Update, L"Vestrilo 1.21.7"},
        {L"probe_1_22_0_0", true, InstallState::Update, L"Vestrilo 1.22.0.0"},
        {L"probe_1_3_0_0", true, InstallState::Update, L"Vestrilo 1.3"},
        {L"probe_1_22_0_2", true, InstallState::NewerInstalled, L"Vestrilo 1.22.0.2"},
        {L"probe_2_0_0_0", true, InstallState::NewerInstalled, L"Vestrilo 2.0"},
        {L"probe_0_0_0_0", true, InstallState::Reinstall, L""},
        {L"probe_none", false, InstallState::Fresh, L""},         // no version resource
        {L"probe_no_copyright", false, InstallState::Fresh, L""}, // not readable in full
    };
    for (const auto& c : cases) {
        TestProductKey key;
        Installation installed;
        ASSERT_TRUE(installed.Place(c.probe)) << ovtest::Narrow(c.probe);
        key.Write(installed.uninstaller, installed.program + L",0");
        CInstallApp app;
        app.m_productKeyName = key.name();
        EXPECT_EQ(app.DetermineInstallState(), c.succeeds) << ovtest::Narrow(c.probe);
        EXPECT_EQ(app.m_installState, c.state) << ovtest::Narrow(c.probe);
        std::wstring text = L"untouched";
        EXPECT_EQ(app.QueryInstallState(&text), c.state);
        const bool has_text = c.state == InstallState::Update || c.state == InstallState::NewerInstalled;
        EXPECT_EQ(text, has_text ? c.version_text : L"untouched") << ovtest::Narrow(c.probe);
        EXPECT_EQ(app.m_installedVersionText, c.version_text) << ovtest::Narrow(c.probe);
        EXPECT_EQ(app.QueryInstallState(), c.state);
    }
}

TEST(DetermineInstallState, NoProductKeyIsAFreshInstallation) {
    TestProductKey key; // never written
    CInstallApp app;
    app.m_productKeyName = key.name();
    app.m_installedVersionText = L"stale";
    EXPECT_TRUE(app.DetermineInstallState());
    EXPECT_EQ(app.m_installState, InstallState::Fresh);
    EXPECT_EQ(app.m_installedVersionText, L"");
}

TEST(FindInstalledProduct, MainProgramFromDisplayIconElseBesideTheUninstaller) {
    Installation installed;
    ASSERT_TRUE(installed.Place(L"probe_1_21_7_3"));
    const std::wstring elsewhere = installed.folder / L"Other.exe";
    ASSERT_TRUE(CopyFileW(ProbePath(L"probe_2_0_0_0").c_str(), elsewhere.c_str(), FALSE));
    const std::wstring empty_folder = installed.folder / L"Empty";
    ASSERT_TRUE(CreateDirectoryW(empty_folder.c_str(), nullptr));
    struct Case {
        const char* what;
        std::optional<std::wstring> uninstall_string, display_icon;
        std::wstring main_program;
    } cases[] = {
        {"icon with index", installed.uninstaller, elsewhere + L",0", elsewhere},
        {"quoted icon", installed.uninstaller, L"\"" + elsewhere + L"\",-3", elsewhere},
        {"icon without index", std::nullopt, elsewhere, elsewhere},
        {"no icon: beside the uninstaller", installed.uninstaller, std::nullopt, installed.program},
        {"icon names no file", installed.uninstaller, installed.folder / L"Gone.exe,0", installed.program},
        {"icon names a folder", installed.uninstaller, empty_folder, installed.program},
        {"nothing to find", empty_folder + L"\\Uninstall.exe", std::nullopt, L""},
        {"no values at all", std::nullopt, std::nullopt, L""},
    };
    for (const auto& c : cases) {
        TestProductKey key;
        key.Write(c.uninstall_string, c.display_icon);
        const InstalledProduct product = FindInstalledProduct(key.name());
        EXPECT_TRUE(product.installed) << c.what;
        EXPECT_EQ(product.main_program, c.main_program) << c.what;
        EXPECT_EQ(product.uninstaller, c.uninstall_string.value_or(L"")) << c.what;
    }
    TestProductKey missing;
    EXPECT_FALSE(FindInstalledProduct(missing.name()).installed);
}

TEST(DetermineInstallState, RecordedAsInstalledWithoutAMainProgramIsAReinstallation) {
    TestProductKey key;
    key.Write(std::nullopt, std::nullopt);
    CInstallApp app;
    app.m_productKeyName = key.name();
    EXPECT_TRUE(app.DetermineInstallState());
    EXPECT_EQ(app.m_installState, InstallState::Reinstall);
    EXPECT_EQ(app.m_installedVersionText, L"");
}

TEST(IconFileOf, RemovesQuotesAndTheIconIndex) {
    struct Case {
        const wchar_t* icon;
        const wchar_t* file;
    } cases[] = {
        {L"C:\\A\\p.exe,0", L"C:\\A\\p.exe"},
        {L"C:\\A\\p.exe,-101", L"C:\\A\\p.exe"},
        {L"\"C:\\A b\\p.exe\",2", L"C:\\A b\\p.exe"},
        {L"\"C:\\A b\\p.exe\"", L"C:\\A b\\p.exe"},
        {L"  C:\\A\\p.exe  ", L"C:\\A\\p.exe"},
        {L"C:\\A,B\\p.exe", L"C:\\A,B\\p.exe"}, // a comma inside the path stays
        {L"C:\\A\\p.exe,", L"C:\\A\\p.exe,"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IconFileOf(c.icon), c.file) << ovtest::Narrow(c.icon);
    }
}

TEST(CInstallApp, StartsWithAnEmptyContextAndAnUnownedMutex) {
    CInstallApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(app.m_installState, InstallState::Fresh);
    EXPECT_TRUE(app.m_installedVersionText.empty() && app.m_installFolder.empty() && app.m_startMenuFolder.empty() &&
                app.m_tempFolder.empty());
    EXPECT_FALSE(app.m_startMenuShortcut || app.m_desktopShortcut || app.m_advancedMethod || app.m_installDone);
    EXPECT_TRUE(app.m_journal.current_entries.empty() && app.m_journal.previous_entries.empty());
    EXPECT_NE(app.m_instanceLock.handle, nullptr);
    EXPECT_FALSE(app.m_instanceLock.owned);
    EXPECT_EQ(app.m_productKeyName, ov::GetUninstallKeyName());
}

TEST(ApplyDefaultFolders, ProgramFilesAndTheCommonStartMenuOfThePrefix) {
    CInstallApp app;
    app.ApplyDefaultFolders();
    const std::wstring tail = L"\\Orvane & Drey\\Vestrilo 1";
    ASSERT_GT(app.m_installFolder.size(), tail.size());
    EXPECT_EQ(app.m_installFolder.substr(app.m_installFolder.size() - tail.size()), tail);
    // Compared with the folders that another shell function gives.
    wchar_t program_files[MAX_PATH] = {};
    wchar_t programs[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, program_files), S_OK);
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs), S_OK);
    EXPECT_EQ(app.m_installFolder, std::wstring(program_files) + tail);
    EXPECT_EQ(app.m_startMenuFolder, std::wstring(programs) + tail);
    EXPECT_NE(app.m_installFolder.find(L"\\Program Files\\Orvane & Drey\\Vestrilo 1"), std::wstring::npos);

    // Folders already chosen stay.
    app.m_installFolder = L"D:\\Chosen";
    app.m_startMenuFolder = L"D:\\Menu";
    app.ApplyDefaultFolders();
    EXPECT_EQ(app.m_installFolder, L"D:\\Chosen");
    EXPECT_EQ(app.m_startMenuFolder, L"D:\\Menu");
}

TEST(ApplyDefaultFolders, FallsBackToTheRegistryThenToTheWindowsFoldersRoot) {
    struct Case {
        const char* what;
        bool special_program_files, registry, common_programs, user_programs;
        std::wstring install, start_menu;
    } cases[] = {
        {"everything answers", true, true, true, true, L"S:\\PF\\Orvane & Drey\\Vestrilo 1",
         L"S:\\Common\\Orvane & Drey\\Vestrilo 1"},
        {"no special Program Files", false, true, true, true, L"R:\\Programme\\Orvane & Drey\\Vestrilo 1",
         L"S:\\Common\\Orvane & Drey\\Vestrilo 1"},
        {"neither", false, false, false, true, L"W:\\Program Files\\Orvane & Drey\\Vestrilo 1",
         L"S:\\User\\Orvane & Drey\\Vestrilo 1"},
        {"no programs folder at all", true, true, false, false, L"S:\\PF\\Orvane & Drey\\Vestrilo 1", L""},
    };
    for (const auto& c : cases) {
        SystemFolders folders;
        folders.special = [&](int csidl, std::wstring& path) {
            if (csidl == CSIDL_PROGRAM_FILES && c.special_program_files) {
                path = L"S:\\PF";
            } else if (csidl == CSIDL_COMMON_PROGRAMS && c.common_programs) {
                path = L"S:\\Common";
            } else if (csidl == CSIDL_PROGRAMS && c.user_programs) {
                path = L"S:\\User";
            } else {
                return false;
            }
            return true;
        };
        folders.program_files_value = [&](std::wstring& path) {
            path = L"R:\\Programme";
            return c.registry;
        };
        folders.windows_folder = [] { return std::wstring(L"W:\\Windows\\"); };
        EXPECT_EQ(DefaultInstallFolder(folders), c.install) << c.what;
        EXPECT_EQ(DefaultStartMenuFolder(folders), c.start_menu) << c.what;
    }
}

TEST(ApplyDefaultFolders, APathThatDoesNotFitMaxPathGivesNoFolder) {
    SystemFolders folders = MachineFolders();
    folders.special = [](int, std::wstring& path) {
        path = L"C:\\" + std::wstring(240, L'x');
        return true;
    };
    EXPECT_EQ(DefaultInstallFolder(folders), L"");
    EXPECT_EQ(DefaultStartMenuFolder(folders), L"");
}

TEST(ReadEarlierFolders, FromTheLogBesideTheUninstallerElseBesideTheMainProgram) {
    ScratchFolder scratch(L"app-earlier");
    const std::wstring install = scratch / L"Installed here";
    const std::wstring menu = scratch / L"Menu";
    const std::wstring other = scratch / L"Program elsewhere";
    for (const auto& folder : {install, menu, other}) {
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    ASSERT_TRUE(CopyFileW(ProbePath(L"probe_1_21_7_3").c_str(), (other + L"\\Vestrilo.exe").c_str(), FALSE));
    // A log written by an earlier installation.
    auto write_log = [&](const std::wstring& folder, const std::wstring& file) {
        ov::InstallJournal journal;
        ov::JournalEntry entry;
        entry.kind = ov::JournalEntryKind::File;
        entry.path = file;
        entry.ok = true;
        entry.value = 1;
        journal.current_entries.push_back(entry);
        return ov::WriteLog(journal, folder + L"\\Uninstall.ulog", install, menu);
    };
    struct Case {
        const char* what;
        InstallState state;
        bool log_beside_uninstaller, log_beside_program;
        std::wstring expected_file; // the previous entry read, or empty when no log is read
    } cases[] = {
        {"update, log beside the uninstaller", InstallState::Update, true, true, install + L"\\A.exe"},
        {"reinstall, log only beside the program", InstallState::Reinstall, false, true, other + L"\\B.exe"},
        {"reinstall, no log anywhere", InstallState::Reinstall, false, false, L""},
        {"fresh: no log is read", InstallState::Fresh, true, true, L""},
        {"newer installed: no log is read", InstallState::NewerInstalled, true, true, L""},
    };
    for (const auto& c : cases) {
        if (c.log_beside_uninstaller) {
            ASSERT_TRUE(write_log(install, install + L"\\A.exe")) << c.what;
        }
        if (c.log_beside_program) {
            ASSERT_TRUE(write_log(other, other + L"\\B.exe")) << c.what;
        }
        TestProductKey key;
        key.Write(install + L"\\Uninstall.exe", other + L"\\Vestrilo.exe,0");
        CInstallApp app;
        app.m_productKeyName = key.name();
        app.m_installState = c.state;
        app.m_installFolder = L"before";
        app.ReadEarlierFolders();
        if (c.expected_file.empty()) {
            EXPECT_TRUE(app.m_journal.previous_entries.empty()) << c.what;
            EXPECT_EQ(app.m_installFolder, L"before") << c.what;
        } else {
            ASSERT_EQ(app.m_journal.previous_entries.size(), 1u) << c.what;
            EXPECT_EQ(app.m_journal.previous_entries.front().path, c.expected_file) << c.what;
            EXPECT_EQ(app.m_installFolder, install) << c.what;
            EXPECT_EQ(app.m_startMenuFolder, menu) << c.what;
        }
        for (const auto& folder : {install, other}) {
            const std::wstring log = folder + L"\\Uninstall.ulog";
            SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(log.c_str());
        }
    }
}
