// Placing the payload's files on disk.
#pragma once

#include "payload/file_stream.hpp"
#include "payload/notification.hpp"

#include <boost/filesystem/path.hpp>

#include <cstdint>
#include <exception>
#include <iosfwd>
#include <memory>

namespace ov {

// Decompresses the payload read from `source` (positioned at the start of the bzip2 stream)
// and writes every entry's file, sending the notifications to `observer` (must not be empty).
// True after `finished` was sent, false after `error` was sent. Exceptions outside the
// standard exception family pass through.
bool extract_payload(std::istream& source, boost::filesystem::path installation,
                     boost::filesystem::path sample, boost::filesystem::path temporary,
                     payload_observer observer);

// Opens `path` for writing (truncating it): an existing file is made writable first; missing
// parent folders are created (a failure throws boost::filesystem::filesystem_error). A failed
// open is visible only through the stream's state.
std::unique_ptr<output_file_stream> open_output_file(const boost::filesystem::path& path);

// CRC-32 of the file's bytes, read in 4096-byte blocks. A sharing violation is retried three
// times, one second apart; a read that fails throws std::system_error with the recorded error.
std::uint32_t file_crc32(const boost::filesystem::path& path);

// The error code and path an exception stands for. The path is `path`, or when that is empty
// the first path a file-system error names. The code, first that applies: a bzip2 error is
// compress 6; a stream failure after a failed file operation carries that operation's error
// (recorded_file_error); a std::system_error its code; a Boost system error its value in the
// standard system or generic category; anything else compress 7.
extraction_failure failure_from_exception(const std::exception& x, boost::filesystem::path path);

} // namespace ov
