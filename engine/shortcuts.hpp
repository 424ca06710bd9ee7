// Shell shortcuts (".lnk" files) to the installed programs: the routine that writes one, and
// the making of the installation's three shortcuts with their journal entries.
#pragma once

#include "engine/journal.hpp"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace ov {

// Writes the shortcut `folder`\`title`.lnk to `target`, with the target's folder as working
// folder and nothing else set. Without a title the target's file name without extension is
// used. `folder` must exist and be a full path. False, with nothing written, when the folder
// is empty or relative, the target has no folder part, the link path would not fit in
// MAX_PATH characters, or the shell's link object cannot be made or saved. On success
// `created_path`, when given, receives the link's full path.
bool CreateShortcut(const std::wstring& target, const std::wstring& folder,
                    const std::optional<std::wstring>& title = std::nullopt,
                    std::wstring* created_path = nullptr);

// Looks up a special folder (SHGetSpecialFolderPathW without creating it); empty when the
// shell cannot give it.
using SpecialFolderLookup = std::function<std::wstring(HWND owner, int csidl)>;
std::wstring ShellSpecialFolder(HWND owner, int csidl);

// The desktop folder of the desktop shortcut: the all-users desktop, or, when the shell cannot
// give it, the current user's desktop. Empty when neither is known.
std::wstring DesktopShortcutFolder(HWND owner, const SpecialFolderLookup& lookup = ShellSpecialFolder);

// What the shortcut step of an installation makes.
struct ShortcutPlan {
    std::wstring program_path;     // target of the program shortcuts
    std::wstring uninstaller_path; // target of the uninstaller shortcut
    std::wstring start_menu_folder;
    bool start_menu = false;       // the program and uninstaller shortcuts in the start menu
    bool desktop = false;          // the program shortcut on the desktop
    std::wstring program_title;    // the product title ("Vestrilo 1.22")
    std::wstring uninstall_title;  // text 13 with the product name ("Uninstall Vestrilo")
    std::wstring desktop_folder;   // empty: DesktopShortcutFolder(owner)
};

// The plan of this installation: titles from the product title and text 13 of the current
// interface language; the desktop folder is left to MakeShortcuts.
ShortcutPlan ProductShortcutPlan(const std::wstring& program_path, const std::wstring& uninstaller_path,
                                 const std::wstring& start_menu_folder, bool start_menu, bool desktop);

// Makes the shortcuts of the plan in order (program and uninstaller in the start menu, then
// the program on the desktop), each begun in the journal (BeginShortcut) and completed with
// its link path, or closed as failed. True when every shortcut asked for was made.
bool MakeShortcuts(InstallJournal& journal, const ShortcutPlan& plan, HWND owner = nullptr);

} // namespace ov
