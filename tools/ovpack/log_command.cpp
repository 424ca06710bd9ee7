// ovpack log FILE: runs the installer's uninstall log reader on a file and prints what it
// takes from it (see log_command.hpp). Files without byte order mark are decoded from the
// system's ANSI code page on Windows, as the installer does, and from code page 1252 elsewhere.
#include "tools/ovpack/log_command.hpp"

#include "engine/log_parser.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/text.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace ov::tools {

namespace {

class file_source : public LogByteSource {
public:
  explicit file_source(std::FILE* file) : file_(file) {}
  std::ptrdiff_t Read(unsigned char* buffer, std::size_t size) override
  {
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got == 0 && std::ferror(file_))
      return -1;
    return static_cast<std::ptrdiff_t>(got);
  }

private:
  std::FILE* file_;
};

#ifdef _WIN32
std::u16string decode_ansi(std::string_view bytes)
{
  if (bytes.empty())
    return {};
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), size, nullptr, 0);
  if (units <= 0)
    return {};
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), size, text.data(), units);
  return std::u16string(text.begin(), text.end());
}

std::FILE* open_file(const std::string& utf8)
{
  return _wfopen(path_from_utf8(utf8).c_str(), L"rb");
}
#else
std::u16string decode_ansi(std::string_view bytes) { return DecodeWindows1252(bytes); }

// fopen opens a folder here (reading it then fails); on Windows it does not. A folder is no
// file to read on either.
std::FILE* open_file(const std::string& utf8)
{
  std::FILE* file = std::fopen(path_from_utf8(utf8).c_str(), "rb");
  struct stat status {};
  if (file && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
    std::fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return file;
}
#endif

} // namespace

int log_command(const arguments& args)
{
  if (args.size() != 1)
    throw usage_error("log takes one uninstall log file");
  std::FILE* file = open_file(args[0]);
  if (!file) {
    write_err("ovpack: " + args[0] + ": cannot open the file (" + std::strerror(errno) + ")\n");
    return exit_failure;
  }
  file_source source(file);
  const LogContents log = ParseUninstallLog(source, decode_ansi);
  std::fclose(file);

  std::string text;
  if (log.version)
    text += "version\t" + std::to_string(*log.version) + "\n";
  if (log.title)
    text += "title\t" + utf8_from_utf16(*log.title) + "\n";
  if (log.install_folder)
    text += "install\t" + utf8_from_utf16(*log.install_folder) + "\n";
  if (log.shortcut_folder)
    text += "shortcuts\t" + utf8_from_utf16(*log.shortcut_folder) + "\n";
  for (std::size_t i = 0; i < log.entries.size(); ++i) {
    const LogEntryLine& entry = log.entries[i];
    text += std::to_string(i) + "\t" + std::to_string(entry.kind) + "\t" + std::to_string(entry.value) + "\t" +
            (entry.ok ? "1" : "0") + "\t" + utf8_from_utf16(entry.path) + "\n";
  }
  write_out(text);
  if (log.stop != LogStop::EndOfFile) {
    write_err("ovpack: " + args[0] + ": reading stopped at line " + std::to_string(log.stop_line) + ": " +
              DescribeLogStop(log.stop) + "\n");
  }
  return exit_success;
}

} // namespace ov::tools
