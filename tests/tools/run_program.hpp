// Runs a program of the build (natively, or a Windows program with CreateProcessW under Wine)
// with UTF-8 arguments and collects its exit code and its output bytes.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>
#include <vector>

namespace ov::test {

struct program_result {
  int exit_code = -1;
  std::string out; // stdout bytes
  std::string err; // stderr bytes
};

// Runs `program` with `args`; its stdout and stderr go to files in `scratch`, read back after
// it ended. Fails the calling test (and returns exit code -1) when it cannot be started.
program_result run_program(const boost::filesystem::path& program, const std::vector<std::string>& args,
                           const boost::filesystem::path& scratch);

// UTF-8 text of a path, and the path of UTF-8 text (wide on Windows).
std::string u8(const boost::filesystem::path& path);
boost::filesystem::path path_u8(const std::string& text);

// The path of a file of the build tree given by its Unix path (compile definitions carry Unix
// paths; under Wine the Unix root is drive Z:).
boost::filesystem::path build_path(const std::string& unix_path);

} // namespace ov::test
