#include "tools/ovpack/console.hpp"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace ov::tools {

void write_out(std::string_view utf8)
{
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void write_err(std::string_view utf8)
{
  std::fflush(stdout);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

void prepare_console()
{
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
#endif
}

bool stderr_is_terminal()
{
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

progress_bar::progress_bar(std::string label) : label_(std::move(label)), enabled_(stderr_is_terminal()) {}

progress_bar::~progress_bar()
{
  finish();
}

void progress_bar::update(std::uint64_t position, std::uint64_t total)
{
  if (!enabled_ || total == 0)
    return;
  const int percent = static_cast<int>(position >= total ? 100 : position * 100 / total);
  if (percent == shown_percent_)
    return;
  shown_percent_ = percent;
  constexpr int width = 40;
  const int filled = percent * width / 100;
  std::string line = "\r" + label_ + " [" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
  line += (percent < 10 ? "  " : percent < 100 ? " " : "") + std::to_string(percent) + "%";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  drawn_ = true;
}

void progress_bar::finish()
{
  if (drawn_) {
    std::fputs("\n", stderr);
    std::fflush(stderr);
    drawn_ = false;
  }
}

} // namespace ov::tools
