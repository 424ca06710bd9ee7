// The uninstall log: merge, writing, reading back, and the path comparison of the merge.
#include "engine/uninstall_log.hpp"

#include "support/identity.hpp"

#include <windows.h>
#include <shlwapi.h>

#include <filesystem>
#include <vector>

namespace ov {

namespace {

std::wstring ToWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// The bytes of an open file, read with ReadFile.
class FileByteSource : public LogByteSource {
public:
    explicit FileByteSource(HANDLE file) : file_(file) {}
    std::ptrdiff_t Read(unsigned char* buffer, std::size_t size) override {
        DWORD got = 0;
        if (!ReadFile(file_, buffer, static_cast<DWORD>(size), &got, nullptr)) {
            return -1;
        }
        return static_cast<std::ptrdiff_t>(got);
    }

private:
    HANDLE file_;
};

bool Matches(const JournalEntry& previous, const JournalEntry& current) {
    if (previous.kind != current.kind) {
        return false;
    }
    if (previous.kind == JournalEntryKind::Directory || previous.kind == JournalEntryKind::File) {
        return SamePath(previous.path, current.path);
    }
    return true; // one shortcut, key or registration of each kind per installation
}

// Writes one text in UTF-16 with a single WriteFile call.
bool WriteText(HANDLE file, const std::wstring& text) {
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    return WriteFile(file, text.data(), size, &written, nullptr) && written == size;
}

// Moves a log that the reader cannot read to its end out of the way, so that rewriting the
// log does not destroy the only record of what that installation made. The file written over
// need not be the one ReadLog read at start-up (that one lies beside the earlier uninstaller,
// this one beside the new), so it is read here once more.
void KeepUnreadableLog(const std::wstring& log_path) {
    if (GetFileAttributesW(log_path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    bool opened = false;
    const LogContents contents = ReadLogFile(log_path, &opened);
    if (!opened || contents.stop == LogStop::EndOfFile) {
        return;
    }
    for (int n = 1; n <= 99; ++n) {
        std::wstring kept = log_path + L".damaged";
        if (n > 1) {
            kept += L"." + std::to_wstring(n);
        }
        if (MoveFileExW(log_path.c_str(), kept.c_str(), 0)) {
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            return;
        }
    }
}

// Path components for comparison; a root directory is one "\" whichever separator it had.
std::vector<std::wstring> Components(const std::filesystem::path& path) {
    std::vector<std::wstring> parts;
    for (const auto& part : path) {
        const std::wstring& text = part.native();
        if (text == L"/" || text == L"\\") {
            parts.emplace_back(L"\\");
        } else {
            parts.push_back(text);
        }
    }
    return parts;
}

// The identity of a file or folder, or nothing when it cannot be opened or queried.
struct FileIdentity {
    bool opened = false;
    bool queried = false;
    BY_HANDLE_FILE_INFORMATION info{};
};

FileIdentity Identify(const std::wstring& path) {
    FileIdentity id;
    HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return id;
    }
    id.opened = true;
    id.queried = GetFileInformationByHandle(handle, &id.info) != FALSE;
    CloseHandle(handle);
    return id;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow && a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

// Absolute against the current folder, "." and ".." resolved, no trailing separator.
std::vector<std::wstring> NormalComponents(const std::wstring& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error) {
        absolute = std::filesystem::path(path);
    }
    std::vector<std::wstring> parts = Components(absolute.lexically_normal());
    if (parts.size() > 1 && parts.back().empty()) {
        parts.pop_back();
    }
    return parts;
}

} // namespace

std::u16string DecodeAnsiCodePage(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), size, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), size, text.data(), units);
    return std::u16string(text.begin(), text.end());
}

LogContents ReadLogFile(const std::wstring& path, bool* opened) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened) {
        *opened = file != INVALID_HANDLE_VALUE;
    }
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    FileByteSource source(file);
    LogContents contents = ParseUninstallLog(source, DecodeAnsiCodePage);
    CloseHandle(file);
    return contents;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    if (Components(a) == Components(b)) {
        return true;
    }
    const FileIdentity first = Identify(a);
    const FileIdentity second = Identify(b);
    if (first.opened != second.opened) {
        return false;
    }
    if (first.opened && first.queried && second.queried) {
        return SameIdentity(first.info, second.info);
    }
    const auto left = NormalComponents(a);
    const auto right = NormalComponents(b);
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i].size() != right[i].size() ||
            !StrIsIntlEqualW(FALSE, left[i].c_str(), right[i].c_str(), static_cast<int>(left[i].size()))) {
            return false;
        }
    }
    return true;
}

void MergePreviousEntries(InstallJournal& journal) {
    while (!journal.previous_entries.empty()) {
        JournalEntry previous = std::move(journal.previous_entries.back());
        journal.previous_entries.pop_back();
        bool matched = false;
        for (const JournalEntry& current : journal.current_entries) {
            if (Matches(previous, current)) {
                matched = true;
                break;
            }
        }
        if (!matched) {
            journal.current_entries.push_front(std::move(previous));
        }
    }
}

std::wstring FormatLogEntryLine(std::size_t index, const JournalEntry& entry) {
    // Index in decimal and kind-and-value in lower-case hexadecimal, both at least 4 digits.
    std::wstring number = std::to_wstring(index);
    std::wstring line(number.size() < 4 ? 4 - number.size() : 0, L'0');
    line += number;
    const unsigned field = static_cast<unsigned>(entry.kind) * 256u + (static_cast<unsigned>(entry.value) & 0xFFu);
    std::wstring hex;
    for (unsigned rest = field; rest != 0 || hex.size() < 4; rest >>= 4) {
        hex.insert(hex.begin(), L"0123456789abcdef"[rest & 0xF]);
    }
    line += L':' + hex + L':' + (entry.ok ? L'1' : L'0');
    line += L" -- ";
    line += entry.path;
    return line;
}

bool WriteLog(InstallJournal& journal, const std::wstring& log_path, const std::wstring& install_folder,
              const std::wstring& start_menu_folder) {
    MergePreviousEntries(journal);

    bool result = false;
    KeepUnreadableLog(log_path);
    SetFileAttributesW(log_path.c_str(), FILE_ATTRIBUTE_NORMAL); // a previous log is read-only
    HANDLE file = CreateFileW(log_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const unsigned char mark[2] = {0xFF, 0xFE};
        DWORD written = 0;
        result = WriteFile(file, mark, sizeof mark, &written, nullptr) && written == sizeof mark;

        std::wstring title = L"Install " + GetProductText(false);
        if (!journal.previous_product_title.empty()) {
            title += L" -- Update (" + journal.previous_product_title + L")";
        }
        const std::wstring shortcut_line = L"Shortcut Path : " + start_menu_folder;
        const std::wstring header[] = {
            L"Uninstall Log File v1",
            L"############ WARNING: Do not delete or modify this file. ############",
            title,
            L"Install Path : " + install_folder,
            shortcut_line,
            std::wstring(shortcut_line.size(), L'-'),
        };
        for (const std::wstring& line : header) {
            result = WriteText(file, L"// " + line + L"\r\n") && result;
        }

        std::size_t index = 0;
        for (JournalEntry& entry : journal.current_entries) {
            if (entry.kind == JournalEntryKind::UninstallKey) {
                entry.path = UninstallKeyLogPrefix + (entry.key_name.empty() ? GetUninstallKeyName() : entry.key_name);
            } else if (entry.kind == JournalEntryKind::Registration) {
                entry.path = RegistrationLogPath;
            }
            result = WriteText(file, FormatLogEntryLine(index++, entry) + L"\r\n") && result;
        }
        result = CloseHandle(file) && result;
        SetFileAttributesW(log_path.c_str(),
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    }

    for (JournalEntry& entry : journal.current_entries) {
        if (!entry.backup.empty()) {
            SetFileAttributesW(entry.backup.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(entry.backup.c_str());
            entry.backup.clear();
        }
    }
    return result;
}

void ReadLog(InstallJournal& journal, const wchar_t* log_path) {
    journal.previous_install_folder.clear();
    journal.previous_shortcut_folder.clear();
    if (log_path == nullptr) {
        return;
    }
    bool opened = false;
    const LogContents log = ReadLogFile(log_path, &opened);
    if (!opened) {
        return;
    }
    // What this file says replaces what an earlier reading took, so that reading again does
    // not pile up entries that the merge would then write twice.
    journal.previous_product_title.clear();
    journal.previous_entries.clear();
    if (log.title) {
        journal.previous_product_title = ToWide(*log.title);
    }
    if (log.install_folder) {
        const std::wstring folder = ToWide(*log.install_folder);
        if (PathIsDirectoryW(folder.c_str())) {
            journal.previous_install_folder = folder;
        }
    }
    if (log.shortcut_folder) {
        const std::wstring folder = ToWide(*log.shortcut_folder);
        if (PathIsDirectoryW(folder.c_str())) {
            journal.previous_shortcut_folder = folder;
        }
    }
    for (const LogEntryLine& line : log.entries) {
        JournalEntry entry;
        entry.kind = static_cast<JournalEntryKind>(line.kind);
        entry.value = line.value;
        entry.ok = line.ok;
        if (line.kind <= static_cast<int>(JournalEntryKind::DesktopShortcut)) {
            entry.path = ToWide(line.path);
        }
        journal.previous_entries.push_back(std::move(entry));
    }
}

bool HasInstalledFile(const InstallJournal& journal, const std::wstring& path) {
    for (const JournalEntry& entry : journal.previous_entries) {
        if (entry.kind == JournalEntryKind::File && entry.ok && entry.path == path) {
            return true;
        }
    }
    return false;
}

} // namespace ov
