// Vestrilo.exe, the demo product's main program: a small window that shows the product and
// the document it was asked to open. Started with "/Register /Background" it registers the
// product's document type (".vestrilo") for all users and ends with exit code -10, which is
// what the setup program expects from a successful registration run. "/Unregister" removes
// that registration again (the uninstaller's counterpart).
#include "demo/common/text_window.hpp"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

const wchar_t kClassesRoot[] = L"Software\\Classes";
const wchar_t kExtension[] = L".vestrilo";
const wchar_t kProgId[] = L"Vestrilo.Document";
const int kRegisteredExitCode = -10;

std::vector<std::wstring> CommandLineArguments()
{
  std::vector<std::wstring> args;
  int count = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i)
      args.emplace_back(argv[i]);
    LocalFree(argv);
  }
  return args;
}

bool HasSwitch(const std::vector<std::wstring>& args, const wchar_t* name)
{
  for (const std::wstring& arg : args)
    if (lstrcmpiW(arg.c_str(), name) == 0)
      return true;
  return false;
}

std::wstring ModulePath()
{
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Sets the default value of HKLM\Software\Classes\<subkey>.
bool SetClassesDefault(const std::wstring& subkey, const std::wstring& value)
{
  std::wstring key = std::wstring(kClassesRoot) + L"\\" + subkey;
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool RegisterDocumentType()
{
  const std::wstring program = ModulePath();
  if (program.empty())
    return false;
  const std::wstring quoted = L"\"" + program + L"\"";
  const std::wstring progId = kProgId;
  return SetClassesDefault(kExtension, progId) && SetClassesDefault(progId, L"Vestrilo Document") &&
         SetClassesDefault(progId + L"\\DefaultIcon", program + L",0") &&
         SetClassesDefault(progId + L"\\shell\\open\\command", quoted + L" \"%1\"");
}

bool UnregisterDocumentType()
{
  HKEY classes = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesRoot, 0, KEY_ALL_ACCESS, &classes) != ERROR_SUCCESS)
    return false;
  LONG a = RegDeleteTreeW(classes, kExtension);
  LONG b = RegDeleteTreeW(classes, kProgId);
  RegCloseKey(classes);
  auto removed = [](LONG status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; };
  return removed(a) && removed(b);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
  const std::vector<std::wstring> args = CommandLineArguments();
  if (HasSwitch(args, L"/Register"))
    return RegisterDocumentType() ? kRegisteredExitCode : 1;
  if (HasSwitch(args, L"/Unregister"))
    return UnregisterDocumentType() ? 0 : 1;
  std::wstring document;
  for (const std::wstring& arg : args)
    if (!arg.empty() && arg[0] != L'/')
      document = arg;
  demo::text_window window = {L"VestriloMainWindow", L"Vestrilo 1.22", 480, 320,
                              L"Vestrilo 1.22\nOrvane & Drey\n\n"};
  window.text += document.empty() ? std::wstring(L"No document open.") : L"Document: " + document;
  return demo::RunTextWindow(instance, show, window);
}
