// ovpack's output: UTF-8 bytes on stdout and stderr (also on Windows, where the streams are
// switched to binary mode), and a progress bar drawn only when stderr is a terminal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ov::tools {

void write_out(std::string_view utf8);
void write_err(std::string_view utf8);

// Prepares stdout and stderr for UTF-8 bytes (binary mode, and a UTF-8 console on Windows).
void prepare_console();

bool stderr_is_terminal();

// "label [#########.........]  42%" on one terminal line, redrawn when the percentage changes.
class progress_bar {
public:
  explicit progress_bar(std::string label);
  ~progress_bar();
  progress_bar(const progress_bar&) = delete;
  progress_bar& operator=(const progress_bar&) = delete;

  void update(std::uint64_t position, std::uint64_t total);
  // Ends the bar's line (also done by the destructor).
  void finish();

private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  int shown_percent_ = -1;
};

} // namespace ov::tools
