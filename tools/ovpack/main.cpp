// ovpack's entry point: the arguments arrive as UTF-8 (converted from UTF-16 on Windows).
#include "tools/ovpack/commands.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/text.hpp"

#include <cstdio>

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
  ov::tools::prepare_console();
  ov::tools::arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring wide(argv[i]);
    args.push_back(ov::tools::utf8_from_utf16(std::u16string(wide.begin(), wide.end())));
  }
  const int code = ov::tools::run_ovpack(args);
  std::fflush(stdout);
  return code;
}
#else
int main(int argc, char** argv)
{
  ov::tools::prepare_console();
  const int code = ov::tools::run_ovpack(ov::tools::arguments(argv + 1, argv + argc));
  std::fflush(stdout);
  return code;
}
#endif
