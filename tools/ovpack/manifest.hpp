// The manifest of "ovpack build": UTF-8 text, one entry per line,
//   KIND<TAB>DESTINATION-DIRECTORY<TAB>SOURCE-FILE
// with the source relative to the manifest's folder. Empty lines and lines whose first
// character is '#' are skipped; a UTF-8 byte order mark and CR LF line ends are accepted.
#pragma once

#include <boost/filesystem/path.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace ov::tools {

struct manifest_entry {
  std::size_t line = 0;               // 1-based line number in the manifest
  std::uint32_t kind = 0;             // 0 to 5
  std::string destination;            // as written, UTF-8
  std::string source;                 // as stored in the archive: UTF-8, '/' separators
  boost::filesystem::path source_file; // the file to read
};

// The highest entry kind the installer knows.
constexpr std::uint32_t max_entry_kind = 5;

// Reads and checks the manifest. Throws command_failure naming "MANIFEST:LINE" for a line
// that cannot be used, or the manifest itself when it cannot be read. Does not look at the
// source files (the archive writer does, and names the line when one cannot be read).
std::vector<manifest_entry> read_manifest(const boost::filesystem::path& manifest);

} // namespace ov::tools
