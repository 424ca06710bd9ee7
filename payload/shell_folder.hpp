// Special folders of the shell (CSIDL identifiers).
//
// On Windows shell_folder asks SHGetFolderPathW. A process may instead supply the folders
// itself (tests, the maker's tool): once set_special_folder was called, and always in the
// native build, shell_folder answers from that table only.
#pragma once

#include <boost/filesystem/path.hpp>

#include <optional>

namespace ov {

// CSIDL values the placeholders use (the shell's own numbers).
namespace csidl {
inline constexpr int personal = 5;                  // the user's documents
inline constexpr int desktop_directory = 16;        // the user's desktop
inline constexpr int common_desktop_directory = 25; // the all-users desktop
inline constexpr int appdata = 26;                  // the user's application data
inline constexpr int common_appdata = 35;           // the all-users application data
inline constexpr int windows = 36;
inline constexpr int system = 37;
inline constexpr int program_files = 38;
inline constexpr int program_files_common = 43;
inline constexpr int common_documents = 46;
} // namespace csidl

// The folder of `id`, or of `fallback` when `id` yields none. Throws compress code 7 when no
// path results. The shell's answer is returned without any change.
boost::filesystem::path shell_folder(int id, std::optional<int> fallback = std::nullopt);

// Makes shell_folder answer `folder` for `id` (and answer from this table only, on Windows
// too, until clear_special_folders). An empty folder removes the entry.
void set_special_folder(int id, const boost::filesystem::path& folder);
// Empties the table; on Windows the shell is asked again.
void clear_special_folders();

} // namespace ov
