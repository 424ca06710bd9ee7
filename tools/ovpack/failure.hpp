// How ovpack reports a failure: what went wrong, where (a file, or a manifest file and line),
// and the error code behind it, written as "<category> <value>: <message>".
#pragma once

#include <boost/system/error_code.hpp>

#include <stdexcept>
#include <string>
#include <system_error>

namespace ov::tools {

class command_failure : public std::runtime_error {
public:
  command_failure(std::string where, const std::string& what, std::error_code code)
      : std::runtime_error(what), where_(std::move(where)), code_(code)
  {
  }

  const std::string& where() const { return where_; }
  const std::error_code& code() const { return code_; }

private:
  std::string where_;
  std::error_code code_;
};

// "compress 7: unexpected error", "generic 2: No such file or directory".
std::string describe_code(const std::error_code& code);
std::string describe_code(const boost::system::error_code& code);

// The error behind a failed file stream operation: the one the payload's file streams
// recorded, or the stream's own code when none was.
std::error_code last_file_error();

// The code of a manifest line that cannot be understood.
inline std::error_code invalid_input() { return std::make_error_code(std::errc::invalid_argument); }

} // namespace ov::tools
