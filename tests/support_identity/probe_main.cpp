// A small program carrying a version resource of its own (or none): it writes the display name
// the support library finds for it, as UTF-16, to the file named on its command line.
#include "support/identity.hpp"

#include <windows.h>
#include <shellapi.h>

#include <string>

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  const std::wstring name = ov::GetApplicationDisplayName();
  HANDLE file = ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ::LocalFree(argv);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  const BOOL ok = ::WriteFile(file, name.data(), bytes, &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes ? 0 : 4;
}
