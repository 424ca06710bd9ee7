// ovpack verify ARCHIVE: the bzip2 stream is intact (the installer's own pre-check), the
// archive is consistent (the data area ends exactly where the entries say) and every entry's
// bytes match its CRC-32.
#include "payload/compress_error.hpp"
#include "payload/crc32.hpp"
#include "payload/file_stream.hpp"
#include "payload/payload_extractor.hpp"
#include "tools/ovpack/archive_header.hpp"
#include "tools/ovpack/commands.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/failure.hpp"
#include "tools/ovpack/text.hpp"

#include <array>
#include <cstdio>

namespace ov::tools {

namespace {

std::string hex(std::uint32_t value)
{
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

std::string describe_entry(std::size_t index, const stored_entry& entry)
{
  return "entry " + std::to_string(index + 1) + " (\"" + utf8_from_utf16(entry.source) + "\" to \"" +
         utf8_from_utf16(entry.destination) + "\")";
}

} // namespace

int verify_command(const arguments& args)
{
  if (args.size() != 1)
    throw usage_error("verify takes one archive");
  const boost::filesystem::path path = path_from_utf8(args[0]);
  {
    input_file_stream file(path);
    if (!file.is_open())
      throw command_failure(args[0], "cannot open the archive", last_file_error());
    if (!verify_payload(file))
      throw command_failure(args[0], "the bzip2 stream is damaged or incomplete",
                            make_error_code(compress_errc::bzip2_error));
  }

  archive_stream archive(path);
  const payload_header header = archive.read_header();
  std::uint64_t total = header.header_size;
  for (const stored_entry& entry : header.entries)
    total += entry.size;

  progress_bar bar("verifying");
  static std::array<char, 64 * 1024> buffer;
  std::uint64_t position = header.header_size;
  std::size_t bad_entries = 0;
  for (std::size_t i = 0; i < header.entries.size(); ++i) {
    const stored_entry& entry = header.entries[i];
    std::uint32_t crc = 0;
    std::uint64_t left = entry.size;
    while (left > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
      const std::size_t got = archive.read(buffer.data(), want);
      if (got == 0)
        throw command_failure(args[0], "the archive ends inside " + describe_entry(i, entry) + " after " +
                                           std::to_string(entry.size - left) + " of " + std::to_string(entry.size) +
                                           " bytes",
                              make_error_code(compress_errc::unexpected_error));
      crc = crc32_bytes(buffer.data(), got, crc);
      left -= got;
      position += got;
      bar.update(position, total);
    }
    if (crc != entry.crc) {
      bar.finish();
      write_err("ovpack: " + args[0] + ": " + describe_entry(i, entry) + ": CRC-32 " + hex(crc) + ", stored " +
                hex(entry.crc) + " (" + describe_code(make_error_code(compress_errc::invalid_checksum)) + ")\n");
      ++bad_entries;
    }
  }
  std::uint64_t surplus = 0;
  for (std::size_t got; (got = archive.read(buffer.data(), buffer.size())) > 0;)
    surplus += got;
  bar.finish();
  if (surplus > 0)
    throw command_failure(args[0], std::to_string(surplus) + " byte(s) after the last entry's data",
                          make_error_code(compress_errc::unexpected_error));
  if (bad_entries > 0)
    throw command_failure(args[0], std::to_string(bad_entries) + " entry(ies) do not match their CRC-32",
                          make_error_code(compress_errc::invalid_checksum));
  write_out(args[0] + ": " + std::to_string(header.entries.size()) + " entries, " + std::to_string(total) +
            " bytes: bzip2 stream intact, archive consistent, every CRC-32 matches\n");
  return exit_success;
}

} // namespace ov::tools
