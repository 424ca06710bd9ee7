// The installation journal: every change an installation makes to the machine, in the order
// made (folders, files, shortcuts, the Uninstall registry key, the registration run), with a
// backup of whatever a change would overwrite, so that a failed file placement can be rolled
// back and the uninstall log can tell the uninstaller what to remove.
//
// It also holds what the setup program learned from the previous installation's log
// (ReadLog fills the previous-installation fields and the previous entries).
//
// All operations run on the user-interface thread. None reports an error to the caller except
// through the contents of the entries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <optional>
#include <string>

namespace ov {

// What a journal entry changed. The values are stored in the uninstall log.
enum class JournalEntryKind : std::int32_t {
    Directory = 0,         // a folder CreateFolderChain created
    File = 1,              // a file of the archive written or adopted
    ProgramShortcut = 2,   // the main program's shortcut in the start menu
    UninstallShortcut = 3, // the uninstaller's shortcut in the start menu
    DesktopShortcut = 4,   // the main program's shortcut on the desktop
    UninstallKey = 5,      // the product's subkey of the Uninstall registry key
    Registration = 6,      // the product's own registration run
};

// One recorded action.
struct JournalEntry {
    JournalEntryKind kind = JournalEntryKind::Directory;
    // The folder, file or shortcut file. Empty while a shortcut is pending; empty for
    // UninstallKey and Registration until the uninstall log is written.
    std::wstring path;
    // Full path of the temporary file holding the previous content (a file, a shortcut or,
    // for UninstallKey, a saved registry hive), or empty when there is none.
    std::wstring backup;
    // The action was carried out; false from its beginning until it is completed.
    bool ok = false;
    // For File: the archive's entry kind (0..5); -1 for every other kind.
    std::int32_t value = -1;

    // Kept only during this run, never written to the log:
    // For File: the path existed when the action began; for UninstallKey: the subkey existed.
    // RollBack never deletes such a file or key when it has no backup to put back (it could
    // only destroy what was there).
    bool existed_before = false;
    // For a shortcut: the previous installation's shortcut the backup was taken from, where
    // RollBack puts it back (its name may differ from the new one's, and the new one's path
    // stays empty when making it failed). Empty for a File, whose backup goes back to `path`.
    std::wstring restore_path;
    // For UninstallKey: the name of the subkey of the Uninstall key that this entry stands
    // for (the product's Uninstall key name in an installation).
    std::wstring key_name;
};

// How MakeBackup keeps a file: moved away (the path is free afterwards) or copied (the file
// stays in place).
enum class BackupMode { Move, Copy };

// One journal per process, a member of the application object. It owns its entries; being
// destroyed rolls nothing back and deletes no backups.
struct InstallJournal {
    // What ReadLog learned from the previous installation's log.
    std::wstring previous_install_folder;
    std::wstring previous_shortcut_folder;
    std::list<JournalEntry> previous_entries; // front = oldest, back = newest
    // The entries of this run; new entries are always added at the back (newest end).
    std::list<JournalEntry> current_entries;
    // An action has been begun and not yet completed.
    bool pending = false;
    std::wstring previous_product_title;

    // Begins placing the file `path` of archive entry kind `archive_kind`: creates its folder
    // chain, adds a File entry and, when the file exists, backs it up with `mode`.
    void BeginFile(const std::wstring& path, std::int32_t archive_kind, BackupMode mode);

    // Begins making a shortcut of kind ProgramShortcut, UninstallShortcut or DesktopShortcut
    // in `folder`: creates the folder chain, adds the entry (path empty) and moves to a backup
    // the file of the oldest previous entry of the same kind, when that file still exists.
    void BeginShortcut(JournalEntryKind kind, const std::wstring& folder);

    // Begins the product's registration run (an entry that RollBack leaves alone).
    void BeginRegistration();

    // Begins writing the Uninstall registry subkey `key_name`. `existing_subkey` is the open
    // subkey when it existed before (its content is saved to a temporary hive file), or
    // nullptr when it was just created (undoing it means deleting it). Defined with the
    // Uninstall registration (uninstall_key.cpp).
    void BeginUninstallKey(HKEY existing_subkey, const std::wstring& key_name);

    // Completes the pending action: only when one is pending, clears the pending flag, sets
    // the newest entry's ok flag and, when given, its path.
    void Complete(bool ok, const std::optional<std::wstring>& path = std::nullopt);

    // Closes a pending action without storing a path (the same as Complete(ok)).
    void ClosePending(bool ok) { Complete(ok); }

    // Undoes the current entries, newest first (files deleted and backups put back, created
    // folders removed when empty, the Uninstall key restored or deleted), then empties the
    // current list. Every failure is ignored; the pending flag is left as it is.
    void RollBack();

    // Creates the missing folders of `folder` from the one below the root's first component
    // down, recording each created one as a Directory entry (ok). Stops silently at the first
    // folder that cannot be created. Paths of MAX_PATH characters or more create nothing.
    void CreateFolderChain(const std::wstring& folder);

    // Moves or copies the file `path` to a new temporary file ("ov????.tmp" in the system's
    // temporary directory), keeping its attributes; returns that file's path, or an empty
    // string when no backup could be made. With `path` null, only reserves a fresh temporary
    // name (no file is left there) and returns it.
    static std::wstring MakeBackup(const wchar_t* path, BackupMode mode);
};

// Undoes one UninstallKey entry: puts the saved hive back into the subkey, or deletes the
// subkey when there is no backup; deletes the hive file. Defined with the Uninstall
// registration (uninstall_key.cpp); RollBack calls it.
void UndoUninstallKey(const JournalEntry& entry);

} // namespace ov
