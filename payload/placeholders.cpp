#include "payload/placeholders.hpp"

#include "payload/compress_error.hpp"
#include "payload/shell_folder.hpp"

#include <string_view>

namespace ov {

namespace {

using path = boost::filesystem::path;
using char_type = path::value_type;
using string_view = std::basic_string_view<char_type>;

bool is_separator(char_type c) { return c == '\\' || c == '/'; }

// Compares a component with an ASCII placeholder name, exactly.
bool equals(string_view component, std::string_view name)
{
    if (component.size() != name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (component[i] != static_cast<char_type>(name[i]))
            return false;
    return true;
}

// A folder named by a whole path: has both a drive or share name and a root on Windows, a root
// natively.
bool is_absolute_folder(const path& p)
{
#ifdef _WIN32
    return p.has_root_name() && p.has_root_directory();
#else
    return p.has_root_directory();
#endif
}

path sample_base(const placeholder_folders& folders)
{
    if (is_absolute_folder(folders.sample))
        return folders.sample;
    path base = shell_folder(csidl::common_desktop_directory, csidl::desktop_directory);
    if (!folders.sample.empty())
        base /= folders.sample;
    return base;
}

// The folder a placeholder stands for; throws code 7 for an unknown one.
path placeholder_base(string_view name, const placeholder_folders& folders)
{
    if (equals(name, "<InstallPath>"))
        return folders.installation;
    if (equals(name, "<SamplePath>"))
        return sample_base(folders);
    if (equals(name, "<ProgramFiles>"))
        return shell_folder(csidl::program_files);
    if (equals(name, "<ProgramCommon>"))
        return shell_folder(csidl::program_files_common);
    if (equals(name, "<CommonData>"))
        return shell_folder(csidl::common_appdata, csidl::appdata);
    if (equals(name, "<UserData>"))
        return shell_folder(csidl::appdata);
    if (equals(name, "<CommonDocuments>"))
        return shell_folder(csidl::common_documents, csidl::personal);
    if (equals(name, "<Documents>"))
        return shell_folder(csidl::personal);
    if (equals(name, "<CommonDesktop>"))
        return shell_folder(csidl::common_desktop_directory, csidl::desktop_directory);
    if (equals(name, "<Desktop>"))
        return shell_folder(csidl::desktop_directory);
    if (equals(name, "<WinDir>"))
        return shell_folder(csidl::windows);
    if (equals(name, "<System>"))
        return shell_folder(csidl::system);
    if (equals(name, "<Temporary>"))
        return folders.temporary.empty() ? folders.installation : folders.temporary;
    // Unknown: expanding it to nothing would write relative to the current folder.
    throw_compress_error(compress_errc::unexpected_error);
}

} // namespace

path expand_placeholders(const path& directory, const placeholder_folders& folders)
{
    const string_view text(directory.native());
    std::size_t end = 0;
    while (end < text.size() && !is_separator(text[end]))
        ++end;
    const string_view first = text.substr(0, end);
    if (first.size() < 2 || first.front() != '<' || first.back() != '>')
        return directory; // no components, or no placeholder first: unchanged

    path result = placeholder_base(first, folders);
    std::size_t begin = end;
    while (begin < text.size()) {
        ++begin; // the separator
        end = begin;
        while (end < text.size() && !is_separator(text[end]))
            ++end;
        if (end > begin)
            result /= path(text.data() + begin, text.data() + end);
        begin = end;
    }
    return result;
}

} // namespace ov
