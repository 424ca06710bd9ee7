// What the setup program finds on the machine before the wizard starts: whether and in which
// version the product is installed, and the default folders of a new installation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// How this run relates to an installation already on the machine. The numbers are stored and
// compared as they are.
enum class InstallState : int {
    Fresh = 0,           // no installation found
    Reinstall = 1,       // the same version, or one that cannot be determined
    Update = 2,          // an older version
    NewerInstalled = -1, // a newer version: nothing can be installed
};

// The state for an installed version number against this program's own one (both packed
// major << 48 | minor << 32 | build << 16 | revision, compared as unsigned numbers). An
// installed version of 0 (unknown) counts as the same version.
InstallState CompareInstalledVersion(std::uint64_t own, std::uint64_t installed);

// Where an installation of the product is recorded.
//
// The product is installed when its subkey of the system's Uninstall key
// (HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\<key name>) exists:
// the installation writes it and the uninstaller removes it, so it is the machine's own record.
// The main program is the file that its "DisplayIcon" value names (the installation writes the
// program's path followed by ",0"; quotes and an icon index are removed); when that value is
// missing or names no existing file, the main program is the file named after the product
// ("Vestrilo.exe") in the folder of "UninstallString", the uninstaller, when it exists; else
// the path is empty (the version is then unknown, and a reinstallation is offered rather than
// refusing to start because a program file was deleted by hand).
struct InstalledProduct {
    bool installed = false;
    std::wstring main_program; // full path, or empty
    std::wstring uninstaller;  // "UninstallString" as stored, or empty
};

InstalledProduct FindInstalledProduct(const std::wstring& key_name);

// The file part of a "DisplayIcon" value: quotes and a trailing ",index" removed.
std::wstring IconFileOf(const std::wstring& display_icon);

// The system's special folders, as the default folders are built from them. Tests replace
// them to reach the fall-backs.
struct SystemFolders {
    // SHGetSpecialFolderPathW for a CSIDL, without creating the folder.
    std::function<bool(int csidl, std::wstring& path)> special;
    // The value "ProgramFilesDir" of HKLM\Software\Microsoft\Windows\CurrentVersion.
    std::function<bool(std::wstring& path)> program_files_value;
    // The system's Windows folder.
    std::function<std::wstring()> windows_folder;
};

// The real sources of this machine.
SystemFolders MachineFolders();

// <Program Files>\Orvane & Drey\<Uninstall key name>. Program Files is the special folder, else
// the registry's "ProgramFilesDir", else the root of the Windows folder + "Program Files".
// Empty when the path does not fit MAX_PATH.
std::wstring DefaultInstallFolder(const SystemFolders& folders);

// <programs folder of the start menu>\Orvane & Drey\<Uninstall key name>, with the all-users
// programs folder, else the user's. Empty when neither exists (never a relative path) or the
// path does not fit MAX_PATH.
std::wstring DefaultStartMenuFolder(const SystemFolders& folders);
