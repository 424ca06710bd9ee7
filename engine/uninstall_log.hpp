// The uninstall log "Uninstall.ulog": the record an installation leaves beside the installed
// uninstaller. WriteLog merges the previous installation's entries into this run's and writes
// the whole file again; ReadLog, at start-up, reads the previous one back into the journal.
#pragma once

#include "engine/journal.hpp"
#include "engine/log_parser.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace ov {

// The log's file name, in the uninstaller's folder.
inline constexpr wchar_t UninstallLogName[] = L"Uninstall.ulog";

// The path written for an UninstallKey entry (followed by the key name) and for a
// Registration entry.
inline constexpr wchar_t UninstallKeyLogPrefix[] =
    L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr wchar_t RegistrationLogPath[] = L"HKEY_CLASSES_ROOT\\...";

// Merges the journal's previous entries into its current ones (the previous list is empty
// afterwards), writes the log to `log_path` (UTF-16 with byte order mark, read-only
// afterwards) and deletes every backup of the current entries. True when the file was created
// and every write succeeded; whatever the result, the journal holds the merged entries and no
// backups.
//
// A file already at `log_path` that the reader cannot read to its end (damaged, cut, an
// unknown format version) is not overwritten: it is first renamed to
// "<log_path>.damaged" (or ".damaged.2", ".damaged.3"...), so that what it records is kept.
bool WriteLog(InstallJournal& journal, const std::wstring& log_path, const std::wstring& install_folder,
              const std::wstring& start_menu_folder);

// The merge step of WriteLog alone: every previous entry that no current entry matches (same
// kind, and for Directory and File the same path by SamePath) moves, in its old order, before
// the current entries; the others are dropped.
void MergePreviousEntries(InstallJournal& journal);

// Reads the previous installation's log into the journal: the previous product title, the
// install and shortcut folders (only when they are existing folders) and the previous entries
// (paths of UninstallKey and Registration entries left empty); a file that opens replaces
// the previous product title and entries of an earlier reading. With no path, or a file that
// cannot be opened, only clears the two folders. Reading ends quietly at the first wrong line;
// what came before stays.
void ReadLog(InstallJournal& journal, const wchar_t* log_path);

// Whether the previous entries hold a File entry with ok set whose path is exactly `path`.
bool HasInstalledFile(const InstallJournal& journal, const std::wstring& path);

// Whether two paths name the same file or folder: the same components; else, when both
// exist, the same file identity (volume, file index, size, last write time); else, when
// neither exists, the same absolute, normalised path ignoring case.
bool SamePath(const std::wstring& a, const std::wstring& b);

// One entry line without its line end: "0003:0101:1 -- C:\...".
std::wstring FormatLogEntryLine(std::size_t index, const JournalEntry& entry);

// Reads the log file at `path` with the system's ANSI code page for files without mark.
// `opened` tells whether the file could be opened.
LogContents ReadLogFile(const std::wstring& path, bool* opened = nullptr);

// The system's ANSI code page (CP_ACP) to UTF-16.
std::u16string DecodeAnsiCodePage(std::string_view bytes);

} // namespace ov
