#include "payload/shell_folder.hpp"

#include "payload/compress_error.hpp"

#include <map>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include "support/errors.hpp"
#endif

namespace ov {

namespace {

// Folders supplied by the process itself instead of the shell.
struct folder_table {
    std::mutex mutex;
    std::map<int, boost::filesystem::path> folders;
    bool in_use = false; // natively the table is the only source
};

folder_table& table()
{
    static folder_table instance;
    return instance;
}

// The table's folder for `id` (empty when none), or nullopt when the shell is to be asked.
std::optional<boost::filesystem::path> table_folder(int id)
{
    folder_table& t = table();
    std::lock_guard lock(t.mutex);
#ifdef _WIN32
    if (!t.in_use)
        return std::nullopt;
#endif
    auto found = t.folders.find(id);
    return found == t.folders.end() ? boost::filesystem::path() : found->second;
}

#ifdef _WIN32
boost::filesystem::path ask_shell(int id)
{
    wchar_t buffer[MAX_PATH] = {};
    // The return value is not consulted: the folder exists when the buffer holds a path.
    SHGetFolderPathW(FindOwnerWindow(), id, nullptr, 0, buffer);
    return boost::filesystem::path(buffer);
}
#endif

boost::filesystem::path lookup(int id)
{
    if (auto folder = table_folder(id))
        return *folder;
#ifdef _WIN32
    return ask_shell(id);
#else
    return {};
#endif
}

} // namespace

boost::filesystem::path shell_folder(int id, std::optional<int> fallback)
{
    boost::filesystem::path folder = lookup(id);
    if (folder.empty() && fallback)
        folder = lookup(*fallback);
    if (folder.empty())
        throw_compress_error(compress_errc::unexpected_error);
    return folder;
}

void set_special_folder(int id, const boost::filesystem::path& folder)
{
    folder_table& t = table();
    std::lock_guard lock(t.mutex);
    t.in_use = true;
    if (folder.empty())
        t.folders.erase(id);
    else
        t.folders[id] = folder;
}

void clear_special_folders()
{
    folder_table& t = table();
    std::lock_guard lock(t.mutex);
    t.in_use = false;
    t.folders.clear();
}

} // namespace ov
