#include "tools/ovpack/archive_writer.hpp"

#include "payload/compress_error.hpp"
#include "payload/crc32.hpp"
#include "payload/file_stream.hpp"
#include "payload/payload_header.hpp"
#include "tools/ovpack/failure.hpp"
#include "tools/ovpack/text.hpp"

#include <boost/filesystem/operations.hpp>
#include <boost/iostreams/filter/bzip2.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include <array>

#ifdef _WIN32
#include <process.h>
#define ov_process_id _getpid
#else
#include <unistd.h>
#define ov_process_id getpid
#endif

namespace ov::tools {

namespace {

namespace fs = boost::filesystem;

constexpr std::size_t chunk_size = 64 * 1024;

struct measured_entry {
  std::u16string source;
  std::u16string destination;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
};

std::string line_of(const std::string& manifest_name, const manifest_entry& entry)
{
  return manifest_name + ":" + std::to_string(entry.line);
}

// Checks that a source file exists and is a regular file; refused with its manifest line.
void check_source(const manifest_entry& entry, const std::string& where)
{
  boost::system::error_code status_error;
  const fs::file_status status = fs::status(entry.source_file, status_error);
  if (!fs::exists(status))
    throw command_failure(where, "source file \"" + utf8_from_path(entry.source_file) + "\" does not exist",
                          std::make_error_code(std::errc::no_such_file_or_directory));
  if (!fs::is_regular_file(status))
    throw command_failure(where, "source \"" + utf8_from_path(entry.source_file) + "\" is not a regular file",
                          std::make_error_code(std::errc::invalid_argument));
}

// Reads a whole source file in chunks, handing each to `consume`; returns its size.
template <class Consume>
std::uint64_t read_source(const manifest_entry& entry, const std::string& where, Consume consume)
{
  check_source(entry, where);
  input_file_stream stream(entry.source_file);
  if (!stream.is_open())
    throw command_failure(where, "cannot open source file \"" + utf8_from_path(entry.source_file) + "\"",
                          last_file_error());
  static std::array<char, chunk_size> buffer;
  std::uint64_t size = 0;
  while (stream) {
    stream.read(buffer.data(), buffer.size());
    const std::size_t count = static_cast<std::size_t>(stream.gcount());
    if (count > 0) {
      consume(buffer.data(), count);
      size += count;
    }
  }
  if (stream.bad() || !stream.eof())
    throw command_failure(where, "cannot read source file \"" + utf8_from_path(entry.source_file) + "\"",
                          last_file_error());
  return size;
}

void put_u32(std::string& out, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void put_u64(std::string& out, std::uint64_t value)
{
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void put_string(std::string& out, const std::u16string& text)
{
  put_u32(out, static_cast<std::uint32_t>(text.size()));
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
}

std::string encode_header(const std::vector<manifest_entry>& entries, const std::vector<measured_entry>& measured)
{
  std::string body;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    put_string(body, measured[i].source);
    put_string(body, measured[i].destination);
    put_u32(body, entries[i].kind);
    put_u64(body, measured[i].size);
    put_u32(body, measured[i].crc);
  }
  std::string header;
  put_u64(header, 12 + body.size());
  put_u32(header, static_cast<std::uint32_t>(entries.size()));
  return header + body;
}

// Removes the temporary archive unless it was renamed into place.
class temporary_file {
public:
  explicit temporary_file(fs::path path) : path_(std::move(path)) {}
  temporary_file(const temporary_file&) = delete;
  temporary_file& operator=(const temporary_file&) = delete;
  ~temporary_file()
  {
    if (!released_) {
      boost::system::error_code ignored;
      fs::remove(path_, ignored);
    }
  }
  const fs::path& path() const { return path_; }
  void release() { released_ = true; }

private:
  fs::path path_;
  bool released_ = false;
};

} // namespace

archive_summary write_archive(const std::vector<manifest_entry>& entries, const std::string& manifest_name,
                              const fs::path& archive, const build_progress& progress)
{
  const std::string archive_name = utf8_from_path(archive);
  if (entries.size() > 0xFFFFFFFFu)
    throw command_failure(manifest_name, "too many entries", invalid_input());

  // First pass: every source's size and CRC-32, which the header carries before the data.
  std::vector<measured_entry> measured(entries.size());
  std::uint64_t data_size = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string where = line_of(manifest_name, entries[i]);
    utf16_from_utf8(entries[i].source, measured[i].source);
    utf16_from_utf8(entries[i].destination, measured[i].destination);
    std::uint32_t crc = 0;
    measured[i].size = read_source(entries[i], where, [&](const char* data, std::size_t n) { crc = crc32_bytes(data, n, crc); });
    measured[i].crc = crc;
    data_size += measured[i].size;
  }
  const std::string header = encode_header(entries, measured);
  if (header.size() > max_header_size)
    throw command_failure(manifest_name, "the header would exceed 64 MiB, which the installer refuses", invalid_input());

  archive_summary summary{entries.size(), header.size(), header.size() + data_size};
  temporary_file temporary(archive.parent_path() /
                           (archive.filename().native() + fs::path(".tmp" + std::to_string(ov_process_id())).native()));
  {
    output_file_stream file(temporary.path());
    if (!file.is_open())
      throw command_failure(archive_name, "cannot create the archive", last_file_error());
    std::uint64_t written = 0;
    try {
      namespace io = boost::iostreams;
      io::filtering_ostream out;
      out.push(io::bzip2_compressor(io::bzip2_params(9))); // 900 k blocks
      out.push(file);
      out.exceptions(std::ios::badbit | std::ios::failbit); // a failed write throws at once
      out.write(header.data(), static_cast<std::streamsize>(header.size()));
      written = header.size();
      if (progress)
        progress(written, summary.total);
      // Second pass: the data area. A source that changed since the first pass would make
      // the header lie, so its size and CRC are checked again.
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string where = line_of(manifest_name, entries[i]);
        std::uint32_t crc = 0;
        std::uint64_t copied = 0;
        read_source(entries[i], where, [&](const char* data, std::size_t n) {
          if (copied + n > measured[i].size)
            return; // grew meanwhile: refused below
          crc = crc32_bytes(data, n, crc);
          out.write(data, static_cast<std::streamsize>(n));
          copied += n;
          written += n;
          if (progress)
            progress(written, summary.total);
        });
        if (copied != measured[i].size || crc != measured[i].crc)
          throw command_failure(where, "source file \"" + utf8_from_path(entries[i].source_file) +
                                           "\" changed while the archive was built",
                                make_error_code(compress_errc::invalid_checksum));
      }
      out.exceptions(std::ios::goodbit);
      out.pop(); // closes the chain: the compressor's last block and the stream's end marker
    } catch (const command_failure&) {
      throw;
    } catch (const std::exception& e) {
      throw command_failure(archive_name, std::string("cannot write the archive: ") + e.what(), last_file_error());
    }
    file.close();
    if (!file)
      throw command_failure(archive_name, "cannot write the archive", last_file_error());
  }

  boost::system::error_code renamed;
  fs::rename(temporary.path(), archive, renamed);
  if (renamed)
    throw command_failure(archive_name, "cannot put the archive in place", static_cast<std::error_code>(renamed));
  temporary.release();
  return summary;
}

} // namespace ov::tools
