// The installation journal against the real file system of the test prefix: folder chains,
// backups, begun and completed actions, and the rollback that must leave a folder tree exactly
// as it was.
#include "engine/journal.hpp"
#include "tests/common/temp_directory.hpp"
#include "tests/common/tree_snapshot.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace ov;
using ovtest::PathExists;
using ovtest::ReadWholeFile;
using ovtest::ScratchFolder;
using ovtest::WriteFileWithAttributes;

namespace {

struct Recorded {
    JournalEntryKind kind;
    std::wstring path;
    bool ok;
    std::int32_t value;
    bool operator==(const Recorded&) const = default;
};

void PrintTo(const Recorded& r, std::ostream* os)
{
    *os << "{kind " << static_cast<int>(r.kind) << ", " << ovtest::Narrow(r.path) << ", ok " << r.ok << ", value "
        << r.value << "}";
}

std::vector<Recorded> Entries(const InstallJournal& journal)
{
    std::vector<Recorded> entries;
    for (const JournalEntry& e : journal.current_entries)
        entries.push_back({e.kind, e.path, e.ok, e.value});
    return entries;
}

Recorded Folder(const std::wstring& path)
{
    return {JournalEntryKind::Directory, path, true, -1};
}

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TempDirectory()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

using ovtest::TempDirectoryOverride;

// The "installation" of one file as the placement does it: begun, written, completed.
void PlaceFile(InstallJournal& journal, const std::wstring& path, const std::string& content, std::int32_t kind = 0)
{
    journal.BeginFile(path, kind, BackupMode::Move);
    ASSERT_TRUE(WriteFileWithAttributes(path, content));
    journal.Complete(true);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CreateFolderChain

struct ChainCase {
    const char* name;
    std::vector<std::wstring> existing; // folders made before, relative to the scratch root
    std::wstring folder;                // relative
    std::vector<std::wstring> recorded; // relative, in order
};

void PrintTo(const ChainCase& c, std::ostream* os)
{
    *os << c.name;
}

class FolderChain : public testing::TestWithParam<ChainCase> {};

TEST_P(FolderChain, CreatesAndRecordsOnlyTheMissingFolders)
{
    ScratchFolder root(L"chain");
    for (const std::wstring& folder : GetParam().existing)
        ASSERT_TRUE(CreateDirectoryW((root / folder).c_str(), nullptr));
    InstallJournal journal;
    journal.CreateFolderChain(root / GetParam().folder);

    std::vector<Recorded> expected;
    for (const std::wstring& folder : GetParam().recorded)
        expected.push_back(Folder(root / folder));
    EXPECT_EQ(Entries(journal), expected);
    EXPECT_TRUE(IsDirectory(root / GetParam().folder));
    EXPECT_FALSE(journal.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Journal, FolderChain,
    testing::Values(ChainCase{"AllMissing", {}, L"A\\B\\C", {L"A", L"A\\B", L"A\\B\\C"}},
                    ChainCase{"ParentExists", {L"A"}, L"A\\B", {L"A\\B"}},
                    ChainCase{"AllExist", {L"A", L"A\\B"}, L"A\\B", {}},
                    // The last level is recorded as given, separator included.
                    ChainCase{"TrailingSeparator", {L"A"}, L"A\\B\\", {L"A\\B\\"}},
                    ChainCase{"BlanksAndAmpersand", {}, L"Orvane & Drey\\Vestrilo 1",
                              {L"Orvane & Drey", L"Orvane & Drey\\Vestrilo 1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Journal, FolderChainNeverCreatesTheRoot)
{
    InstallJournal journal;
    journal.CreateFolderChain(L"C:\\");
    EXPECT_TRUE(journal.current_entries.empty());
}

TEST(Journal, FolderChainStopsAtAFolderThatCannotBeCreated)
{
    ScratchFolder root(L"chainfail");
    // A file stands where the second level's folder would go.
    ASSERT_TRUE(CreateDirectoryW((root / L"A").c_str(), nullptr));
    ASSERT_TRUE(WriteFileWithAttributes(root / L"A\\B", "not a folder"));
    InstallJournal journal;
    journal.CreateFolderChain(root / L"A\\B\\C\\D");
    EXPECT_TRUE(journal.current_entries.empty());
    EXPECT_FALSE(PathExists(root / L"A\\B\\C"));
    EXPECT_EQ(ReadWholeFile(root / L"A\\B"), "not a folder");

    // Levels made before the failing one stay recorded; nothing deeper is tried.
    InstallJournal second;
    second.CreateFolderChain(root / L"N\\B\\bad|name\\D");
    EXPECT_EQ(Entries(second), (std::vector<Recorded>{Folder(root / L"N"), Folder(root / L"N\\B")}));
    EXPECT_FALSE(PathExists(root / L"N\\B\\bad|name"));
}

TEST(Journal, FolderChainCreatesNothingForAPathTooLongForTheShellBuffers)
{
    ScratchFolder root(L"chainlong");
    std::wstring folder = root.path();
    while (folder.size() < MAX_PATH + 20)
        folder += L"\\abcdefghij";
    InstallJournal journal;
    journal.CreateFolderChain(folder);
    EXPECT_TRUE(journal.current_entries.empty());
    EXPECT_TRUE(ovtest::TakeSnapshot(root.path()).empty());
}

// ---------------------------------------------------------------------------------------------
// MakeBackup

TEST(Journal, BackupNameWithoutAFileIsAFreshUnusedTemporaryName)
{
    const std::wstring first = InstallJournal::MakeBackup(nullptr, BackupMode::Move);
    const std::wstring second = InstallJournal::MakeBackup(nullptr, BackupMode::Move);
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    const std::wstring temp = TempDirectory();
    EXPECT_EQ(first.substr(0, temp.size()), temp);
    const std::wstring name = first.substr(temp.size());
    EXPECT_EQ(name.substr(0, 2), L"ov");
    EXPECT_EQ(name.substr(name.size() - 4), L".tmp");
    EXPECT_FALSE(PathExists(first)); // only the name is used
}

struct BackupCase {
    const char* name;
    BackupMode mode;
    DWORD attributes;
};

void PrintTo(const BackupCase& c, std::ostream* os)
{
    *os << c.name;
}

class Backup : public testing::TestWithParam<BackupCase> {};

TEST_P(Backup, KeepsContentAndAttributes)
{
    ScratchFolder root(L"backup");
    const std::wstring file = root / L"data.bin";
    const std::string content("line one\r\nline two\0binary\xff", 26);
    ASSERT_TRUE(WriteFileWithAttributes(file, content, GetParam().attributes));
    const DWORD attributes = GetFileAttributesW(file.c_str());

    const std::wstring backup = InstallJournal::MakeBackup(file.c_str(), GetParam().mode);
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(ReadWholeFile(backup), content);
    EXPECT_EQ(GetFileAttributesW(backup.c_str()), attributes);
    if (GetParam().mode == BackupMode::Copy) {
        EXPECT_EQ(ReadWholeFile(file), content);
        EXPECT_EQ(GetFileAttributesW(file.c_str()), attributes);
    } else {
        EXPECT_FALSE(PathExists(file));
    }
    SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(backup.c_str());
}

INSTANTIATE_TEST_SUITE_P(Journal, Backup,
                         testing::Values(BackupCase{"MovePlain", BackupMode::Move, FILE_ATTRIBUTE_ARCHIVE},
                                         BackupCase{"MoveReadOnly", BackupMode::Move,
                                                    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
                                         BackupCase{"CopyPlain", BackupMode::Copy, FILE_ATTRIBUTE_ARCHIVE},
                                         BackupCase{"CopyReadOnly", BackupMode::Copy, FILE_ATTRIBUTE_READONLY}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Journal, BackupOfAMissingFileIsEmptyAndLeavesNoTemporaryFile)
{
    ScratchFolder root(L"backupmissing");
    ScratchFolder temp(L"backupmissingtemp");
    TempDirectoryOverride own_temp(temp.path());
    EXPECT_EQ(InstallJournal::MakeBackup((root / L"absent.txt").c_str(), BackupMode::Move), L"");
    EXPECT_EQ(InstallJournal::MakeBackup((root / L"absent.txt").c_str(), BackupMode::Copy), L"");
    // The temporary names reserved on the way were given back.
    EXPECT_TRUE(ovtest::TakeSnapshot(temp.path()).empty());
}

TEST(Journal, TemporaryDirectoryTooLongMakesEveryBackupEmpty)
{
    ScratchFolder root(L"longtemp");
    const std::wstring file = root / L"kept.txt";
    ASSERT_TRUE(WriteFileWithAttributes(file, "earlier content", FILE_ATTRIBUTE_READONLY));
    // 250 characters with the separator GetTempPathW appends: short enough for the call,
    // too long for a temporary file name inside.
    std::wstring long_temp = root.path() + L"\\";
    long_temp.resize(249, L'x');
    InstallJournal journal;
    {
        TempDirectoryOverride temp(long_temp);
        wchar_t buffer[MAX_PATH];
        ASSERT_EQ(GetTempPathW(MAX_PATH, buffer), 250u);
        EXPECT_EQ(InstallJournal::MakeBackup(nullptr, BackupMode::Move), L"");
        EXPECT_EQ(InstallJournal::MakeBackup(file.c_str(), BackupMode::Move), L"");
        journal.BeginFile(file, 0, BackupMode::Move);
    }
    // The file was not touched, and the entry has no backup.
    EXPECT_EQ(ReadWholeFile(file), "earlier content");
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(journal.current_entries.size(), 1u);
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    // A rollback cannot put anything back, so it leaves the earlier file where it is.
    journal.RollBack();
    EXPECT_EQ(ReadWholeFile(file), "earlier content");
}

TEST(Journal, BackupOfALockedFileFailsAndLosesNothing)
{
    ScratchFolder root(L"locked");
    const std::wstring file = root / L"locked.dat";
    ASSERT_TRUE(WriteFileWithAttributes(file, "in use", FILE_ATTRIBUTE_READONLY));
    HANDLE lock = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    InstallJournal journal;
    journal.BeginFile(file, 0, BackupMode::Move);
    const bool moved_away = !PathExists(file);
    CloseHandle(lock);
    if (moved_away) {
        // Renaming an open file is allowed where the file system ignores the missing
        // delete sharing: then the backup exists and must put the file back.
        journal.RollBack();
        EXPECT_EQ(ReadWholeFile(file), "in use");
        GTEST_SKIP() << "this file system renamed a file opened without FILE_SHARE_DELETE";
    }
    ASSERT_EQ(journal.current_entries.size(), 1u);
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    // The attributes were given back after the failed attempt.
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    journal.RollBack();
    EXPECT_EQ(ReadWholeFile(file), "in use");
}

// ---------------------------------------------------------------------------------------------
// Begun and completed actions

TEST(Journal, FileIntoAFolderWhoseParentExistsRecordsOneFolderThenTheFile)
{
    ScratchFolder root(L"beginfile");
    ASSERT_TRUE(CreateDirectoryW((root / L"A").c_str(), nullptr));
    InstallJournal journal;
    journal.BeginFile(root / L"A\\B\\prog.exe", 1, BackupMode::Move);
    EXPECT_TRUE(journal.pending);
    EXPECT_EQ(Entries(journal), (std::vector<Recorded>{Folder(root / L"A\\B"),
                                                       {JournalEntryKind::File, root / L"A\\B\\prog.exe", false, 1}}));
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    EXPECT_TRUE(IsDirectory(root / L"A\\B"));
}

TEST(Journal, FileWhoseFolderCannotBeCreatedFailsOnItsOwnAndRollBackLeavesNothing)
{
    ScratchFolder root(L"nofolder");
    ASSERT_TRUE(WriteFileWithAttributes(root / L"Blocked", "a file where a folder should go"));
    const auto before = ovtest::TakeSnapshot(root.path());
    InstallJournal journal;
    PlaceFile(journal, root / L"Made\\first.txt", "first");
    journal.BeginFile(root / L"Blocked\\Sub\\file.txt", 0, BackupMode::Move);
    // The placement cannot open the file in a folder that is not there.
    EXPECT_FALSE(WriteFileWithAttributes(root / L"Blocked\\Sub\\file.txt", "never written"));
    journal.ClosePending(false);
    EXPECT_EQ(Entries(journal),
              (std::vector<Recorded>{Folder(root / L"Made"), {JournalEntryKind::File, root / L"Made\\first.txt", true, 0},
                                     {JournalEntryKind::File, root / L"Blocked\\Sub\\file.txt", false, 0}}));
    journal.RollBack();
    EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");
}

TEST(Journal, CopyModeLeavesTheFileAndPutsAnIdenticalCopyInTheTemporaryDirectory)
{
    ScratchFolder root(L"copymode");
    const std::wstring file = root / L"shared.cfg";
    ASSERT_TRUE(WriteFileWithAttributes(file, "user settings"));
    InstallJournal journal;
    journal.BeginFile(file, 3, BackupMode::Copy);
    journal.ClosePending(true);
    const JournalEntry& entry = journal.current_entries.back();
    EXPECT_TRUE(entry.ok);
    EXPECT_EQ(entry.value, 3);
    EXPECT_EQ(ReadWholeFile(file), "user settings");
    ASSERT_FALSE(entry.backup.empty());
    EXPECT_EQ(entry.backup.substr(0, TempDirectory().size()), TempDirectory());
    EXPECT_EQ(ReadWholeFile(entry.backup), "user settings");
    DeleteFileW(entry.backup.c_str());
}

TEST(Journal, CompleteActsOnlyOnAPendingAction)
{
    InstallJournal journal;
    journal.Complete(true, L"ignored");
    EXPECT_TRUE(journal.current_entries.empty());

    journal.BeginRegistration();
    ASSERT_TRUE(journal.pending);
    journal.Complete(true);
    EXPECT_FALSE(journal.pending);
    EXPECT_EQ(Entries(journal), (std::vector<Recorded>{{JournalEntryKind::Registration, L"", true, -1}}));

    // Nothing pending any more: neither ok nor path change.
    journal.Complete(false, L"C:\\elsewhere");
    journal.ClosePending(false);
    EXPECT_EQ(Entries(journal), (std::vector<Recorded>{{JournalEntryKind::Registration, L"", true, -1}}));

    journal.BeginRegistration();
    journal.Complete(false, L"C:\\given\\path.lnk");
    EXPECT_EQ(Entries(journal).back(), (Recorded{JournalEntryKind::Registration, L"C:\\given\\path.lnk", false, -1}));
}

TEST(Journal, AFolderStandingWhereTheFileGoesIsNotMovedAway)
{
    ScratchFolder root(L"folderfile");
    ASSERT_TRUE(CreateDirectoryW((root / L"target").c_str(), nullptr));
    ASSERT_TRUE(WriteFileWithAttributes(root / L"target\\inside.txt", "keep"));
    const auto before = ovtest::TakeSnapshot(root.path());
    InstallJournal journal;
    journal.BeginFile(root / L"target", 0, BackupMode::Move);
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    journal.ClosePending(false);
    journal.RollBack();
    EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");
}

// ---------------------------------------------------------------------------------------------
// RollBack

TEST(Journal, RollBackRestoresTheTreeExactly)
{
    ScratchFolder root(L"rollback");
    const std::wstring install = root / L"Program Files\\Orvane & Drey\\Vestrilo 1";
    ASSERT_TRUE(CreateDirectoryW((root / L"Program Files").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root / L"Program Files\\Other").c_str(), nullptr));
    ASSERT_TRUE(WriteFileWithAttributes(root / L"Program Files\\Other\\tool.exe", "other product"));
    // An earlier installation: a read-only program, a hidden data file, a plain one.
    ASSERT_TRUE(CreateDirectoryW((root / L"Program Files\\Orvane & Drey").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(install.c_str(), nullptr));
    ASSERT_TRUE(WriteFileWithAttributes(install + L"\\Vestrilo.exe", std::string(70000, 'v'),
                                        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteFileWithAttributes(install + L"\\settings.dat", "user data", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteFileWithAttributes(install + L"\\readme.txt", "old readme"));
    const ovtest::TreeSnapshot before = ovtest::TakeSnapshot(root.path());
    ASSERT_EQ(before.size(), 8u);
    ScratchFolder temp(L"rollbacktemp");
    TempDirectoryOverride own_temp(temp.path());

    InstallJournal journal;
    std::vector<std::wstring> backups;
    PlaceFile(journal, install + L"\\Vestrilo.exe", "new program");
    backups.push_back(journal.current_entries.back().backup);
    // Shared data adopted in copy mode, then made writable for everyone.
    journal.BeginFile(install + L"\\settings.dat", 3, BackupMode::Copy);
    journal.ClosePending(true);
    backups.push_back(journal.current_entries.back().backup);
    PlaceFile(journal, install + L"\\Plugins\\Codecs\\codec.dll", "new codec");
    PlaceFile(journal, root / L"Samples\\Vestrilo Examples\\Example_1.vsx", "sample", 4);
    PlaceFile(journal, install + L"\\readme.txt", "new readme");
    backups.push_back(journal.current_entries.back().backup);
    // The next file breaks off half-written: the placement closes it as failed.
    journal.BeginFile(install + L"\\Plugins\\broken.dll", 0, BackupMode::Move);
    ASSERT_TRUE(WriteFileWithAttributes(install + L"\\Plugins\\broken.dll", "hal"));
    journal.ClosePending(false);
    for (const std::wstring& backup : backups) {
        ASSERT_TRUE(PathExists(backup));
        ASSERT_EQ(backup.substr(0, temp.path().size()), temp.path());
    }
    ASSERT_NE(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");

    journal.RollBack();
    EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");
    EXPECT_TRUE(journal.current_entries.empty());
    // Every backup went back: the temporary directory holds nothing.
    EXPECT_TRUE(ovtest::TakeSnapshot(temp.path()).empty());
}

TEST(Journal, RollBackAfterTheThirdFileOfAFreshInstallationRemovesFilesThenFolders)
{
    ScratchFolder root(L"fresh");
    const std::wstring install = root / L"Orvane & Drey\\Vestrilo 1";
    const ovtest::TreeSnapshot before = ovtest::TakeSnapshot(root.path());
    InstallJournal journal;
    PlaceFile(journal, install + L"\\Uninstall.exe", "uninstaller", 2);
    PlaceFile(journal, install + L"\\Vestrilo.exe", "program", 1);
    journal.BeginFile(install + L"\\Data\\big.dat", 0, BackupMode::Move);
    ASSERT_TRUE(WriteFileWithAttributes(install + L"\\Data\\big.dat", "part"));
    journal.ClosePending(false);
    EXPECT_EQ(Entries(journal),
              (std::vector<Recorded>{Folder(root / L"Orvane & Drey"), Folder(install),
                                     {JournalEntryKind::File, install + L"\\Uninstall.exe", true, 2},
                                     {JournalEntryKind::File, install + L"\\Vestrilo.exe", true, 1},
                                     Folder(install + L"\\Data"),
                                     {JournalEntryKind::File, install + L"\\Data\\big.dat", false, 0}}));
    journal.RollBack();
    EXPECT_TRUE(ovtest::TakeSnapshot(root.path()).empty())
        << ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path()));
}

struct StuckBackupCase {
    const char* name;
    BackupMode mode;
    bool written; // the placement wrote new content over the path
};

void PrintTo(const StuckBackupCase& c, std::ostream* os)
{
    *os << c.name;
}

class StuckBackup : public testing::TestWithParam<StuckBackupCase> {};

// A backup that cannot be moved back (another program holds it open) must not cost the user's
// file: an adopted file stays in place untouched, and a replaced file's earlier content stays
// in the backup.
TEST_P(StuckBackup, RollBackLosesNoEarlierFile)
{
    ScratchFolder root(L"stuck");
    ScratchFolder temp(L"stucktemp");
    TempDirectoryOverride own_temp(temp.path());
    const std::wstring file = root / L"user.cfg";
    ASSERT_TRUE(WriteFileWithAttributes(file, "user settings", FILE_ATTRIBUTE_READONLY));
    InstallJournal journal;
    journal.BeginFile(file, GetParam().mode == BackupMode::Copy ? 3 : 0, GetParam().mode);
    if (GetParam().written) {
        ASSERT_TRUE(WriteFileWithAttributes(file, "new content"));
    }
    journal.ClosePending(true);
    const std::wstring backup = journal.current_entries.back().backup;
    ASSERT_FALSE(backup.empty());

    HANDLE lock = CreateFileW(backup.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    journal.RollBack();
    CloseHandle(lock);
    EXPECT_TRUE(journal.current_entries.empty());
    if (!PathExists(backup)) {
        EXPECT_EQ(ReadWholeFile(file), "user settings");
        GTEST_SKIP() << "this file system moved a file held open without FILE_SHARE_DELETE";
    }
    EXPECT_EQ(ReadWholeFile(backup), "user settings");
    EXPECT_EQ(GetFileAttributesW(backup.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    if (!GetParam().written) {
        EXPECT_EQ(ReadWholeFile(file), "user settings");
        EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    }
    SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(backup.c_str());
}

INSTANTIATE_TEST_SUITE_P(Journal, StuckBackup,
                         testing::Values(StuckBackupCase{"AdoptedInCopyMode", BackupMode::Copy, false},
                                         StuckBackupCase{"ReplacedInMoveMode", BackupMode::Move, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Journal, RollBackKeepsACreatedFolderThatSomeoneElseFilled)
{
    ScratchFolder root(L"foreign");
    InstallJournal journal;
    PlaceFile(journal, root / L"New\\file.txt", "ours");
    ASSERT_TRUE(WriteFileWithAttributes(root / L"New\\theirs.txt", "someone else's"));
    journal.RollBack();
    EXPECT_FALSE(PathExists(root / L"New\\file.txt"));
    EXPECT_EQ(ReadWholeFile(root / L"New\\theirs.txt"), "someone else's");
}

TEST(Journal, RollBackLeavesThePendingFlagAndIgnoresEntriesWithoutPath)
{
    ScratchFolder root(L"pending");
    InstallJournal journal;
    journal.BeginShortcut(JournalEntryKind::ProgramShortcut, root / L"Menu");
    journal.BeginRegistration();
    ASSERT_TRUE(journal.pending);
    journal.RollBack();
    EXPECT_TRUE(journal.pending);
    EXPECT_TRUE(journal.current_entries.empty());
    EXPECT_FALSE(PathExists(root / L"Menu"));
    EXPECT_TRUE(PathExists(root.path()));
}

// ---------------------------------------------------------------------------------------------
// Shortcuts of the previous installation

TEST(Journal, ShortcutOfTheSameKindInThePreviousLogIsMovedToABackupAndRestoredByRollBack)
{
    ScratchFolder root(L"prevshortcut");
    const std::wstring menu = root / L"Menu";
    ASSERT_TRUE(CreateDirectoryW(menu.c_str(), nullptr));
    ASSERT_TRUE(WriteFileWithAttributes(menu + L"\\Vestrilo 1.21.lnk", "old program link"));
    ASSERT_TRUE(WriteFileWithAttributes(menu + L"\\Uninstall Vestrilo.lnk", "old uninstall link"));
    ASSERT_TRUE(WriteFileWithAttributes(menu + L"\\Later.lnk", "later entry of the same kind"));
    const ovtest::TreeSnapshot before = ovtest::TakeSnapshot(root.path());

    InstallJournal journal;
    auto previous = [&](JournalEntryKind kind, const std::wstring& path) {
        JournalEntry entry;
        entry.kind = kind;
        entry.path = path;
        entry.ok = true;
        journal.previous_entries.push_back(entry);
    };
    previous(JournalEntryKind::Directory, menu);
    previous(JournalEntryKind::ProgramShortcut, menu + L"\\Vestrilo 1.21.lnk");
    previous(JournalEntryKind::ProgramShortcut, menu + L"\\Later.lnk");
    previous(JournalEntryKind::DesktopShortcut, root / L"Desktop\\Gone.lnk");

    journal.BeginShortcut(JournalEntryKind::ProgramShortcut, menu);
    const std::wstring program_backup = journal.current_entries.back().backup;
    ASSERT_FALSE(program_backup.empty());
    EXPECT_EQ(ReadWholeFile(program_backup), "old program link");
    EXPECT_FALSE(PathExists(menu + L"\\Vestrilo 1.21.lnk"));
    EXPECT_TRUE(PathExists(menu + L"\\Later.lnk")); // only the oldest of the kind
    ASSERT_TRUE(WriteFileWithAttributes(menu + L"\\Vestrilo 1.22.lnk", "new link"));
    journal.Complete(true, menu + L"\\Vestrilo 1.22.lnk");

    // No previous uninstaller shortcut listed: nothing is moved although a file exists.
    journal.BeginShortcut(JournalEntryKind::UninstallShortcut, menu);
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    journal.ClosePending(false);
    // The previous desktop shortcut no longer exists.
    journal.BeginShortcut(JournalEntryKind::DesktopShortcut, root / L"Desktop");
    EXPECT_EQ(journal.current_entries.back().backup, L"");
    journal.ClosePending(false);
    EXPECT_EQ(Entries(journal),
              (std::vector<Recorded>{{JournalEntryKind::ProgramShortcut, menu + L"\\Vestrilo 1.22.lnk", true, -1},
                                     {JournalEntryKind::UninstallShortcut, L"", false, -1},
                                     Folder(root / L"Desktop"),
                                     {JournalEntryKind::DesktopShortcut, L"", false, -1}}));

    journal.RollBack();
    // The old shortcut is back under its own name, the new one is gone.
    EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root.path())), "");
    EXPECT_FALSE(PathExists(program_backup));
}
