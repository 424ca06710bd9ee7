// Reading an archive's header through the payload library's parser, for list, verify and
// extract: the archive file is decompressed as a stream and only the header is collected.
#pragma once

#include "payload/payload_header.hpp"

#include <boost/filesystem/path.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include <memory>
#include <string>

namespace ov::tools {

// An archive file opened for reading its decompressed bytes in order.
class archive_stream {
public:
  // Throws command_failure naming the archive when it cannot be opened.
  explicit archive_stream(const boost::filesystem::path& archive);
  ~archive_stream();

  // Reads the header (header_size field, then the rest) and parses it. Throws command_failure:
  // compress 6 for damaged bzip2 data, compress 7 for a header that is cut short or invalid.
  payload_header read_header();

  // Reads up to n decompressed bytes; returns how many (0 at the end of the stream). Throws
  // command_failure with compress 6 for damaged bzip2 data.
  std::size_t read(char* buffer, std::size_t n);

  const std::string& name() const { return name_; }

private:
  std::string name_;
  std::unique_ptr<std::istream> file_;
  boost::iostreams::filtering_istream decompressed_;
};

} // namespace ov::tools
