// Test helpers (Windows, header-only): a before/after snapshot of a folder tree, compared by
// relative path, kind, size, content and attributes, and a self-removing scratch folder.
//
//   ovtest::TreeSnapshot before = ovtest::TakeSnapshot(root);
//   ... change and undo ...
//   EXPECT_EQ(ovtest::DescribeDifferences(before, ovtest::TakeSnapshot(root)), "");
#pragma once

#include <windows.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ovtest {

// The attributes a snapshot compares; the others (compression, indexing state...) belong to
// the file system rather than to what a program leaves behind.
constexpr DWORD ComparedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;

struct SnapshotItem {
    bool directory = false;
    DWORD attributes = 0; // masked with ComparedAttributes
    unsigned long long size = 0;
    std::string content; // files only

    bool operator==(const SnapshotItem&) const = default;
};

// Relative path (backslashes, as found) -> item. The root itself is not an item.
using TreeSnapshot = std::map<std::wstring, SnapshotItem>;

inline std::string ReadWholeFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open a file of the snapshot");
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

inline void SnapshotFolder(const std::wstring& root, const std::wstring& relative, TreeSnapshot& snapshot)
{
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring item_path = relative.empty() ? name : relative + L"\\" + name;
        SnapshotItem item;
        item.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.attributes = found.dwFileAttributes & ComparedAttributes;
        if (!item.directory) {
            item.size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            item.content = ReadWholeFile(root + L"\\" + item_path);
        }
        snapshot[item_path] = item;
        if (item.directory)
            SnapshotFolder(root, item_path, snapshot);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Every folder and file below `root`, recursively.
inline TreeSnapshot TakeSnapshot(const std::wstring& root)
{
    TreeSnapshot snapshot;
    SnapshotFolder(root, L"", snapshot);
    return snapshot;
}

inline std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

inline std::string DescribeItem(const SnapshotItem& item)
{
    char text[128];
    std::snprintf(text, sizeof text, "%s attributes 0x%lx size %llu", item.directory ? "folder" : "file",
                  static_cast<unsigned long>(item.attributes), item.size);
    return text;
}

// One line per difference ("missing", "added", "changed"); empty when the trees are alike.
inline std::string DescribeDifferences(const TreeSnapshot& before, const TreeSnapshot& after)
{
    std::string report;
    for (const auto& [path, item] : before) {
        const auto found = after.find(path);
        if (found == after.end())
            report += "missing: " + Narrow(path) + " (" + DescribeItem(item) + ")\n";
        else if (!(found->second == item))
            report += "changed: " + Narrow(path) + " (" + DescribeItem(item) + " -> " + DescribeItem(found->second) +
                      (found->second.content != item.content ? ", content differs" : "") + ")\n";
    }
    for (const auto& [path, item] : after) {
        if (!before.count(path))
            report += "added: " + Narrow(path) + " (" + DescribeItem(item) + ")\n";
    }
    return report;
}

// Removes a folder tree, clearing read-only attributes on the way. Failures are ignored.
inline void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

// A new, empty folder in the system's temporary directory, removed with all it holds when the
// object goes. `tag` names the test in the folder name.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag)
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        std::wstring base = std::wstring(temp) + L"ovtest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
        for (int attempt = 0;; ++attempt) {
            path_ = base + L"-" + std::to_wstring(attempt);
            if (CreateDirectoryW(path_.c_str(), nullptr))
                break;
            if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000)
                throw std::runtime_error("cannot create a scratch folder");
        }
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Writes `content` to `path` (created or replaced) and gives it `attributes` when not 0.
inline bool WriteFileWithAttributes(const std::wstring& path, const std::string& content, DWORD attributes = 0)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = content.empty() ||
                    (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                     written == content.size());
    CloseHandle(file);
    return ok && (attributes == 0 || SetFileAttributesW(path.c_str(), attributes));
}

inline bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace ovtest
