// Uninstall.exe, the demo product's uninstaller. For now a window that says what it is for;
// the removal of what the installation recorded in Uninstall.ulog comes later.
#include "demo/common/text_window.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
  const demo::text_window window = {
      L"VestriloUninstallWindow", L"Vestrilo 1.22 Uninstall", 480, 240,
      L"This program will remove Vestrilo 1.22 by Orvane & Drey from this computer.\n\n"
      L"Removal is not available in this version yet; close this window to leave everything as it is."};
  return demo::RunTextWindow(instance, show, window);
}
