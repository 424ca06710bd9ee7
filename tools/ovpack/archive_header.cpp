#include "tools/ovpack/archive_header.hpp"

#include "payload/compress_error.hpp"
#include "payload/file_stream.hpp"
#include "tools/ovpack/failure.hpp"
#include "tools/ovpack/text.hpp"

#include <boost/iostreams/filter/bzip2.hpp>

#include <vector>

namespace ov::tools {

archive_stream::archive_stream(const boost::filesystem::path& archive) : name_(utf8_from_path(archive))
{
  auto file = std::make_unique<input_file_stream>(archive);
  if (!file->is_open())
    throw command_failure(name_, "cannot open the archive", last_file_error());
  file_ = std::move(file);
  decompressed_.push(boost::iostreams::bzip2_decompressor());
  decompressed_.push(*file_);
  // The decompressor's own exception, not just a bad state, when the data is damaged.
  decompressed_.exceptions(std::ios::badbit);
}

archive_stream::~archive_stream() = default;

std::size_t archive_stream::read(char* buffer, std::size_t n)
{
  try {
    decompressed_.read(buffer, static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(decompressed_.gcount());
  } catch (const boost::iostreams::bzip2_error& e) {
    throw command_failure(name_, std::string("damaged bzip2 data: ") + e.what(), make_error_code(compress_errc::bzip2_error));
  } catch (const std::ios_base::failure& e) {
    throw command_failure(name_, std::string("cannot read the archive: ") + e.what(), last_file_error());
  }
}

payload_header archive_stream::read_header()
{
  std::vector<char> bytes(header_size_field);
  if (read(bytes.data(), bytes.size()) != bytes.size())
    throw command_failure(name_, "the archive ends inside the header_size field",
                          make_error_code(compress_errc::unexpected_error));
  std::uint64_t header_size = 0;
  try {
    header_size = read_header_size(bytes.data());
  } catch (const std::system_error& e) {
    throw command_failure(name_, "header_size is out of range (12 bytes to 64 MiB)", e.code());
  }
  bytes.resize(static_cast<std::size_t>(header_size));
  const std::size_t rest = bytes.size() - header_size_field;
  if (read(bytes.data() + header_size_field, rest) != rest)
    throw command_failure(name_, "the archive ends inside its header of " + std::to_string(header_size) + " bytes",
                          make_error_code(compress_errc::unexpected_error));
  try {
    return parse_payload_header(bytes.data(), bytes.size());
  } catch (const std::system_error& e) {
    throw command_failure(name_, "invalid header: the entry table does not fit in " + std::to_string(header_size) + " bytes",
                          e.code());
  }
}

} // namespace ov::tools
