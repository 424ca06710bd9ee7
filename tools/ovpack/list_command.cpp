// ovpack list ARCHIVE: one line per entry,
//   KIND<TAB>SIZE<TAB>CRC<TAB>DESTINATION-DIRECTORY<TAB>SOURCE-PATH
// with the CRC as 8 lower-case hex digits and the strings as stored, in UTF-8.
#include "tools/ovpack/archive_header.hpp"
#include "tools/ovpack/commands.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/text.hpp"

#include <cstdio>

namespace ov::tools {

int list_command(const arguments& args)
{
  if (args.size() != 1)
    throw usage_error("list takes one archive");
  archive_stream archive(path_from_utf8(args[0]));
  const payload_header header = archive.read_header();
  std::string text;
  for (const stored_entry& entry : header.entries) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(entry.crc));
    text += std::to_string(entry.kind) + "\t" + std::to_string(entry.size) + "\t" + crc + "\t" +
            utf8_from_utf16(entry.destination) + "\t" + utf8_from_utf16(entry.source) + "\n";
  }
  write_out(text);
  return exit_success;
}

} // namespace ov::tools
