// The archive header: layout, validation and parsing.
//
// Decompressed archive (little-endian, no padding, strings UTF-16LE counted without a
// terminator):
//   u64 header_size (whole header, this field included = offset of the data area)
//   u32 entry count
//   entries: u32 source length, source units, u32 destination length, destination units,
//            u32 kind, u64 size, u32 crc
//   optional filler up to header_size, then the data of every entry in entry order.
//
// The one parser of this layout: the extractor and the maker's tool both use it. A header that
// cannot be right fails with compress code 7 before anything is allocated for it.
#pragma once

#include "payload/payload_entry.hpp"
#include "payload/placeholders.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ov {

// The smallest header: the size field and the entry count.
inline constexpr std::uint64_t min_header_size = 12;
// Headers above this size are refused (the shipped one has 11,344 bytes).
inline constexpr std::uint64_t max_header_size = 64ull * 1024 * 1024;
// Size of the header_size field.
inline constexpr std::size_t header_size_field = 8;
// Fixed part of one entry: two lengths, kind, size and crc.
inline constexpr std::uint64_t entry_fixed_size = 4 + 4 + 4 + 8 + 4;

struct payload_header {
    std::uint64_t header_size = 0;
    std::vector<stored_entry> entries;
};

// Reads the header_size field from the first 8 bytes of `bytes` and checks its range
// (min_header_size .. max_header_size); throws compress code 7 when it is out of range.
std::uint64_t read_header_size(const char* bytes);

// Parses the header at the start of [data, data + size): size must cover header_size bytes.
// Reads nothing at or beyond header_size. Throws compress code 7 when the header is out of
// range, truncated, or its entry table or a string runs past header_size. No placeholder is
// expanded and no name is checked here.
payload_header parse_payload_header(const char* data, std::size_t size);

// The file name an entry is installed under: the last component of its source path
// (backslash and slash both separate). Throws compress code 7 when that name is empty, "."
// or "..", or holds a character Windows forbids in file names (<>:"/\|?* or a control
// character).
boost::filesystem::path entry_file_name(const std::u16string& source);

// The full destination file of an entry: its destination directory with the placeholders
// expanded, joined with entry_file_name. Throws compress code 7 when the destination directory
// does not begin with a placeholder, has a ".." component or names an unknown placeholder, and
// when a special folder cannot be had: an archive never writes outside the folders its
// placeholders name.
payload_entry resolve_entry(const stored_entry& entry, const placeholder_folders& folders);

} // namespace ov
