// `ovpack log FILE` as support staff run it: a real process (natively, or ovpack.exe under
// Wine) on real log files, its output lines, its messages and exit codes.
#include "tests/tools/run_program.hpp"

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = boost::filesystem;

namespace {

// UTF-16LE with byte order mark, from UTF-8 text (the test's own small encoder).
std::string Utf16File(const std::string& utf8, bool mark = true)
{
  std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char32_t code = c;
    std::size_t length = 1;
    if (c >= 0xF0) {
      code = c & 0x07, length = 4;
    } else if (c >= 0xE0) {
      code = c & 0x0F, length = 3;
    } else if (c >= 0xC0) {
      code = c & 0x1F, length = 2;
    }
    for (std::size_t k = 1; k < length; ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    auto unit = [&](char16_t u) {
      bytes.push_back(static_cast<char>(u & 0xFF));
      bytes.push_back(static_cast<char>(u >> 8));
    };
    if (code >= 0x10000) {
      unit(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      unit(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      unit(static_cast<char16_t>(code));
    }
  }
  return bytes;
}

class OvpackLog : public ::testing::Test {
protected:
  void SetUp() override
  {
    scratch_ = fs::temp_directory_path() / fs::unique_path("ovpack-log-%%%%-%%%%");
    fs::create_directories(scratch_ / "run");
  }
  void TearDown() override { fs::remove_all(scratch_); }

  fs::path Write(const std::string& name, const std::string& bytes)
  {
    const fs::path path = scratch_ / ov::test::path_u8(name);
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good());
    return path;
  }

  ov::test::program_result Log(const std::vector<std::string>& args)
  {
    std::vector<std::string> all = {"log"};
    all.insert(all.end(), args.begin(), args.end());
    return ov::test::run_program(ov::test::build_path(OVPACK_PATH), all, scratch_ / "run");
  }

  fs::path scratch_;
};

const std::string kHeader = "// Uninstall Log File v1\r\n"
                            "// ############ WARNING: Do not delete or modify this file. ############\r\n"
                            "// Install Vestrilo 1.22 -- Update (Vestrilo 1.21)\r\n"
                            "// Install Path : C:\\Program Files\\Données\\Vestrilo 1\r\n"
                            "// Shortcut Path : C:\\Menu\\日本\r\n"
                            "// -------------------------\r\n";

} // namespace

TEST_F(OvpackLog, PrintsHeaderItemsAndEveryEntryInUtf8)
{
  struct Entry {
    int kind, value, ok;
    std::string field, path;
  } entries[] = {
      {0, -1, 1, "00ff", "C:\\Program Files\\Données"},
      {1, 2, 1, "0102", "C:\\Program Files\\Données\\Vestrilo 1\\Uninstall.exe"},
      {1, 5, 0, "0105", "C:\\A -- B\\上Ċ 😀.txt"},
      {4, -1, 1, "04ff", "C:\\Users\\Public\\Desktop\\Vestrilo 1.22.lnk"},
      {5, -1, 1, "05ff", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vestrilo 1"},
      {6, -1, 0, "06ff", "HKEY_CLASSES_ROOT\\..."},
  };
  std::string file = kHeader;
  std::string expected = "version\t1\ntitle\tVestrilo 1.22\ninstall\tC:\\Program Files\\Données\\Vestrilo 1\n"
                         "shortcuts\tC:\\Menu\\日本\n";
  int index = 0;
  for (const Entry& e : entries) {
    char number[8];
    std::snprintf(number, sizeof number, "%04d", index * 7);
    file += std::string(number) + ":" + e.field + ":" + std::to_string(e.ok) + " -- " + e.path + "\r\n";
    expected += std::to_string(index) + "\t" + std::to_string(e.kind) + "\t" + std::to_string(e.value) + "\t" +
                std::to_string(e.ok) + "\t" + e.path + "\n";
    ++index;
  }
  const fs::path log = Write("Désinstaller.ulog", Utf16File(file));
  const auto result = Log({ov::test::u8(log)});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, "");
}

TEST_F(OvpackLog, ShowsWhatWasReadBeforeTheReaderStoppedAndExitsZero)
{
  const std::string entry = "0000:0101:1 -- C:\\a.exe\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    std::string out;
    std::string stop_message; // on stderr, empty when the whole file was read
  } cases[] = {
      {"cut inside the second entry", Utf16File(kHeader + entry + "0001:0100:1 -- C:\\b.t"),
       "version\t1\ntitle\tVestrilo 1.22\ninstall\tC:\\Program Files\\Données\\Vestrilo 1\nshortcuts\tC:\\Menu\\日本\n"
       "0\t1\t1\t1\tC:\\a.exe\n",
       "line 8: file ends inside a line"},
      {"version 2", Utf16File("// Uninstall Log File v2\r\n" + entry), "version\t2\n",
       "line 1: unsupported format version"},
      {"no install path label", Utf16File("// Uninstall Log File v1\r\n// w\r\n// Install X\r\n// Path\r\n"),
       "version\t1\ntitle\tX\n", "line 4: no \"Install Path : \" line"},
      {"kind 7", Utf16File(kHeader + entry + "0001:07ff:1 -- C:\\x\r\n"),
       "version\t1\ntitle\tVestrilo 1.22\ninstall\tC:\\Program Files\\Données\\Vestrilo 1\nshortcuts\tC:\\Menu\\日本\n"
       "0\t1\t1\t1\tC:\\a.exe\n",
       "line 8: malformed entry line"},
      {"not a log", "MZ\x90", "", "line 1: file ends inside a line"},
      {"empty file", "", "", ""},
  };
  for (const auto& c : cases) {
    const fs::path log = Write("case.ulog", c.bytes);
    const auto result = Log({ov::test::u8(log)});
    EXPECT_EQ(result.exit_code, 0) << c.what;
    EXPECT_EQ(result.out, c.out) << c.what;
    if (c.stop_message.empty())
      EXPECT_EQ(result.err, "") << c.what;
    else
      EXPECT_NE(result.err.find(c.stop_message), std::string::npos) << c.what << ": " << result.err;
  }
}

TEST_F(OvpackLog, ReadsAnAnsiLogWithoutMark)
{
#ifdef _WIN32
  if (GetACP() != 1252)
    GTEST_SKIP() << "the Wine prefix's ANSI code page is " << GetACP() << ", the fixture is in 1252";
#endif
  const fs::path log = Write("ansi.ulog", "// Uninstall Log File v1\r\n// w\r\n// Install Vestrilo 1.21\r\n"
                                          "0000:0104:1 -- C:\\Donn\xE9" "es\\\x80.txt\r\n");
  const auto result = Log({ov::test::u8(log)});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "version\t1\ntitle\tVestrilo 1.21\n0\t1\t4\t1\tC:\\Données\\€.txt\n");
}

TEST_F(OvpackLog, AFileThatCannotBeOpenedIsExitOneAndBadArgumentsExitTwo)
{
  const auto missing = Log({ov::test::u8(scratch_ / "missing.ulog")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("missing.ulog"), std::string::npos) << missing.err;
  // A folder is no file to read, on every system.
  const auto folder = Log({ov::test::u8(scratch_ / "run")});
  EXPECT_EQ(folder.exit_code, 1);
  EXPECT_EQ(folder.out, "");
  EXPECT_NE(folder.err.find("cannot open"), std::string::npos) << folder.err;
  EXPECT_EQ(Log({}).exit_code, 2);
  EXPECT_EQ(Log({"a", "b"}).exit_code, 2);
}
