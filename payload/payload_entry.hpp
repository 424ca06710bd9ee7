// One entry of the payload archive: a file to install.
#pragma once

#include <boost/filesystem/path.hpp>

#include <cstdint>
#include <string>

namespace ov {

// What the installer does with an entry's file (the extraction writes every kind alike).
enum payload_kind : std::uint32_t {
    kind_ordinary = 0,     // written and recorded
    kind_main_program = 1, // written, recorded, its path remembered
    kind_uninstaller = 2,  // written, recorded, its path remembered
    kind_shared_data = 3,  // kept when already present; users may change it
    kind_sample = 4,       // not installed by an update
    kind_temporary = 5,    // written, deleted at the end, never recorded
};

// An entry exactly as stored in the archive header (UTF-16 strings, nothing resolved).
struct stored_entry {
    std::u16string source;       // path of the file on the machine that built the archive
    std::u16string destination;  // directory to install into, may start with a placeholder
    std::uint32_t kind = 0;
    std::uint64_t size = 0;      // bytes of the entry in the data area
    std::uint32_t crc = 0;       // CRC-32 (zlib/PNG) of those bytes
};

// The parsed form the extraction works with. Once the header is parsed, `destination` is the
// full path of the file to write (resolved directory joined with the source's file name).
struct payload_entry {
    boost::filesystem::path source;
    boost::filesystem::path destination;
    std::uint32_t kind = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

} // namespace ov
