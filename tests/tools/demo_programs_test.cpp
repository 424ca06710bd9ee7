// The demo product's two programs under Wine: the main program's registration run (exit code
// -10, the document type in HKEY_LOCAL_MACHINE\Software\Classes), its version resource, and
// both windows.
#include "support/identity.hpp"
#include "tests/tools/run_program.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

const wchar_t kClasses[] = L"Software\\Classes";

std::wstring read_default(const std::wstring& subkey)
{
  const std::wstring key = std::wstring(kClasses) + L"\\" + subkey;
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"(missing)";
  return value;
}

bool key_exists(const std::wstring& subkey)
{
  HKEY key = nullptr;
  const std::wstring path = std::wstring(kClasses) + L"\\" + subkey;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void remove_registration()
{
  HKEY classes = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClasses, 0, KEY_ALL_ACCESS, &classes) == ERROR_SUCCESS) {
    RegDeleteTreeW(classes, L".vestrilo");
    RegDeleteTreeW(classes, L"Vestrilo.Document");
    RegCloseKey(classes);
  }
}

// Starts `program` with `arguments` (a command-line tail such as L" /Register /Background").
PROCESS_INFORMATION start(const std::wstring& program, const std::wstring& arguments)
{
  std::wstring command_line = L"\"" + program + L"\"" + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
  return process;
}

DWORD wait_for_exit(PROCESS_INFORMATION& process)
{
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

std::wstring vestrilo() { return ov::test::build_path(VESTRILO_EXE).wstring(); }
std::wstring uninstaller() { return ov::test::build_path(UNINSTALL_EXE).wstring(); }

class RegistrationRun : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (key_exists(L".vestrilo") || key_exists(L"Vestrilo.Document"))
      GTEST_SKIP() << "the prefix already has a .vestrilo registration; it is left untouched";
    cleanup_ = true;
  }
  void TearDown() override
  {
    if (cleanup_)
      remove_registration();
  }
  bool cleanup_ = false;
};

TEST_F(RegistrationRun, RegistersTheDocumentTypeAndExitsWithMinusTen)
{
  PROCESS_INFORMATION process = start(vestrilo(), L" /Register /Background");
  ASSERT_NE(process.hProcess, nullptr);
  EXPECT_EQ(wait_for_exit(process), static_cast<DWORD>(-10));

  EXPECT_EQ(read_default(L".vestrilo"), L"Vestrilo.Document");
  EXPECT_EQ(read_default(L"Vestrilo.Document"), L"Vestrilo Document");
  EXPECT_EQ(read_default(L"Vestrilo.Document\\DefaultIcon"), vestrilo() + L",0");
  EXPECT_EQ(read_default(L"Vestrilo.Document\\shell\\open\\command"), L"\"" + vestrilo() + L"\" \"%1\"");
  // The merged view of HKEY_CLASSES_ROOT shows it too, which is what the shell reads.
  wchar_t value[256] = {};
  DWORD size = sizeof value;
  EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, L".vestrilo", nullptr, RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
  EXPECT_STREQ(value, L"Vestrilo.Document");

  process = start(vestrilo(), L" /Unregister");
  ASSERT_NE(process.hProcess, nullptr);
  EXPECT_EQ(wait_for_exit(process), 0u);
  EXPECT_FALSE(key_exists(L".vestrilo"));
  EXPECT_FALSE(key_exists(L"Vestrilo.Document"));
}

// The setup program reads the installed main program's whole version resource to decide between
// reinstallation and update: every item must be there, and the number must be the one the setup
// program installs (1.22.0.1), so that running the setup again offers a reinstallation.
TEST(DemoPrograms, MainProgramCarriesTheFullVersionResourceOfTheRelease)
{
  const std::wstring path = vestrilo();
  ov::VersionInfo info;
  ASSERT_TRUE(ov::ReadVersionInfo(info, path.c_str()));
  EXPECT_EQ(info.version_number, (std::uint64_t(1) << 48) | (std::uint64_t(22) << 32) | 1u);
  EXPECT_EQ(info.name, L"Vestrilo");
  EXPECT_EQ(info.display_text, L"Vestrilo 1.22");
  EXPECT_FALSE(info.copyright.empty());
}

struct window_case {
  std::wstring (*program)();
  const wchar_t* window_class;
  const wchar_t* title;
};

TEST(DemoPrograms, BothProgramsShowTheirWindowAndCloseCleanly)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no X display for Wine's windows (the Wine session script provides one)";
  const window_case cases[] = {{vestrilo, L"VestriloMainWindow", L"Vestrilo 1.22"},
                               {uninstaller, L"VestriloUninstallWindow", L"Vestrilo 1.22 Uninstall"}};
  for (const window_case& c : cases) {
    PROCESS_INFORMATION process = start(c.program(), L"");
    ASSERT_NE(process.hProcess, nullptr);
    WaitForInputIdle(process.hProcess, 30000);
    HWND window = nullptr;
    for (int attempt = 0; attempt < 300 && !window; ++attempt) {
      window = FindWindowW(c.window_class, nullptr);
      if (!window)
        Sleep(100);
    }
    ASSERT_NE(window, nullptr) << "no window of class " << ov::test::u8(c.window_class);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, process.dwProcessId);
    wchar_t title[128] = {};
    GetWindowTextW(window, title, 128);
    EXPECT_STREQ(title, c.title);
    EXPECT_TRUE(IsWindowVisible(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_for_exit(process), 0u);
  }
}

} // namespace
