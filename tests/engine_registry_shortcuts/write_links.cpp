// Makes the installation's three shortcuts below a given folder, for a reader outside Wine:
//   write_links.exe FOLDER
// creates FOLDER\Vestrilo 1\Vestrilo.exe and Uninstall.exe (stand-ins), the start-menu links
// in FOLDER\Start Menu\Orvane & Drey\Vestrilo 1 and the desktop link in FOLDER\Desktop, and
// prints each link's path and target, tab-separated, one per line (UTF-8). Exit 0 when all
// three were made.
#include "engine/shortcuts.hpp"

#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    return result;
}

bool MakeStandIn(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: write_links FOLDER\n", stderr);
        return 2;
    }
    const std::wstring root = argv[1];
    const std::wstring install = root + L"\\Vestrilo 1";
    SHCreateDirectoryExW(nullptr, install.c_str(), nullptr);
    ov::ShortcutPlan plan;
    plan.program_path = install + L"\\Vestrilo.exe";
    plan.uninstaller_path = install + L"\\Uninstall.exe";
    if (!MakeStandIn(plan.program_path) || !MakeStandIn(plan.uninstaller_path))
        return 1;
    plan.start_menu_folder = root + L"\\Start Menu\\Orvane & Drey\\Vestrilo 1";
    plan.start_menu = true;
    plan.desktop = true;
    plan.desktop_folder = root + L"\\Desktop";
    plan.program_title = L"Vestrilo 1.22";
    plan.uninstall_title = L"Uninstall Vestrilo";
    ov::InstallJournal journal;
    const bool ok = ov::MakeShortcuts(journal, plan);
    for (const ov::JournalEntry& entry : journal.current_entries) {
        if (entry.kind == ov::JournalEntryKind::Directory)
            continue;
        const std::wstring& target =
            entry.kind == ov::JournalEntryKind::UninstallShortcut ? plan.uninstaller_path : plan.program_path;
        std::printf("%s\t%s\n", Utf8(entry.path).c_str(), Utf8(target).c_str());
    }
    return ok ? 0 : 1;
}
