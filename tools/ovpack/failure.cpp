#include "tools/ovpack/failure.hpp"

#include "payload/file_stream.hpp"

#include <ios>

namespace ov::tools {

namespace {

std::string describe(const char* category, int value, const std::string& message)
{
  return std::string(category) + " " + std::to_string(value) + ": " + message;
}

} // namespace

std::error_code last_file_error()
{
  const std::error_code recorded = recorded_file_error();
  return recorded ? recorded : std::make_error_code(std::io_errc::stream);
}

std::string describe_code(const std::error_code& code)
{
  return describe(code.category().name(), code.value(), code.message());
}

std::string describe_code(const boost::system::error_code& code)
{
  return describe(code.category().name(), code.value(), code.message());
}

} // namespace ov::tools
