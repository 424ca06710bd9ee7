// Writes a payload archive: one bzip2 stream (900 k blocks) over the header (header_size,
// entry count, entries with UTF-16LE strings, all little-endian) and the data area (every
// entry's bytes in entry order).
#pragma once

#include "tools/ovpack/manifest.hpp"

#include <cstdint>
#include <functional>
#include <vector>

namespace ov::tools {

struct archive_summary {
  std::size_t entries = 0;
  std::uint64_t header_size = 0;
  std::uint64_t total = 0; // decompressed bytes: header and data area
};

// Called with (bytes written so far, total) while the archive is written.
using build_progress = std::function<void(std::uint64_t, std::uint64_t)>;

// Writes the archive to a temporary name beside `archive` and renames it into place only
// when everything succeeded; on failure nothing is left behind and an existing archive is
// unchanged. Throws command_failure naming the manifest line of an unreadable source, or the
// archive when it cannot be written.
archive_summary write_archive(const std::vector<manifest_entry>& entries, const std::string& manifest_name,
                              const boost::filesystem::path& archive, const build_progress& progress);

} // namespace ov::tools
