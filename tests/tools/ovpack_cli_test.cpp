// ovpack as its users run it: a real process (natively, or ovpack.exe under Wine), real files,
// exit codes and the messages on stderr.
#include "tests/tools/run_program.hpp"

#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <boost/filesystem.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/filter/bzip2.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace fs = boost::filesystem;
using ov::test::path_u8;
using ov::test::u8;

namespace {

std::uint32_t crc32(const std::string& bytes)
{
  boost::crc_32_type crc;
  crc.process_bytes(bytes.data(), bytes.size());
  return crc.checksum();
}

std::string hex(std::uint32_t value)
{
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

// Deterministic content: text-like (compresses well) or noise (does not).
std::string content(std::size_t size, std::uint32_t seed, bool compressible)
{
  std::string bytes;
  bytes.reserve(size);
  std::uint32_t state = seed * 2654435761u + 1;
  while (bytes.size() < size) {
    state = state * 1664525u + 1013904223u;
    if (compressible)
      bytes += "line " + std::to_string(bytes.size() % 977) + " of the sample text\n";
    else
      bytes.push_back(static_cast<char>(state >> 24));
  }
  bytes.resize(size);
  return bytes;
}

void write_file(const fs::path& path, const std::string& bytes)
{
  fs::create_directories(path.parent_path());
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << u8(path);
}

std::string read_file(const fs::path& path)
{
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

// Every regular file under `root`, relative, with '/' separators.
std::vector<std::string> files_under(const fs::path& root)
{
  std::vector<std::string> files;
  if (!fs::exists(root))
    return files;
  for (fs::recursive_directory_iterator it(root), end; it != end; ++it)
    if (fs::is_regular_file(it->status()))
      files.push_back(u8(it->path().lexically_relative(root).generic_path()));
  std::sort(files.begin(), files.end());
  return files;
}

// An archive written by the test itself, so that it can be wrong in chosen ways.
struct raw_entry {
  std::u16string source, destination;
  std::uint32_t kind = 0;
  std::string data;
  std::uint32_t crc_delta = 0; // added to the true CRC
};

void put(std::string& out, std::uint64_t value, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string encode(const std::vector<raw_entry>& entries)
{
  std::string table;
  for (const raw_entry& e : entries) {
    put(table, e.source.size(), 4);
    for (char16_t c : e.source)
      put(table, c, 2);
    put(table, e.destination.size(), 4);
    for (char16_t c : e.destination)
      put(table, c, 2);
    put(table, e.kind, 4);
    put(table, e.data.size(), 8);
    put(table, crc32(e.data) + e.crc_delta, 4);
  }
  std::string archive;
  put(archive, 12 + table.size(), 8);
  put(archive, entries.size(), 4);
  archive += table;
  for (const raw_entry& e : entries)
    archive += e.data;
  return archive;
}

std::string bzip2(const std::string& bytes)
{
  std::string compressed;
  {
    boost::iostreams::filtering_ostream out;
    out.push(boost::iostreams::bzip2_compressor());
    out.push(boost::iostreams::back_inserter(compressed));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  return compressed;
}

class Ovpack : public ::testing::Test {
protected:
  void SetUp() override
  {
    scratch_ = fs::temp_directory_path() / fs::unique_path("ovpack-cli-%%%%-%%%%");
    fs::create_directories(scratch_);
  }
  void TearDown() override { fs::remove_all(scratch_); }

  ov::test::program_result ovpack(const std::vector<std::string>& args)
  {
    return ov::test::run_program(ov::test::build_path(OVPACK_PATH), args, scratch_);
  }

  // The folder a test works in (the program's captured output lies beside it).
  fs::path work() const { return scratch_ / "work"; }

  std::vector<std::string> maps(const fs::path& out) const
  {
    return {"--map", "<InstallPath>=" + u8(out / "app"), "--map", "<CommonData>=" + u8(out / "common"),
            "--map", "<SamplePath>=" + u8(out / "samples"), "--map", "<Temporary>=" + u8(out / "temp")};
  }

  fs::path scratch_;
};

struct manifest_row {
  std::uint32_t kind;
  std::string destination; // as written in the manifest
  std::string source;      // as written in the manifest
  std::string stored;      // as the archive stores it
  std::string data;
  std::string installed;   // where extract puts it, below the output folder
};

TEST_F(Ovpack, BuildListVerifyExtractRoundTrip)
{
  const std::vector<manifest_row> rows = {
      {0, "<InstallPath>", "empty-first.txt", "empty-first.txt", "", "app/empty-first.txt"},
      {1, "<InstallPath>", "bin/Vestrilo.exe", "bin/Vestrilo.exe", content(300000, 1, false), "app/Vestrilo.exe"},
      {0, "<InstallPath>\\Données", "日本.txt", "日本.txt", "こんにちは, Données\n", "app/Données/日本.txt"},
      {3, "<CommonData>\\Orvane & Drey\\Modules", "data\\zero-middle.dat", "data/zero-middle.dat", "",
       "common/Orvane & Drey/Modules/zero-middle.dat"},
      {4, "<SamplePath>", "samples/big.txt", "samples/big.txt", content(1300000, 2, true), "samples/big.txt"},
      {5, "<Temporary>", "tmp/scratch.bin", "tmp/scratch.bin", content(5000, 3, false), "temp/scratch.bin"},
      {2, "<InstallPath>", "Uninstall.exe", "Uninstall.exe", content(70000, 4, false), "app/Uninstall.exe"},
      {0, "<InstallPath>\\Lang", "empty-last.txt", "empty-last.txt", "", "app/Lang/empty-last.txt"},
  };
  // A byte order mark, a comment, an empty line and one CR LF line end are all accepted.
  std::string manifest = "\xEF\xBB\xBF# test product\n\n";
  std::string expected_list;
  for (const manifest_row& row : rows) {
    std::string stored_path = row.stored;
    write_file(work() / "content" / path_u8(stored_path), row.data);
    manifest += std::to_string(row.kind) + "\t" + row.destination + "\t" + row.source + (row.kind == 3 ? "\r\n" : "\n");
    expected_list += std::to_string(row.kind) + "\t" + std::to_string(row.data.size()) + "\t" + hex(crc32(row.data)) +
                     "\t" + row.destination + "\t" + row.stored + "\n";
  }
  write_file(work() / "content" / "manifest.txt", manifest);
  const fs::path archive = work() / path_u8("Données") / path_u8("日本.payload");
  fs::create_directories(archive.parent_path());

  auto built = ovpack({"build", u8(work() / "content" / "manifest.txt"), u8(archive)});
  ASSERT_EQ(built.exit_code, 0) << built.err;
  EXPECT_TRUE(contains(built.out, "8 entries")) << built.out;
  EXPECT_EQ(read_file(archive).substr(0, 4), "BZh9") << "one bzip2 stream with 900 k blocks";

  auto listed = ovpack({"list", u8(archive)});
  ASSERT_EQ(listed.exit_code, 0) << listed.err;
  EXPECT_EQ(listed.out, expected_list);

  auto verified = ovpack({"verify", u8(archive)});
  EXPECT_EQ(verified.exit_code, 0) << verified.err;

  const fs::path out = work() / path_u8("sortie 日本");
  std::vector<std::string> args = {"extract", u8(archive)};
  for (const std::string& map : maps(out))
    args.push_back(map);
  auto extracted = ovpack(args);
  ASSERT_EQ(extracted.exit_code, 0) << extracted.err;
  EXPECT_TRUE(contains(extracted.out, "8 files")) << extracted.out;
  std::vector<std::string> expected_files;
  for (const manifest_row& row : rows) {
    expected_files.push_back(row.installed);
    EXPECT_EQ(read_file(out / path_u8(row.installed)), row.data) << row.installed;
  }
  std::sort(expected_files.begin(), expected_files.end());
  EXPECT_EQ(files_under(out), expected_files);
}

TEST_F(Ovpack, BuildingTwiceGivesTheSameBytes)
{
  write_file(work() / "a.bin", content(200000, 7, false));
  write_file(work() / "b.txt", content(50000, 8, true));
  write_file(work() / "manifest.txt", "0\t<InstallPath>\ta.bin\n4\t<SamplePath>\tb.txt\n");
  ASSERT_EQ(ovpack({"build", u8(work() / "manifest.txt"), u8(work() / "one.payload")}).exit_code, 0);
  ASSERT_EQ(ovpack({"build", u8(work() / "manifest.txt"), u8(work() / "two.payload")}).exit_code, 0);
  EXPECT_EQ(read_file(work() / "one.payload"), read_file(work() / "two.payload"));
}

struct refused_line {
  const char* name;
  std::string line;    // written as line 3 of the manifest
  const char* message; // part of the error message
  const char* code;    // category and value
};

TEST_F(Ovpack, BuildRefusesABadManifestLineByNumberAndLeavesNoArchive)
{
  write_file(work() / "good.txt", "good");
  fs::create_directories(work() / "folder");
  const refused_line cases[] = {
      {"missing source", "0\t<InstallPath>\tmissing.txt", "does not exist", "generic 2:"},
      {"source is a folder", "0\t<InstallPath>\tfolder", "not a regular file", "generic 22:"},
      {"kind out of range", "6\t<InstallPath>\tgood.txt", "bad kind \"6\"", "generic 22:"},
      {"kind not a number", "x\t<InstallPath>\tgood.txt", "bad kind \"x\"", "generic 22:"},
      {"kind missing", "\t<InstallPath>\tgood.txt", "bad kind \"\"", "generic 22:"},
      {"two fields", "0\t<InstallPath>", "malformed line", "generic 22:"},
      {"four fields", "0\t<InstallPath>\tgood.txt\textra", "malformed line", "generic 22:"},
      {"blanks instead of tabs", "0 <InstallPath> good.txt", "malformed line", "generic 22:"},
      {"empty destination", "0\t\tgood.txt", "empty destination", "generic 22:"},
      {"destination leaves its folder", "0\t<InstallPath>\\..\\x\tgood.txt", "leaves its folder", "generic 22:"},
      {"forbidden file name", "0\t<InstallPath>\tbad:name.txt", "valid file name", "generic 22:"},
      {"invalid UTF-8", "0\t<InstallPath>\\\xC3\x28\tgood.txt", "UTF-8", "generic 22:"},
  };
  const fs::path out = work() / "out";
  fs::create_directories(out);
  const fs::path existing = out / "existing.payload";
  write_file(existing, "an older archive");
  for (const refused_line& c : cases) {
    write_file(work() / "manifest.txt", "# line 1\n0\t<InstallPath>\tgood.txt\n" + c.line + "\n0\t<InstallPath>\tgood.txt\n");
    for (const fs::path& archive : {out / "new.payload", existing}) {
      auto result = ovpack({"build", u8(work() / "manifest.txt"), u8(archive)});
      EXPECT_EQ(result.exit_code, 1) << c.name;
      EXPECT_TRUE(contains(result.err, "manifest.txt:3:")) << c.name << ": " << result.err;
      EXPECT_TRUE(contains(result.err, c.message)) << c.name << ": " << result.err;
      EXPECT_TRUE(contains(result.err, c.code)) << c.name << ": " << result.err;
    }
    EXPECT_EQ(files_under(out), std::vector<std::string>{"existing.payload"}) << c.name;
    EXPECT_EQ(read_file(existing), "an older archive") << c.name;
  }
}

TEST_F(Ovpack, AnArchiveThatCannotBePutInPlaceLeavesNothingBehind)
{
  // Everything is written (to a temporary name) before the final rename fails: the archive's
  // name is taken by a folder.
  write_file(work() / "a.bin", content(100000, 5, false));
  write_file(work() / "manifest.txt", "0\t<InstallPath>\ta.bin\n");
  const fs::path out = work() / "out";
  fs::create_directories(out / "taken.payload" / "inside");
  auto result = ovpack({"build", u8(work() / "manifest.txt"), u8(out / "taken.payload")});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(contains(result.err, "taken.payload")) << result.err;
  EXPECT_TRUE(contains(result.err, "cannot put the archive in place")) << result.err;
  EXPECT_EQ(files_under(out), std::vector<std::string>{}) << "a temporary archive was left behind";
  EXPECT_TRUE(fs::is_directory(out / "taken.payload" / "inside"));
}

TEST_F(Ovpack, AFolderIsNoManifestAndNoArchive)
{
  // A folder must not pass for an empty file: no empty archive is built from it, and it is not
  // read as an archive.
  const fs::path folder = work() / "folder";
  fs::create_directories(folder);
  const fs::path archive = work() / "out.payload";
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"build", u8(folder), u8(archive)}, "cannot open the manifest"},
      {{"list", u8(folder)}, "cannot open the archive"},
      {{"verify", u8(folder)}, "cannot open the archive"},
      {{"extract", u8(folder), "--map", "<InstallPath>=" + u8(work() / "app")}, "cannot open the archive"},
  };
  for (const auto& [args, message] : cases) {
    auto result = ovpack(args);
    EXPECT_EQ(result.exit_code, 1) << args[0] << ": " << result.err;
    EXPECT_TRUE(contains(result.err, message)) << args[0] << ": " << result.err;
    EXPECT_TRUE(contains(result.err, u8(folder))) << args[0] << ": " << result.err;
  }
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_FALSE(fs::exists(work() / "app"));
}

TEST_F(Ovpack, UsageErrorsExitWithTwo)
{
  write_file(work() / "a.payload", bzip2(encode({})));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"build", "only-one"},
      {"build", "a", "b", "c"},
      {"list"},
      {"verify", "a", "b"},
      {"extract"},
      {"extract", u8(work() / "a.payload"), "--map"},
      {"extract", u8(work() / "a.payload"), "--map", "<InstallPath>"},
      {"extract", u8(work() / "a.payload"), "--map", "<Nowhere>=x"},
      {"extract", u8(work() / "a.payload"), "--map", "<InstallPath>=x", "--map", "<InstallPath>=y"},
      {"extract", u8(work() / "a.payload"), "--force"},
  };
  for (const auto& args : cases) {
    auto result = ovpack(args);
    std::string shown;
    for (const std::string& a : args)
      shown += a + " ";
    EXPECT_EQ(result.exit_code, 2) << shown;
    EXPECT_TRUE(contains(result.err, "usage")) << shown << ": " << result.err;
  }
  EXPECT_FALSE(fs::exists(work() / "x"));
}

struct damaged_archive {
  const char* name;
  std::string bytes; // the archive file
  const char* reason;
  const char* code;
};

TEST_F(Ovpack, VerifyAndExtractRefuseDamagedArchivesWithTheReason)
{
  const std::vector<raw_entry> entries = {
      {u"first.bin", u"<InstallPath>", 0, content(150000, 11, false)},
      {u"second.txt", u"<InstallPath>\\Docs", 4, content(90000, 12, true)},
  };
  const std::string good = encode(entries);
  std::string flipped = bzip2(good);
  flipped[flipped.size() / 2] ^= 0x10;
  std::string truncated = bzip2(good);
  truncated.resize(truncated.size() - 20);
  std::vector<raw_entry> wrong_crc = entries;
  wrong_crc[1].crc_delta = 1;
  std::string bad_header_size = good;
  bad_header_size[0] = 4; // header_size 4: smaller than the size field and the entry count
  std::string table_too_long = good;
  table_too_long[12] = '\x7f'; // the first source length runs far past header_size
  const damaged_archive cases[] = {
      {"a flipped bit in the compressed data", flipped, "bzip2", "compress 6:"},
      {"compressed data cut short", truncated, "bzip2", "compress 6:"},
      {"not bzip2 at all", "this is not an archive", "bzip2", "compress 6:"},
      {"an entry whose CRC-32 is wrong", bzip2(encode(wrong_crc)), "entry 2 (\"second.txt\"", "compress 3:"},
      {"one byte after the last entry", bzip2(good + "x"), "after the last entry", "compress 7:"},
      {"data area cut short", bzip2(good.substr(0, good.size() - 1000)), "ends inside entry 2", "compress 7:"},
      {"archive ends inside the header", bzip2(good.substr(0, 20)), "header", "compress 7:"},
      {"header_size too small", bzip2(bad_header_size), "header_size", "compress 7:"},
      {"entry table past header_size", bzip2(table_too_long), "header", "compress 7:"},
  };
  const fs::path archive = work() / "damaged.payload";
  const fs::path out = work() / "out";
  for (const damaged_archive& c : cases) {
    write_file(archive, c.bytes);
    auto verified = ovpack({"verify", u8(archive)});
    EXPECT_EQ(verified.exit_code, 1) << c.name;
    EXPECT_TRUE(contains(verified.err, c.reason)) << c.name << ": " << verified.err;
    EXPECT_TRUE(contains(verified.err, c.code)) << c.name << ": " << verified.err;

    std::vector<std::string> args = {"extract", u8(archive)};
    for (const std::string& map : maps(out))
      args.push_back(map);
    auto extracted = ovpack(args);
    EXPECT_EQ(extracted.exit_code, 1) << c.name << ": " << extracted.err;
    fs::remove_all(out);
  }
  // The undamaged archive passes, so the failures above come from the damage.
  write_file(archive, bzip2(good));
  EXPECT_EQ(ovpack({"verify", u8(archive)}).exit_code, 0);
}

TEST_F(Ovpack, ExtractWritesNothingFromADamagedStream)
{
  const std::string good = encode({{u"a.bin", u"<InstallPath>", 0, content(400000, 21, false)}});
  std::string damaged = bzip2(good);
  damaged[damaged.size() - 100] ^= 0x01;
  write_file(work() / "damaged.payload", damaged);
  const fs::path out = work() / "out";
  auto result = ovpack({"extract", u8(work() / "damaged.payload"), "--map", "<InstallPath>=" + u8(out)});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(contains(result.err, "compress 4:")) << result.err;
  EXPECT_TRUE(contains(result.err, "nothing was written")) << result.err;
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(Ovpack, ExtractNamesTheFileWhoseCrcIsWrong)
{
  std::vector<raw_entry> entries = {{u"fine.txt", u"<InstallPath>", 0, "fine"},
                                    {u"wrong.txt", u"<InstallPath>\\Sub", 0, "wrong", 5}};
  write_file(work() / "a.payload", bzip2(encode(entries)));
  const fs::path out = work() / "out";
  auto result = ovpack({"extract", u8(work() / "a.payload"), "--map", "<InstallPath>=" + u8(out)});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(contains(result.err, "compress 3:")) << result.err;
  EXPECT_TRUE(contains(result.err, "wrong.txt")) << result.err;
  EXPECT_EQ(read_file(out / "fine.txt"), "fine");
}

TEST_F(Ovpack, ExtractRefusesAPlaceholderThatNoMapGives)
{
  const std::vector<raw_entry> entries = {{u"a.txt", u"<InstallPath>", 0, "a"},
                                          {u"b.txt", u"<CommonData>\\Orvane & Drey", 0, "b"}};
  write_file(work() / "a.payload", bzip2(encode(entries)));
  const fs::path out = work() / "out";
  auto result = ovpack({"extract", u8(work() / "a.payload"), "--map", "<InstallPath>=" + u8(out / "app")});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(contains(result.err, "<CommonData>")) << result.err;
  EXPECT_TRUE(contains(result.err, "compress 7:")) << result.err;
  EXPECT_FALSE(fs::exists(out));

  // With the second folder given, both files are placed.
  result = ovpack({"extract", u8(work() / "a.payload"), "--map", "<InstallPath>=" + u8(out / "app"), "--map",
                   "<CommonData>=" + u8(out / "common")});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(files_under(out), (std::vector<std::string>{"app/a.txt", "common/Orvane & Drey/b.txt"}));
}

} // namespace
