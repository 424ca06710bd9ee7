#include "tests/tools/run_program.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ov::test {

namespace {

std::string read_all(const boost::filesystem::path& path)
{
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

#ifdef _WIN32
std::wstring wide(const std::string& utf8)
{
  if (utf8.empty())
    return {};
  std::wstring text(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), static_cast<int>(text.size()));
  return text;
}

// One argument in the quoting that CommandLineToArgvW and the C runtime undo.
std::wstring quote(const std::wstring& arg)
{
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE inheritable_file(const boost::filesystem::path& path)
{
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}
#endif

} // namespace

#ifdef _WIN32
std::string u8(const boost::filesystem::path& path)
{
  const std::wstring& text = path.native();
  if (text.empty())
    return {};
  std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                      static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

boost::filesystem::path path_u8(const std::string& text)
{
  return boost::filesystem::path(wide(text));
}

boost::filesystem::path build_path(const std::string& unix_path)
{
  std::wstring path = L"Z:" + wide(unix_path);
  for (wchar_t& c : path)
    if (c == L'/')
      c = L'\\';
  return path;
}

program_result run_program(const boost::filesystem::path& program, const std::vector<std::string>& args,
                           const boost::filesystem::path& scratch)
{
  program_result result;
  // Fresh names for every run, so that a run can never read an earlier run's output.
  static int run = 0;
  ++run;
  const boost::filesystem::path out_file = scratch / (L"program" + std::to_wstring(run) + L".out");
  const boost::filesystem::path err_file = scratch / (L"program" + std::to_wstring(run) + L".err");
  std::wstring command_line = quote(program.native());
  for (const std::string& arg : args)
    command_line += L" " + quote(wide(arg));
  HANDLE out = inheritable_file(out_file), err = inheritable_file(err_file);
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create the output files in " << u8(scratch) << ": error " << GetLastError();
    return result;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  // Detached: no console (and no console host holding on to the output files after the exit).
  const BOOL started = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                      nullptr, nullptr, &startup, &process);
  const DWORD start_error = GetLastError();
  CloseHandle(out);
  CloseHandle(err);
  if (!started) {
    ADD_FAILURE() << "cannot start " << u8(program) << ": error " << start_error;
    return result;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  result.exit_code = static_cast<int>(code);
  result.out = read_all(out_file);
  result.err = read_all(err_file);
  return result;
}
#else
std::string u8(const boost::filesystem::path& path)
{
  return path.native();
}

boost::filesystem::path path_u8(const std::string& text)
{
  return boost::filesystem::path(text);
}

boost::filesystem::path build_path(const std::string& unix_path)
{
  return boost::filesystem::path(unix_path);
}

program_result run_program(const boost::filesystem::path& program, const std::vector<std::string>& args,
                           const boost::filesystem::path& scratch)
{
  program_result result;
  const boost::filesystem::path out_file = scratch / "program.out", err_file = scratch / "program.err";
  std::vector<char*> argv;
  std::string program_text = program.native();
  argv.push_back(program_text.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0)
      _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (child < 0) {
    ADD_FAILURE() << "cannot fork";
    return result;
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = read_all(out_file);
  result.err = read_all(err_file);
  if (result.exit_code == 127)
    ADD_FAILURE() << "cannot start " << program_text;
  return result;
}
#endif

} // namespace ov::test
