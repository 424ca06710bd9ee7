// The subcommands of ovpack. Each takes the arguments after its name (UTF-8) and returns the
// process exit code; failures of the archive or the extraction throw command_failure (exit 1),
// bad arguments throw usage_error (exit 2). The dispatcher in ovpack.cpp lists them all.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace ov::tools {

constexpr int exit_success = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

using arguments = std::vector<std::string>;

class usage_error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

int build_command(const arguments& args);   // build_command.cpp
int list_command(const arguments& args);    // list_command.cpp
int verify_command(const arguments& args);  // verify_command.cpp
int extract_command(const arguments& args); // extract_command.cpp

// Runs ovpack with its arguments (without the program name); returns the exit code.
int run_ovpack(const arguments& args);

} // namespace ov::tools
