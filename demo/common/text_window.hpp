// The demo programs' window: a resizable top-level window that shows one text, and the message
// loop that runs until it is closed.
#pragma once

#include <windows.h>

#include <string>

namespace demo {

struct text_window {
  const wchar_t* class_name;
  const wchar_t* title;
  int width;
  int height;
  std::wstring text;
};

// Registers the window's class, shows the window with `show` and runs the message loop until
// the window is closed. Answers the exit code of WM_QUIT, or 1 when the window cannot be made.
int RunTextWindow(HINSTANCE instance, int show, const text_window& window);

} // namespace demo
