// The uninstall log against the real file system of the Wine prefix: the written file byte for
// byte, reading it back, the merge with a previous log, damaged and cut logs, SamePath.
#include "engine/uninstall_log.hpp"

#include "support/identity.hpp"
#include "tests/common/tree_snapshot.hpp"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <iterator>
#include <list>
#include <string>
#include <vector>

using namespace ov;
using ovtest::PathExists;
using ovtest::ReadWholeFile;
using ovtest::ScratchFolder;
using ovtest::WriteFileWithAttributes;

namespace {

// The file as the installer writes it: byte order mark, then UTF-16 little-endian.
std::string Utf16File(const std::wstring& text, bool mark = true) {
    std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
    for (const wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? path : L"";
}

JournalEntry Entry(JournalEntryKind kind, std::wstring path, bool ok = true, int value = -1) {
    JournalEntry entry;
    entry.kind = kind;
    entry.path = std::move(path);
    entry.ok = ok;
    entry.value = value;
    return entry;
}

std::vector<std::wstring> Paths(const std::list<JournalEntry>& entries) {
    std::vector<std::wstring> paths;
    for (const auto& entry : entries) {
        paths.push_back(entry.path);
    }
    return paths;
}

// The log of a first installation with the default folders, where the archive holds the
// uninstaller, the main program and one sample file, both start-menu shortcuts are made, no
// desktop shortcut, and the registration run succeeds.
const wchar_t kExampleLog[] =
    L"// Uninstall Log File v1\r\n"
    L"// ############ WARNING: Do not delete or modify this file. ############\r\n"
    L"// Install Vestrilo 1.22\r\n"
    L"// Install Path : C:\\Program Files\\Orvane & Drey\\Vestrilo 1\r\n"
    L"// Shortcut Path : C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvane & Drey\\Vestrilo 1\r\n"
    L"// ---------------------------------------------------------------------------------------------\r\n"
    L"0000:00ff:1 -- C:\\Program Files\\Orvane & Drey\r\n"
    L"0001:00ff:1 -- C:\\Program Files\\Orvane & Drey\\Vestrilo 1\r\n"
    L"0002:0102:1 -- C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Uninstall.exe\r\n"
    L"0003:0101:1 -- C:\\Program Files\\Orvane & Drey\\Vestrilo 1\\Vestrilo.exe\r\n"
    L"0004:00ff:1 -- C:\\Users\\Public\\Desktop\\Vestrilo Examples\r\n"
    L"0005:0104:1 -- C:\\Users\\Public\\Desktop\\Vestrilo Examples\\Example_1.vsx\r\n"
    L"0006:00ff:1 -- C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvane & Drey\r\n"
    L"0007:00ff:1 -- C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvane & Drey\\Vestrilo 1\r\n"
    L"0008:02ff:1 -- C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvane & Drey\\Vestrilo 1\\Vestrilo "
    L"1.22.lnk\r\n"
    L"0009:03ff:1 -- C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvane & Drey\\Vestrilo "
    L"1\\Uninstall Vestrilo.lnk\r\n"
    L"0010:05ff:1 -- HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vestrilo 1\r\n"
    L"0011:06ff:1 -- HKEY_CLASSES_ROOT\\...\r\n";

// The folders of the example on some machine.
struct ExampleFolders {
    std::wstring program_files = L"C:\\Program Files";
    std::wstring desktop = L"C:\\Users\\Public\\Desktop";
    std::wstring programs = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

    std::wstring Install() const { return program_files + L"\\Orvane & Drey\\Vestrilo 1"; }
    std::wstring Shortcuts() const { return programs + L"\\Orvane & Drey\\Vestrilo 1"; }

    // The example's journal, as the installation records it (the registry entries' paths are
    // still empty; WriteLog fills them in).
    void Record(InstallJournal& journal) const {
        const std::wstring maker = program_files + L"\\Orvane & Drey";
        const std::wstring samples = desktop + L"\\Vestrilo Examples";
        auto& e = journal.current_entries;
        e.push_back(Entry(JournalEntryKind::Directory, maker));
        e.push_back(Entry(JournalEntryKind::Directory, Install()));
        e.push_back(Entry(JournalEntryKind::File, Install() + L"\\Uninstall.exe", true, 2));
        e.push_back(Entry(JournalEntryKind::File, Install() + L"\\Vestrilo.exe", true, 1));
        e.push_back(Entry(JournalEntryKind::Directory, samples));
        e.push_back(Entry(JournalEntryKind::File, samples + L"\\Example_1.vsx", true, 4));
        e.push_back(Entry(JournalEntryKind::Directory, programs + L"\\Orvane & Drey"));
        e.push_back(Entry(JournalEntryKind::Directory, Shortcuts()));
        e.push_back(Entry(JournalEntryKind::ProgramShortcut, Shortcuts() + L"\\Vestrilo 1.22.lnk"));
        e.push_back(Entry(JournalEntryKind::UninstallShortcut, Shortcuts() + L"\\Uninstall Vestrilo.lnk"));
        JournalEntry key = Entry(JournalEntryKind::UninstallKey, L"");
        key.key_name = GetUninstallKeyName();
        e.push_back(key);
        e.push_back(Entry(JournalEntryKind::Registration, L""));
    }

    // The example file with these folders in place of the example's.
    std::wstring ExpectedLog() const {
        const ExampleFolders original;
        std::wstring text = kExampleLog;
        const std::wstring dashes = L"// " + std::wstring(93, L'-') + L"\r\n";
        text = Replace(text, dashes, L"// " + std::wstring(16 + Shortcuts().size(), L'-') + L"\r\n");
        text = Replace(text, original.program_files, program_files);
        text = Replace(text, original.desktop, desktop);
        text = Replace(text, original.programs, programs);
        return text;
    }
};

// Creates the missing folders of `path` and removes them again, deepest first.
class MadeFolders {
public:
    explicit MadeFolders(const std::wstring& path) {
        for (std::size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
            const std::wstring part = path.substr(0, at);
            if (!PathIsDirectoryW(part.c_str()) && CreateDirectoryW(part.c_str(), nullptr)) {
                made_.push_back(part);
            }
            if (at == std::wstring::npos) {
                break;
            }
        }
    }
    ~MadeFolders() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            RemoveDirectoryW(it->c_str());
        }
    }

private:
    std::vector<std::wstring> made_;
};

} // namespace

TEST(WriteLog, ReproducesTheExampleFileByteForByte) {
    ScratchFolder scratch(L"ulog-example");
    const std::wstring log = scratch / L"Uninstall.ulog";
    const ExampleFolders example;
    InstallJournal journal;
    example.Record(journal);

    ASSERT_TRUE(WriteLog(journal, log, example.Install(), example.Shortcuts()));
    EXPECT_EQ(ReadWholeFile(log), Utf16File(kExampleLog));
}

TEST(WriteLog, WritesThePrefixsOwnFoldersReadOnlyAndReadsThemBack) {
    ExampleFolders here;
    here.program_files = SpecialFolder(CSIDL_PROGRAM_FILES);
    here.desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    here.programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    ASSERT_FALSE(here.program_files.empty() || here.desktop.empty() || here.programs.empty());

    ScratchFolder scratch(L"ulog-prefix");
    const std::wstring log = scratch / L"Uninstall.ulog";
    InstallJournal journal;
    here.Record(journal);
    // Two backups the installation took; writing the log deletes them.
    const std::wstring backups[] = {scratch / L"ov1.tmp", scratch / L"ov2.tmp"};
    ASSERT_TRUE(WriteFileWithAttributes(backups[0], "old program", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteFileWithAttributes(backups[1], "old link"));
    std::next(journal.current_entries.begin(), 3)->backup = backups[0];
    std::next(journal.current_entries.begin(), 8)->backup = backups[1];

    ASSERT_TRUE(WriteLog(journal, log, here.Install(), here.Shortcuts()));
    EXPECT_EQ(ReadWholeFile(log), Utf16File(here.ExpectedLog()));
    const DWORD attributes = GetFileAttributesW(log.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    for (const auto& backup : backups) {
        EXPECT_FALSE(PathExists(backup));
    }
    for (const auto& entry : journal.current_entries) {
        EXPECT_TRUE(entry.backup.empty());
    }
    EXPECT_EQ(journal.current_entries.back().path, RegistrationLogPath);

    // Read back while the two folders exist, so that they are proposed again.
    MadeFolders install(here.Install());
    MadeFolders shortcuts(here.Shortcuts());
    InstallJournal next;
    ReadLog(next, log.c_str());
    EXPECT_EQ(next.previous_product_title, L"Vestrilo 1.22");
    EXPECT_EQ(next.previous_install_folder, here.Install());
    EXPECT_EQ(next.previous_shortcut_folder, here.Shortcuts());
    ASSERT_EQ(next.previous_entries.size(), journal.current_entries.size());
    auto written = journal.current_entries.begin();
    for (const auto& read : next.previous_entries) {
        EXPECT_EQ(read.kind, written->kind);
        EXPECT_EQ(read.value, written->value);
        EXPECT_EQ(read.ok, written->ok);
        const bool registry = read.kind == JournalEntryKind::UninstallKey || read.kind == JournalEntryKind::Registration;
        EXPECT_EQ(read.path, registry ? L"" : written->path);
        EXPECT_TRUE(read.backup.empty());
        ++written;
    }
}

TEST(WriteLog, LeavesTheLogReadOnlyArchiveAndNotContentIndexed) {
    ScratchFolder scratch(L"ulog-attributes");
    const std::wstring log = scratch / L"Uninstall.ulog";
    InstallJournal journal;
    ASSERT_TRUE(WriteLog(journal, log, L"C:\\A", L"C:\\B"));
    const DWORD attributes = GetFileAttributesW(log.c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    // Does this file system keep the indexing attribute at all?
    const std::wstring probe = scratch / L"probe";
    ASSERT_TRUE(WriteFileWithAttributes(probe, "p", FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    if (!(GetFileAttributesW(probe.c_str()) & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) {
        GTEST_SKIP() << "the file system (Wine) does not keep FILE_ATTRIBUTE_NOT_CONTENT_INDEXED";
    }
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
}

TEST(WriteLog, AllFourFieldsOfAnEntryLine) {
    struct Case {
        JournalEntryKind kind;
        int value;
        bool ok;
        std::size_t index;
        const wchar_t* line;
    } cases[] = {
        {JournalEntryKind::Directory, -1, true, 0, L"0000:00ff:1 -- P"},
        {JournalEntryKind::File, 0, false, 7, L"0007:0100:0 -- P"},
        {JournalEntryKind::File, 5, true, 12345, L"12345:0105:1 -- P"},
        {JournalEntryKind::DesktopShortcut, -1, false, 10, L"0010:04ff:0 -- P"},
        {JournalEntryKind::Registration, -1, true, 999, L"0999:06ff:1 -- P"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatLogEntryLine(c.index, Entry(c.kind, L"P", c.ok, c.value)), c.line);
    }
}

TEST(WriteLog, MergesThePreviousLogAndCarriesTheTitleBeforeItsUpdatePart) {
    ScratchFolder scratch(L"ulog-merge");
    const std::wstring app = scratch / L"App";
    ASSERT_TRUE(CreateDirectoryW(app.c_str(), nullptr));
    ASSERT_TRUE(WriteFileWithAttributes(app + L"\\Both.exe", "x"));
    const std::wstring log = app + L"\\Uninstall.ulog";
    // The previous installation's log: an update of 1.20 to 1.21.
    const std::wstring previous =
        L"// Uninstall Log File v1\r\n// w\r\n// Install Vestrilo 1.21 -- Update (Vestrilo 1.20)\r\n"
        L"// Install Path : " + app + L"\r\n// Shortcut Path : C:\\Nowhere\\x\r\n// -----\r\n"
        L"0000:00ff:1 -- " + app + L"\r\n"
        L"0001:0100:1 -- " + app + L"\\Only old.dat\r\n"
        L"0002:0101:0 -- " + app + L"\\Both.exe\r\n"
        L"0003:0100:1 -- " + scratch.path() + L"\\Gone\\Missing.txt\r\n"
        L"0004:02ff:1 -- C:\\Nowhere\\x\\Old.lnk\r\n"
        L"0005:05ff:1 -- HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vestrilo 1\r\n";
    ASSERT_TRUE(WriteFileWithAttributes(log, Utf16File(previous), FILE_ATTRIBUTE_READONLY));

    InstallJournal journal;
    ReadLog(journal, log.c_str());
    EXPECT_EQ(journal.previous_product_title, L"Vestrilo 1.21");
    EXPECT_EQ(journal.previous_install_folder, app);
    EXPECT_EQ(journal.previous_shortcut_folder, L""); // does not exist
    ASSERT_EQ(journal.previous_entries.size(), 6u);

    // This run: the same folder and program (named differently, the same file), a file in a
    // folder that does not exist written in another case, a new file, a new Uninstall key.
    auto& e = journal.current_entries;
    e.push_back(Entry(JournalEntryKind::Directory, app + L"\\.\\"));
    e.push_back(Entry(JournalEntryKind::File, Replace(app, L"\\App", L"\\app") + L"\\BOTH.EXE", true, 1));
    e.push_back(Entry(JournalEntryKind::File, scratch.path() + L"\\gone\\..\\Gone\\MISSING.txt", true, 0));
    e.push_back(Entry(JournalEntryKind::File, app + L"\\New.dll", true, 0));
    JournalEntry key = Entry(JournalEntryKind::UninstallKey, L"");
    key.key_name = L"Vestrilo 1";
    e.push_back(key);

    ASSERT_TRUE(WriteLog(journal, log, app, L"C:\\Menu"));
    EXPECT_TRUE(journal.previous_entries.empty());
    const std::vector<std::wstring> expected = {
        app + L"\\Only old.dat",
        L"C:\\Nowhere\\x\\Old.lnk",
        app + L"\\.\\",
        Replace(app, L"\\App", L"\\app") + L"\\BOTH.EXE",
        scratch.path() + L"\\gone\\..\\Gone\\MISSING.txt",
        app + L"\\New.dll",
        std::wstring(UninstallKeyLogPrefix) + L"Vestrilo 1",
    };
    EXPECT_EQ(Paths(journal.current_entries), expected);

    const std::string file = ReadWholeFile(log);
    const std::wstring title = L"// Install Vestrilo 1.22 -- Update (Vestrilo 1.21)\r\n";
    EXPECT_NE(file.find(Utf16File(title, false)), std::string::npos);
    const std::wstring both = L"\r\n0003:0101:1 -- " + Replace(app, L"\\App", L"\\app") + L"\\BOTH.EXE\r\n";
    EXPECT_NE(file.find(Utf16File(both, false)), std::string::npos);
    EXPECT_EQ(file.find(Utf16File(L"05ff", false)), file.rfind(Utf16File(L"05ff", false))); // one key entry
}

TEST(WriteLog, ASecondWriteInTheSameProcessHasNoPreviousEntriesLeft) {
    ScratchFolder scratch(L"ulog-twice");
    const std::wstring log = scratch / L"Uninstall.ulog";
    InstallJournal journal;
    journal.previous_entries.push_back(Entry(JournalEntryKind::File, L"C:\\Old\\a.txt", true, 0));
    journal.current_entries.push_back(Entry(JournalEntryKind::File, L"C:\\New\\b.txt", true, 0));
    ASSERT_TRUE(WriteLog(journal, log, L"C:\\New", L"C:\\Menu"));
    ASSERT_TRUE(WriteLog(journal, log, L"C:\\New", L"C:\\Menu")); // the read-only log is rewritten
    EXPECT_EQ(ReadLogFile(log).entries.size(), 2u);
}

TEST(WriteLog, KeepsAPreviousLogItCannotReadInFull) {
    ScratchFolder scratch(L"ulog-damaged");
    const std::wstring log = scratch / L"Uninstall.ulog";
    const std::string header = Utf16File(L"// Uninstall Log File v1\r\n// w\r\n// Install V\r\n");
    struct Case {
        const char* what;
        std::string bytes;
        bool kept;
    } cases[] = {
        {"cut inside an entry", header + Utf16File(L"0000:0100:1 -- C:\\a\r\n0001:0100:1 -- C:\\b.t", false), true},
        {"unknown format version", Utf16File(L"// Uninstall Log File v2\r\n0000:0100:1 -- C:\\a\r\n"), true},
        {"kind 7", header + Utf16File(L"0000:0700:1 -- C:\\a\r\n", false), true},
        {"not a log at all", std::string("MZ\x90\0\x03", 5), true},
        {"complete log", header + Utf16File(L"0000:0100:1 -- C:\\a\r\n", false), false},
    };
    int kept = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileWithAttributes(log, c.bytes, FILE_ATTRIBUTE_READONLY)) << c.what;
        InstallJournal journal;
        journal.current_entries.push_back(Entry(JournalEntryKind::File, L"C:\\New\\b.txt", true, 0));
        EXPECT_TRUE(WriteLog(journal, log, L"C:\\New", L"C:\\Menu")) << c.what;
        EXPECT_EQ(ReadLogFile(log).entries.size(), 1u) << c.what;
        if (c.kept) {
            ++kept;
            const std::wstring name = log + L".damaged" + (kept > 1 ? L"." + std::to_wstring(kept) : L"");
            ASSERT_TRUE(PathExists(name)) << c.what;
            EXPECT_EQ(ReadWholeFile(name), c.bytes) << c.what;
        }
        EXPECT_FALSE(PathExists(log + L".damaged." + std::to_wstring(kept + 1))) << c.what;
    }
}

TEST(WriteLog, FailsWhenTheFileCannotBeCreatedAndStillMergesAndDeletesBackups) {
    ScratchFolder scratch(L"ulog-fail");
    const std::wstring backup = scratch / L"ov3.tmp";
    ASSERT_TRUE(WriteFileWithAttributes(backup, "old"));
    const std::wstring locked = scratch / L"Locked.ulog";
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::wstring targets[] = {scratch / L"No such folder\\Uninstall.ulog", locked};
    for (const auto& target : targets) {
        InstallJournal journal;
        journal.previous_entries.push_back(Entry(JournalEntryKind::File, L"C:\\Old\\a.txt", true, 0));
        journal.current_entries.push_back(Entry(JournalEntryKind::File, L"C:\\New\\b.txt", true, 0));
        journal.current_entries.back().backup = backup;
        EXPECT_FALSE(WriteLog(journal, target, L"C:\\New", L"C:\\Menu"));
        EXPECT_EQ(journal.current_entries.size(), 2u);
        EXPECT_TRUE(journal.previous_entries.empty());
        EXPECT_TRUE(journal.current_entries.back().backup.empty());
        EXPECT_FALSE(PathExists(backup));
        ASSERT_TRUE(WriteFileWithAttributes(backup, "old"));
    }
    CloseHandle(holder);
    EXPECT_EQ(ReadWholeFile(locked), ""); // untouched
}

TEST(ReadLog, EndsQuietlyAtDamageAndKeepsWhatCameBefore) {
    ScratchFolder scratch(L"ulog-read");
    const std::wstring log = scratch / L"Uninstall.ulog";
    const std::wstring header = L"// Uninstall Log File v1\r\n// w\r\n// Install Vestrilo 1.21\r\n// Install Path : " +
                                scratch.path() + L"\r\n// Shortcut Path : " + scratch.path() + L"\r\n// --\r\n";
    const std::wstring first = L"0000:0101:1 -- C:\\A\\first.exe\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t entries;
        const wchar_t* title;
    } cases[] = {
        {"whole", Utf16File(header + first + L"0001:0100:0 -- C:\\A\\b\r\n"), 2, L"Vestrilo 1.21"},
        {"kind 7", Utf16File(header + first + L"0001:07ff:1 -- C:\\x\r\n" + first), 1, L"Vestrilo 1.21"},
        {"cut", Utf16File(header + first + L"0001:0100:1 -- C:\\A\\lon"), 1, L"Vestrilo 1.21"},
        {"cut in half a code unit", Utf16File(header + first).substr(0, Utf16File(header + first).size() - 1), 0,
         L"Vestrilo 1.21"},
        {"version 2", Utf16File(Replace(header, L"File v1", L"File v2") + first), 0, L""},
        {"first line not the version", Utf16File(L"// Log\r\n" + header + first), 0, L""},
        {"over-long line", Utf16File(header + first + L"0001:0100:1 -- C:\\" + std::wstring(700, L'x') + L"\r\n"), 1,
         L"Vestrilo 1.21"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileWithAttributes(log, c.bytes, FILE_ATTRIBUTE_READONLY)) << c.what;
        InstallJournal journal;
        journal.previous_install_folder = L"stale";
        ReadLog(journal, log.c_str());
        EXPECT_EQ(journal.previous_entries.size(), c.entries) << c.what;
        EXPECT_EQ(journal.previous_product_title, c.title) << c.what;
        if (c.entries != 0) {
            EXPECT_EQ(journal.previous_entries.front().path, L"C:\\A\\first.exe") << c.what;
            EXPECT_EQ(journal.previous_install_folder, scratch.path()) << c.what;
        } else if (*c.title == 0) {
            EXPECT_EQ(journal.previous_install_folder, L"") << c.what;
        }
    }
}

TEST(ReadLog, AShortcutThatWasNeverMadeDoesNotEndTheReading) {
    // The program shortcut failed: its entry has no path and ok 0. What follows it in the log
    // is still read, and the next installation does not take the log for a damaged one.
    ScratchFolder scratch(L"ulog-failed-shortcut");
    const std::wstring log = scratch / L"Uninstall.ulog";
    InstallJournal journal;
    journal.current_entries.push_back(Entry(JournalEntryKind::File, L"C:\\A\\Vestrilo.exe", true, 1));
    journal.current_entries.push_back(Entry(JournalEntryKind::ProgramShortcut, L"", false));
    journal.current_entries.push_back(Entry(JournalEntryKind::DesktopShortcut, L"C:\\Desk\\Vestrilo 1.22.lnk"));
    JournalEntry key = Entry(JournalEntryKind::UninstallKey, L"");
    key.key_name = L"Vestrilo 1";
    journal.current_entries.push_back(key);
    journal.current_entries.push_back(Entry(JournalEntryKind::Registration, L""));
    ASSERT_TRUE(WriteLog(journal, log, L"C:\\A", L"C:\\Menu"));
    EXPECT_NE(ReadWholeFile(log).find(Utf16File(L"\r\n0001:02ff:0 -- \r\n0002:04ff:1 -- ", false)), std::string::npos);

    InstallJournal next;
    ReadLog(next, log.c_str());
    ASSERT_EQ(next.previous_entries.size(), 5u);
    const auto shortcut = std::next(next.previous_entries.begin());
    EXPECT_EQ(shortcut->kind, JournalEntryKind::ProgramShortcut);
    EXPECT_FALSE(shortcut->ok);
    EXPECT_EQ(shortcut->path, L"");
    EXPECT_EQ(std::next(shortcut)->path, L"C:\\Desk\\Vestrilo 1.22.lnk");

    // The next installation rewrites the log in place; nothing is set aside.
    next.current_entries.push_back(Entry(JournalEntryKind::File, L"C:\\A\\Vestrilo.exe", true, 1));
    ASSERT_TRUE(WriteLog(next, log, L"C:\\A", L"C:\\Menu"));
    EXPECT_FALSE(PathExists(log + L".damaged"));
    EXPECT_EQ(ReadLogFile(log).entries.size(), 5u);
}

TEST(ReadLog, ReadingALogReplacesWhatAnEarlierReadingTook) {
    ScratchFolder scratch(L"ulog-reread");
    const std::wstring first = scratch / L"First.ulog";
    const std::wstring second = scratch / L"Second.ulog";
    ASSERT_TRUE(WriteFileWithAttributes(
        first, Utf16File(L"// Uninstall Log File v1\r\n// w\r\n// Install Vestrilo 1.21\r\n"
                         L"0000:0101:1 -- C:\\A\\a.exe\r\n0001:0100:1 -- C:\\A\\b.dat\r\n")));
    ASSERT_TRUE(WriteFileWithAttributes(second, Utf16File(L"// Uninstall Log File v1\r\n0000:0100:1 -- C:\\B\\c.dat\r\n")));

    InstallJournal journal;
    ReadLog(journal, first.c_str());
    ReadLog(journal, first.c_str());
    EXPECT_EQ(Paths(journal.previous_entries), (std::vector<std::wstring>{L"C:\\A\\a.exe", L"C:\\A\\b.dat"}));
    EXPECT_EQ(journal.previous_product_title, L"Vestrilo 1.21");

    ReadLog(journal, second.c_str()); // no title line
    EXPECT_EQ(Paths(journal.previous_entries), (std::vector<std::wstring>{L"C:\\B\\c.dat"}));
    EXPECT_EQ(journal.previous_product_title, L"");
}

TEST(ReadLog, NoPathOrAMissingFileClearsOnlyTheFolders) {
    for (const wchar_t* path : {static_cast<const wchar_t*>(nullptr), L"Z:\\no\\such\\Uninstall.ulog"}) {
        InstallJournal journal;
        journal.previous_install_folder = L"C:\\x";
        journal.previous_shortcut_folder = L"C:\\y";
        journal.previous_product_title = L"kept";
        ReadLog(journal, path);
        EXPECT_EQ(journal.previous_install_folder, L"");
        EXPECT_EQ(journal.previous_shortcut_folder, L"");
        EXPECT_EQ(journal.previous_product_title, L"kept");
        EXPECT_TRUE(journal.previous_entries.empty());
    }
}

TEST(ReadLog, PathsWithTheByte0AInTheirCodeUnitsSurviveWriteAndRead) {
    ScratchFolder scratch(L"ulog-0a");
    const std::wstring folder = scratch / L"\u4E0A\u010A Donn\u00E9es";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring log = folder + L"\\Uninstall.ulog";
    InstallJournal journal;
    journal.current_entries.push_back(Entry(JournalEntryKind::File, folder + L"\\\u010A.txt", true, 3));
    ASSERT_TRUE(WriteLog(journal, log, folder, folder));
    InstallJournal next;
    ReadLog(next, log.c_str());
    EXPECT_EQ(next.previous_install_folder, folder);
    ASSERT_EQ(next.previous_entries.size(), 1u);
    EXPECT_EQ(next.previous_entries.front().path, folder + L"\\\u010A.txt");
}

TEST(ReadLog, ReadsALogSavedInTheAnsiCodePage) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the prefix's ANSI code page is " << GetACP() << ", the fixture is in 1252";
    }
    ScratchFolder scratch(L"ulog-ansi");
    const std::wstring log = scratch / L"Uninstall.ulog";
    ASSERT_TRUE(WriteFileWithAttributes(
        log, "// Uninstall Log File v1\r\n// w\r\n// Install Vestrilo 1.21\r\n// Install Path : C:\\x\r\n"
             "// Shortcut Path : C:\\y\r\n// --\r\n0000:0104:1 -- C:\\Donn\xE9" "es\\\x80.txt\r\n"));
    InstallJournal journal;
    ReadLog(journal, log.c_str());
    ASSERT_EQ(journal.previous_entries.size(), 1u);
    EXPECT_EQ(journal.previous_entries.front().path, L"C:\\Donn\u00E9es\\\u20AC.txt");
    EXPECT_EQ(journal.previous_entries.front().value, 4);
    EXPECT_EQ(journal.previous_product_title, L"Vestrilo 1.21");
}

TEST(HasInstalledFile, OnlyAnOkFileEntryWithExactlyThatPath) {
    InstallJournal journal;
    journal.previous_entries.push_back(Entry(JournalEntryKind::File, L"C:\\A\\ok.dat", true, 3));
    journal.previous_entries.push_back(Entry(JournalEntryKind::File, L"C:\\A\\failed.dat", false, 3));
    journal.previous_entries.push_back(Entry(JournalEntryKind::Directory, L"C:\\A\\dir", true));
    journal.previous_entries.push_back(Entry(JournalEntryKind::ProgramShortcut, L"C:\\A\\x.lnk", true));
    journal.current_entries.push_back(Entry(JournalEntryKind::File, L"C:\\A\\current.dat", true, 3));
    struct Case {
        const wchar_t* path;
        bool installed;
    } cases[] = {
        {L"C:\\A\\ok.dat", true},   {L"c:\\a\\OK.DAT", false}, {L"C:/A/ok.dat", false},
        {L"C:\\A\\failed.dat", false}, {L"C:\\A\\dir", false},   {L"C:\\A\\x.lnk", false},
        {L"C:\\A\\current.dat", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasInstalledFile(journal, c.path), c.installed) << c.path;
    }
}

TEST(SamePath, ComponentsThenFileIdentityThenTheNormalisedName) {
    ScratchFolder scratch(L"ulog-same");
    const std::wstring a = scratch / L"Alpha.txt";
    const std::wstring b = scratch / L"Beta.txt";
    const std::wstring link = scratch / L"Link.txt";
    ASSERT_TRUE(WriteFileWithAttributes(a, "same size"));
    ASSERT_TRUE(WriteFileWithAttributes(b, "same size"));
    const bool linked = CreateHardLinkW(link.c_str(), a.c_str(), nullptr) != FALSE;
    const std::wstring sub = scratch / L"Sub";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    struct Case {
        std::wstring left, right;
        bool same;
    } cases[] = {
        {a, a, true},
        {a, Replace(a, L"\\", L"/"), true},                    // separators only
        {a, Replace(a, L"Alpha", L"ALPHA"), true},             // the same file
        {a, sub + L"\\..\\Alpha.txt", true},                   // the same file
        {sub, sub + L"\\", true},                              // the same folder
        {a, b, false},                                         // two files, same size
        {a, scratch / L"Missing.txt", false},                  // exactly one exists
        {scratch / L"No\\x.txt", scratch / L"no\\.\\X.TXT", true}, // neither exists
        {scratch / L"No\\x.txt", scratch / L"No\\y\\..\\x.txt", true},
        {scratch / L"No\\x.txt", scratch / L"No\\xx.txt", false},
        {scratch / L"No\\x.txt", scratch / L"No\\x.txt\\y", false},
        {L"relative-missing\\f", L"RELATIVE-missing\\.\\F", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SamePath(c.left, c.right), c.same) << ovtest::Narrow(c.left) << " / " << ovtest::Narrow(c.right);
        EXPECT_EQ(SamePath(c.right, c.left), c.same) << ovtest::Narrow(c.right) << " / " << ovtest::Narrow(c.left);
    }
    if (!linked) {
        GTEST_SKIP() << "hard links are not available here";
    }
    EXPECT_TRUE(SamePath(a, link));
}
