// Conversions between the archive's UTF-16 strings, file-system paths and UTF-8.
//
// On Windows paths are UTF-16 already; natively they are UTF-8 byte strings. Unpaired
// surrogates become U+FFFD when converted to UTF-8; invalid UTF-8 bytes become U+FFFD too.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>
#include <string_view>

namespace ov {

std::string utf8_from_utf16(std::u16string_view text);
std::u16string utf16_from_utf8(std::string_view text);

// The path whose native text is `text` (Windows: the same UTF-16 units; natively: UTF-8).
boost::filesystem::path path_from_utf16(std::u16string_view text);
// The UTF-16 form of a path's native text.
std::u16string utf16_from_path(const boost::filesystem::path& path);

} // namespace ov
