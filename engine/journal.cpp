// The installation journal: folder chains, backups, the begun/completed actions and the rollback.
#include "engine/journal.hpp"

#include <shlobj.h>
#include <shlwapi.h>

namespace ov {
namespace {

// Longest temporary directory that still leaves room for a GetTempFileNameW name.
constexpr DWORD MaxTempDirLength = 246;

bool IsExistingFile(const std::wstring& path)
{
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder part of a file path (everything before the last separator).
std::wstring FolderOf(const std::wstring& path)
{
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// Removes what this run put at the entry's path and puts the entry's backup, if any, back.
// A failure never costs the earlier file: where the backup goes back to the entry's own path
// it replaces what stands there in one step, so that a backup that cannot be moved leaves the
// path as it is (for a file adopted in copy mode, the user's file itself) and the backup
// where it is; a file that was there before and has no backup is never deleted.
void UndoFileEntry(const JournalEntry& entry)
{
    const std::wstring& target = entry.restore_path.empty() ? entry.path : entry.restore_path;
    const bool backup_replaces_path = !entry.backup.empty() && !entry.path.empty() && target == entry.path;
    if (!entry.path.empty() && !backup_replaces_path && !(entry.existed_before && entry.backup.empty())) {
        SetFileAttributesW(entry.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(entry.path.c_str());
    }
    if (entry.backup.empty() || target.empty())
        return;
    const DWORD backup_attributes = GetFileAttributesW(entry.backup.c_str());
    SetFileAttributesW(entry.backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    DWORD flags = MOVEFILE_COPY_ALLOWED;
    DWORD target_attributes = INVALID_FILE_ATTRIBUTES;
    if (backup_replaces_path) {
        // A read-only file cannot be replaced.
        target_attributes = GetFileAttributesW(target.c_str());
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        flags |= MOVEFILE_REPLACE_EXISTING;
    }
    if (MoveFileExW(entry.backup.c_str(), target.c_str(), flags)) {
        if (backup_attributes != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(target.c_str(), backup_attributes);
        return;
    }
    if (target_attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(target.c_str(), target_attributes);
    if (backup_attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(entry.backup.c_str(), backup_attributes);
}

} // namespace

void InstallJournal::BeginFile(const std::wstring& path, std::int32_t archive_kind, BackupMode mode)
{
    pending = true;
    CreateFolderChain(FolderOf(path));
    JournalEntry& entry = current_entries.emplace_back();
    entry.kind = JournalEntryKind::File;
    entry.path = path;
    entry.value = archive_kind;
    // A folder standing where the file goes is not moved away: the placement then fails on
    // its own, and the folder stays where it is.
    if (IsExistingFile(path)) {
        entry.existed_before = true;
        entry.backup = MakeBackup(path.c_str(), mode);
    }
}

void InstallJournal::BeginShortcut(JournalEntryKind kind, const std::wstring& folder)
{
    pending = true;
    CreateFolderChain(folder);
    JournalEntry& entry = current_entries.emplace_back();
    entry.kind = kind;
    for (const JournalEntry& previous : previous_entries) {
        if (previous.kind != kind)
            continue;
        if (IsExistingFile(previous.path)) {
            entry.restore_path = previous.path;
            entry.backup = MakeBackup(previous.path.c_str(), BackupMode::Move);
        }
        break;
    }
}

void InstallJournal::BeginRegistration()
{
    pending = true;
    current_entries.emplace_back().kind = JournalEntryKind::Registration;
}

void InstallJournal::Complete(bool ok, const std::optional<std::wstring>& path)
{
    if (!pending)
        return;
    pending = false;
    if (current_entries.empty())
        return;
    JournalEntry& newest = current_entries.back();
    newest.ok = ok;
    if (path)
        newest.path = *path;
}

void InstallJournal::RollBack()
{
    for (auto entry = current_entries.rbegin(); entry != current_entries.rend(); ++entry) {
        switch (entry->kind) {
        case JournalEntryKind::Directory:
            RemoveDirectoryW(entry->path.c_str());
            break;
        case JournalEntryKind::UninstallKey:
            UndoUninstallKey(*entry);
            break;
        case JournalEntryKind::Registration:
            break;
        default:
            UndoFileEntry(*entry);
            break;
        }
    }
    current_entries.clear();
}

void InstallJournal::CreateFolderChain(const std::wstring& folder)
{
    // The shell's path functions work in MAX_PATH buffers; a longer path would be cut and a
    // folder with a cut name created, so such a path creates nothing.
    if (folder.empty() || folder.size() >= MAX_PATH)
        return;
    wchar_t buffer[MAX_PATH];
    lstrcpynW(buffer, folder.c_str(), MAX_PATH);
    // Start below the first component after the root: C:\A\B\C examines C:\A first.
    wchar_t* next = PathFindNextComponentW(buffer);
    if (next)
        next = PathFindNextComponentW(next);
    while (next) {
        if (*next)
            *CharPrevW(buffer, next) = L'\0';
        if (!PathIsDirectoryW(buffer)) {
            if (!CreateDirectoryW(buffer, nullptr))
                return;
            SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, buffer, nullptr);
            JournalEntry& entry = current_entries.emplace_back();
            entry.kind = JournalEntryKind::Directory;
            entry.path = buffer;
            entry.ok = true;
        }
        lstrcpynW(buffer, folder.c_str(), MAX_PATH);
        next = PathFindNextComponentW(next);
    }
}

std::wstring InstallJournal::MakeBackup(const wchar_t* path, BackupMode mode)
{
    wchar_t temp_dir[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp_dir);
    if (length == 0 || length > MaxTempDirLength)
        return {};
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(temp_dir, L"ov", 0, name))
        return {};
    // Only the unique name is wanted: the file the call made would stand in the way.
    DeleteFileW(name);
    if (!path)
        return name;

    const DWORD attributes = GetFileAttributesW(path);
    const bool valid = attributes != INVALID_FILE_ATTRIBUTES;
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    if (mode == BackupMode::Copy) {
        if (CopyFileW(path, name, FALSE)) {
            if (valid) {
                SetFileAttributesW(path, attributes);
                SetFileAttributesW(name, attributes);
            }
            return name;
        }
        // A copy that broke off may have left a partial file behind.
        DeleteFileW(name);
    } else if (MoveFileW(path, name)) {
        if (valid)
            SetFileAttributesW(name, attributes);
        return name;
    }
    if (valid)
        SetFileAttributesW(path, attributes);
    return {};
}

} // namespace ov
