// The command dispatcher: the one table of ovpack's subcommands, and the reporting of their
// failures on stderr.
#include "tools/ovpack/commands.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/failure.hpp"
#include "tools/ovpack/log_command.hpp"

#include <exception>

namespace ov::tools {

namespace {

struct command {
  const char* name;
  const char* usage; // arguments, shown in the usage text
  int (*run)(const arguments&);
};

// Every subcommand, in the order of the usage text. A new subcommand lives in its own
// <name>_command.cpp with its function declared in a header, and gets one row here.
const command commands[] = {
    {"build", "build MANIFEST ARCHIVE", build_command},
    {"list", "list ARCHIVE", list_command},
    {"verify", "verify ARCHIVE", verify_command},
    {"extract", "extract ARCHIVE --map PLACEHOLDER=DIR [--map PLACEHOLDER=DIR]...", extract_command},
    {"log", "log FILE", log_command},
};

std::string usage_text()
{
  std::string text = "usage:\n";
  for (const command& c : commands)
    text += std::string("  ovpack ") + c.usage + "\n";
  text += "MANIFEST lines: KIND<TAB>DESTINATION-DIRECTORY<TAB>SOURCE-FILE (source relative to the manifest)\n"
          "exit codes: 0 success, 1 failure of the archive or the extraction, 2 usage error\n";
  return text;
}

} // namespace

int run_ovpack(const arguments& args)
{
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? write_err : write_out)(usage_text());
    return args.empty() ? exit_usage : exit_success;
  }
  for (const command& c : commands) {
    if (args[0] != c.name)
      continue;
    try {
      return c.run(arguments(args.begin() + 1, args.end()));
    } catch (const usage_error& e) {
      write_err(std::string("ovpack: ") + e.what() + "\nusage: ovpack " + c.usage + "\n");
      return exit_usage;
    } catch (const command_failure& e) {
      write_err("ovpack: " + e.where() + ": " + e.what() + " (" + describe_code(e.code()) + ")\n");
      return exit_failure;
    } catch (const std::exception& e) {
      write_err(std::string("ovpack: ") + c.name + ": " + e.what() + "\n");
      return exit_failure;
    }
  }
  write_err("ovpack: unknown command \"" + args[0] + "\"\n" + usage_text());
  return exit_usage;
}

} // namespace ov::tools
