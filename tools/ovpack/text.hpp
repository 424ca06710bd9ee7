// Text at the edges of ovpack: the command line, the manifest and the output are UTF-8; archive
// strings are UTF-16; file-system paths are wide on Windows and UTF-8 bytes elsewhere.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>
#include <string_view>

namespace ov::tools {

// Decodes UTF-8 and encodes it as UTF-16 code units. Returns false for malformed UTF-8
// (overlong forms, surrogates, truncated sequences, values above U+10FFFF).
bool utf16_from_utf8(std::string_view utf8, std::u16string& utf16);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_from_utf16(std::u16string_view utf16);

// A path from UTF-8 text (throws std::invalid_argument for malformed UTF-8 on Windows, where
// the path must be converted) and back.
boost::filesystem::path path_from_utf8(const std::string& utf8);
std::string utf8_from_path(const boost::filesystem::path& path);

} // namespace ov::tools
