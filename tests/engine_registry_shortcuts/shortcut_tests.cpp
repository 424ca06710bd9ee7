// Shell shortcuts written through the shell's link object in the test prefix, read back with a
// second link object, and the shortcut step's journal entries.
#include "engine/shortcuts.hpp"
#include "support/language.hpp"
#include "tests/common/tree_snapshot.hpp"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <vector>

using namespace ov;
using ovtest::PathExists;
using ovtest::ScratchFolder;

namespace {

// What a link file says, read with the shell's own link object.
struct LinkProperties {
    std::wstring target;
    std::wstring working_folder;
    std::wstring arguments;
    std::wstring description;
    std::wstring icon;
    int icon_index = 0;
    WORD hotkey = 0;
    int show_command = 0;
};

std::optional<LinkProperties> ReadLink(const std::wstring& path)
{
    if (FAILED(CoInitialize(nullptr)))
        return std::nullopt;
    std::optional<LinkProperties> result;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
                LinkProperties p;
                wchar_t text[1024];
                if (link->GetPath(text, 1024, nullptr, SLGP_RAWPATH) == S_OK)
                    p.target = text;
                if (SUCCEEDED(link->GetWorkingDirectory(text, 1024)))
                    p.working_folder = text;
                if (SUCCEEDED(link->GetArguments(text, 1024)))
                    p.arguments = text;
                if (SUCCEEDED(link->GetDescription(text, 1024)))
                    p.description = text;
                if (SUCCEEDED(link->GetIconLocation(text, 1024, &p.icon_index)))
                    p.icon = text;
                link->GetHotkey(&p.hotkey);
                link->GetShowCmd(&p.show_command);
                result = p;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}

// A program to point shortcuts at (its content does not matter).
std::wstring MakeProgram(const ScratchFolder& root, const std::wstring& relative)
{
    const std::wstring path = root / relative;
    SHCreateDirectoryExW(nullptr, path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
    EXPECT_TRUE(ovtest::WriteFileWithAttributes(path, "MZ"));
    return path;
}

void ExpectOnlyTargetAndWorkingFolder(const std::wstring& link, const std::wstring& target,
                                      const std::wstring& working_folder)
{
    const auto properties = ReadLink(link);
    ASSERT_TRUE(properties) << "cannot read " << ovtest::Narrow(link);
    EXPECT_EQ(properties->target, target);
    EXPECT_EQ(properties->working_folder, working_folder);
    EXPECT_EQ(properties->arguments, L"");
    EXPECT_EQ(properties->description, L"");
    EXPECT_EQ(properties->icon, L"");
    EXPECT_EQ(properties->icon_index, 0);
    EXPECT_EQ(properties->hotkey, 0);
    EXPECT_EQ(properties->show_command, SW_SHOWNORMAL);
}

struct Recorded {
    JournalEntryKind kind;
    std::wstring path;
    bool ok;
    bool operator==(const Recorded&) const = default;
};

void PrintTo(const Recorded& r, std::ostream* os)
{
    *os << "{kind " << static_cast<int>(r.kind) << ", " << ovtest::Narrow(r.path) << ", ok " << r.ok << "}";
}

std::vector<Recorded> Entries(const InstallJournal& journal)
{
    std::vector<Recorded> entries;
    for (const JournalEntry& e : journal.current_entries)
        entries.push_back({e.kind, e.path, e.ok});
    return entries;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const auto& [path, item] : ovtest::TakeSnapshot(folder))
        if (!item.directory)
            names.push_back(path);
    return names;
}

} // namespace

TEST(Shortcut, CarriesTheTargetAndItsFolderAndNothingElse)
{
    ScratchFolder root(L"link");
    const std::wstring program = MakeProgram(root, L"Program Files\\Orvane & Drey\\Vestrilo 1\\Vestrilo.exe");
    std::wstring created;
    ASSERT_TRUE(CreateShortcut(program, root.path(), std::wstring(L"Vestrilo 1.22"), &created));
    EXPECT_EQ(created, root / L"Vestrilo 1.22.lnk");
    ExpectOnlyTargetAndWorkingFolder(created, program, root / L"Program Files\\Orvane & Drey\\Vestrilo 1");
}

TEST(Shortcut, WithoutTitleTakesTheProgramsNameWithoutExtension)
{
    ScratchFolder root(L"linkname");
    const std::wstring program = MakeProgram(root, L"bin\\Vestrilo.Viewer.exe");
    std::wstring created;
    ASSERT_TRUE(CreateShortcut(program, root.path(), std::nullopt, &created));
    EXPECT_EQ(created, root / L"Vestrilo.Viewer.lnk");
    EXPECT_TRUE(PathExists(created));
}

TEST(Shortcut, AnExistingLinkOfTheSameNameIsOverwritten)
{
    ScratchFolder root(L"linkover");
    const std::wstring first = MakeProgram(root, L"one\\A.exe");
    const std::wstring second = MakeProgram(root, L"two\\B.exe");
    ASSERT_TRUE(CreateShortcut(first, root.path(), std::wstring(L"Same")));
    ASSERT_TRUE(CreateShortcut(second, root.path(), std::wstring(L"Same")));
    ExpectOnlyTargetAndWorkingFolder(root / L"Same.lnk", second, root / L"two");
}

struct FailureCase {
    const char* name;
    std::wstring target;   // a program made at this place below the scratch root, or, when
    bool make_target;      // not made, the target as given
    std::wstring folder;   // relative
    size_t title_length;   // joined folder and title of that many characters; 0: title "Title"
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShortcutFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ShortcutFailure, ReturnsFalseAndWritesNothing)
{
    ScratchFolder root(L"linkfail");
    ASSERT_TRUE(CreateDirectoryW((root / L"Menu").c_str(), nullptr));
    const FailureCase& c = GetParam();
    const std::wstring target = c.make_target ? MakeProgram(root, c.target) : c.target;
    const auto before = ovtest::TakeSnapshot(root.path());
    std::wstring title = L"Title";
    if (c.title_length) {
        // Fill the joined path up to exactly the given length.
        const size_t joined = (root / c.folder).size() + 1;
        title.assign(c.title_length > joined ? c.title_length - joined : 1, L't');
    }
    std::wstring created = L"unchanged";
    EXPECT_FALSE(CreateShortcut(target, root / c.folder, title, &created));
    EXPECT_EQ(created, L"unchanged");
    EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");
}

INSTANTIATE_TEST_SUITE_P(
    Shortcut, ShortcutFailure,
    testing::Values(// Nothing to remove for the working folder.
                    FailureCase{"EmptyTarget", L"", false, L"Menu", 0},
                    FailureCase{"RootAsTarget", L"C:\\", false, L"Menu", 0},
                    FailureCase{"FolderMissing", L"bin\\Vestrilo.exe", true, L"Menu\\Absent", 0},
                    // Joined folder and title of 260 characters: longer than 259.
                    FailureCase{"JoinedPathTooLong", L"bin\\Vestrilo.exe", true, L"Menu", 260},
                    // 257 characters: only the ".lnk" would not fit.
                    FailureCase{"NoRoomForExtension", L"bin\\Vestrilo.exe", true, L"Menu", 257}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shortcut, AnEmptyOrRelativeFolderFailsAndWritesNothingInTheCurrentFolder)
{
    ScratchFolder root(L"linkrelative");
    const std::wstring program = MakeProgram(root, L"bin\\Vestrilo.exe");
    ASSERT_TRUE(CreateDirectoryW((root / L"Desktop").c_str(), nullptr));
    wchar_t previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(root.path().c_str()));
    const auto before = ovtest::TakeSnapshot(root.path());
    // An empty folder is what the desktop shortcut gets when the shell knows no desktop.
    for (const wchar_t* folder : {L"", L"Desktop", L".\\Desktop"}) {
        std::wstring created = L"unchanged";
        EXPECT_FALSE(CreateShortcut(program, folder, std::wstring(L"Vestrilo 1.22"), &created))
            << ovtest::Narrow(folder);
        EXPECT_EQ(created, L"unchanged");
    }
    const auto after = ovtest::TakeSnapshot(root.path());
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(ovtest::DescribeDifferences(before, after), "");
}

struct MtaCall {
    const std::wstring* program;
    const std::wstring* folder;
    HRESULT apartment;
    bool result;
};

DWORD WINAPI CreateShortcutInTheMta(void* argument)
{
    auto* call = static_cast<MtaCall*>(argument);
    call->apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    call->result = CreateShortcut(*call->program, *call->folder, std::wstring(L"Vestrilo 1.22"));
    if (SUCCEEDED(call->apartment))
        CoUninitialize();
    return 0;
}

TEST(Shortcut, AThreadInTheMultithreadedApartmentGetsFalseAndNothingWritten)
{
    ScratchFolder root(L"linkmta");
    const std::wstring program = MakeProgram(root, L"bin\\Vestrilo.exe");
    const auto before = ovtest::TakeSnapshot(root.path());
    MtaCall call{&program, &root.path(), E_FAIL, true};
    HANDLE thread = CreateThread(nullptr, 0, CreateShortcutInTheMta, &call, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_EQ(call.apartment, S_OK);
    // CoInitialize answers RPC_E_CHANGED_MODE there: the shortcut fails without uninitialising.
    EXPECT_FALSE(call.result);
    EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");
}

TEST(Shortcut, JoinedPathJustShortEnoughIsWritten)
{
    ScratchFolder root(L"linkfit");
    const std::wstring program = MakeProgram(root, L"bin\\Vestrilo.exe");
    // Folder, separator and title of 255 characters, ".lnk" makes 259.
    const std::wstring title(255 - root.path().size() - 1, L't');
    std::wstring created;
    ASSERT_TRUE(CreateShortcut(program, root.path(), title, &created));
    EXPECT_EQ(created.size(), 259u);
    EXPECT_TRUE(PathExists(created));
}

// ---------------------------------------------------------------------------------------------
// The shortcut step

TEST(Shortcuts, StartMenuOnlyMakesTwoLinksAndRecordsTheNewFolderOnce)
{
    ScratchFolder root(L"startmenu");
    const std::wstring program = MakeProgram(root, L"Vestrilo 1\\Vestrilo.exe");
    const std::wstring uninstaller = MakeProgram(root, L"Vestrilo 1\\Uninstall.exe");
    ASSERT_TRUE(CreateDirectoryW((root / L"Programs").c_str(), nullptr));
    ShortcutPlan plan;
    plan.program_path = program;
    plan.uninstaller_path = uninstaller;
    plan.start_menu_folder = root / L"Programs\\Orvane & Drey\\Vestrilo 1";
    plan.start_menu = true;
    plan.program_title = L"Vestrilo 1.22";
    plan.uninstall_title = L"Uninstall Vestrilo";
    plan.desktop_folder = root / L"Desktop"; // must stay unused

    InstallJournal journal;
    EXPECT_TRUE(MakeShortcuts(journal, plan));
    const std::wstring menu = plan.start_menu_folder;
    EXPECT_EQ(Entries(journal),
              (std::vector<Recorded>{{JournalEntryKind::Directory, root / L"Programs\\Orvane & Drey", true},
                                     {JournalEntryKind::Directory, menu, true},
                                     {JournalEntryKind::ProgramShortcut, menu + L"\\Vestrilo 1.22.lnk", true},
                                     {JournalEntryKind::UninstallShortcut, menu + L"\\Uninstall Vestrilo.lnk", true}}));
    EXPECT_FALSE(journal.pending);
    EXPECT_EQ(FilesIn(menu), (std::vector<std::wstring>{L"Uninstall Vestrilo.lnk", L"Vestrilo 1.22.lnk"}));
    EXPECT_FALSE(PathExists(root / L"Desktop"));
    ExpectOnlyTargetAndWorkingFolder(menu + L"\\Vestrilo 1.22.lnk", program, root / L"Vestrilo 1");
    ExpectOnlyTargetAndWorkingFolder(menu + L"\\Uninstall Vestrilo.lnk", uninstaller, root / L"Vestrilo 1");

    // Undone, the start menu is as it was.
    journal.RollBack();
    EXPECT_EQ(FilesIn(root / L"Programs"), std::vector<std::wstring>{});
    EXPECT_FALSE(PathExists(root / L"Programs\\Orvane & Drey"));
}

TEST(Shortcuts, AFailedShortcutKeepsAnEntryWithoutPathAndTheOthersAreStillMade)
{
    ScratchFolder root(L"failedlink");
    ShortcutPlan plan;
    plan.program_path = MakeProgram(root, L"Vestrilo 1\\Vestrilo.exe");
    plan.uninstaller_path = L""; // the archive delivered no uninstaller
    plan.start_menu_folder = root / L"Menu";
    plan.start_menu = true;
    plan.desktop = true;
    plan.program_title = L"Vestrilo 1.22";
    plan.uninstall_title = L"Uninstall Vestrilo";
    plan.desktop_folder = root / L"Desktop";

    InstallJournal journal;
    EXPECT_FALSE(MakeShortcuts(journal, plan));
    EXPECT_EQ(Entries(journal),
              (std::vector<Recorded>{{JournalEntryKind::Directory, root / L"Menu", true},
                                     {JournalEntryKind::ProgramShortcut, root / L"Menu\\Vestrilo 1.22.lnk", true},
                                     {JournalEntryKind::UninstallShortcut, L"", false},
                                     {JournalEntryKind::Directory, root / L"Desktop", true},
                                     {JournalEntryKind::DesktopShortcut, root / L"Desktop\\Vestrilo 1.22.lnk", true}}));
    EXPECT_FALSE(journal.pending);
    EXPECT_EQ(FilesIn(root / L"Menu"), std::vector<std::wstring>{L"Vestrilo 1.22.lnk"});
}

TEST(Shortcuts, UpdateReplacesThePreviousProgramShortcutAndRollBackBringsItBack)
{
    ScratchFolder root(L"updatelink");
    const std::wstring menu = root / L"Menu";
    const std::wstring old_program = MakeProgram(root, L"Vestrilo 1\\Vestrilo.exe");
    ASSERT_TRUE(CreateDirectoryW(menu.c_str(), nullptr));
    ASSERT_TRUE(CreateShortcut(old_program, menu, std::wstring(L"Vestrilo 1.21")));
    InstallJournal journal;
    JournalEntry previous;
    previous.kind = JournalEntryKind::ProgramShortcut;
    previous.path = menu + L"\\Vestrilo 1.21.lnk";
    previous.ok = true;
    journal.previous_entries.push_back(previous);

    ShortcutPlan plan;
    plan.program_path = old_program;
    plan.uninstaller_path = MakeProgram(root, L"Vestrilo 1\\Uninstall.exe");
    plan.start_menu_folder = menu;
    plan.start_menu = true;
    plan.program_title = L"Vestrilo 1.22";
    plan.uninstall_title = L"Uninstall Vestrilo";
    const auto with_uninstaller = ovtest::TakeSnapshot(root.path());
    EXPECT_TRUE(MakeShortcuts(journal, plan));
    EXPECT_EQ(FilesIn(menu), (std::vector<std::wstring>{L"Uninstall Vestrilo.lnk", L"Vestrilo 1.22.lnk"}));
    const std::wstring backup = journal.current_entries.front().backup;
    ASSERT_FALSE(backup.empty());
    ExpectOnlyTargetAndWorkingFolder(backup, old_program, root / L"Vestrilo 1");

    journal.RollBack();
    EXPECT_EQ(ovtest::DescribeDifferences(with_uninstaller, ovtest::TakeSnapshot(root.path())), "");
    EXPECT_FALSE(PathExists(backup));
}

struct DesktopCase {
    const char* name;
    bool common_known;
    bool user_known;
    const wchar_t* expected;
};

void PrintTo(const DesktopCase& c, std::ostream* os)
{
    *os << c.name;
}

class DesktopFolder : public testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopFolder, AllUsersDesktopFirstThenTheUsersOwn)
{
    std::vector<int> asked;
    const auto lookup = [&](HWND, int csidl) -> std::wstring {
        asked.push_back(csidl);
        if (csidl == CSIDL_COMMON_DESKTOPDIRECTORY)
            return GetParam().common_known ? L"C:\\users\\Public\\Desktop" : L"";
        if (csidl == CSIDL_DESKTOPDIRECTORY)
            return GetParam().user_known ? L"C:\\users\\me\\Desktop" : L"";
        return L"C:\\wrong";
    };
    EXPECT_EQ(DesktopShortcutFolder(nullptr, lookup), GetParam().expected);
    EXPECT_EQ(asked.front(), CSIDL_COMMON_DESKTOPDIRECTORY);
    EXPECT_EQ(asked.size(), GetParam().common_known ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Shortcuts, DesktopFolder,
                         testing::Values(DesktopCase{"Common", true, true, L"C:\\users\\Public\\Desktop"},
                                         DesktopCase{"CommonMissing", false, true, L"C:\\users\\me\\Desktop"},
                                         DesktopCase{"NoneKnown", false, false, L""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Shortcuts, DesktopShortcutGoesToTheAllUsersDesktopOfTheSystem)
{
    const std::wstring desktop = ShellSpecialFolder(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY);
    if (desktop.empty())
        GTEST_SKIP() << "the shell gives no all-users desktop folder in this prefix";
    ScratchFolder root(L"desktop");
    ShortcutPlan plan;
    plan.program_path = MakeProgram(root, L"Vestrilo 1\\Vestrilo.exe");
    plan.desktop = true;
    // A title of this process only, so that tests running side by side do not meet.
    plan.program_title = L"OvTest Vestrilo " + std::to_wstring(GetCurrentProcessId());
    const std::wstring expected = desktop + L"\\" + plan.program_title + L".lnk";
    ASSERT_FALSE(PathExists(expected));
    InstallJournal journal;
    EXPECT_TRUE(MakeShortcuts(journal, plan));
    ASSERT_EQ(Entries(journal).back(), (Recorded{JournalEntryKind::DesktopShortcut, expected, true}));
    ExpectOnlyTargetAndWorkingFolder(expected, plan.program_path, root / L"Vestrilo 1");
    journal.RollBack();
    EXPECT_FALSE(PathExists(expected));
    EXPECT_TRUE(PathExists(desktop));
}

TEST(Shortcuts, TitlesFollowTheInterfaceLanguage)
{
    const int language = GetLanguage();
    struct Case {
        int language;
        const wchar_t* uninstall_title;
    };
    for (const Case& c : {Case{LanguageEnglish, L"Uninstall Vestrilo"}, Case{LanguageFrench, L"Désinstaller Vestrilo"},
                          Case{LanguageGerman, L"Vestrilo deinstallieren"}}) {
        SetLanguage(c.language);
        const ShortcutPlan plan = ProductShortcutPlan(L"C:\\P\\Vestrilo.exe", L"C:\\P\\Uninstall.exe", L"C:\\M", true,
                                                      false);
        EXPECT_EQ(plan.program_title, L"Vestrilo 1.22");
        EXPECT_EQ(plan.uninstall_title, c.uninstall_title);
        EXPECT_EQ(plan.program_path, L"C:\\P\\Vestrilo.exe");
        EXPECT_EQ(plan.uninstaller_path, L"C:\\P\\Uninstall.exe");
        EXPECT_EQ(plan.start_menu_folder, L"C:\\M");
        EXPECT_TRUE(plan.start_menu);
        EXPECT_FALSE(plan.desktop);
    }
    SetLanguage(language);
}
