// The archive header parser and the payload_extractor fed directly, chunk by chunk.
#include "payload/compress_error.hpp"
#include "payload/crc32.hpp"
#include "payload/payload_extractor.hpp"
#include "payload/payload_header.hpp"
#include "payload/shell_folder.hpp"
#include "payload/utf16.hpp"
#include "test_support.hpp"

#include <boost/crc.hpp>
#include <boost/filesystem/operations.hpp>

#include <gtest/gtest.h>

#include <memory>

namespace fs = boost::filesystem;
using namespace ov;
using namespace ov::test;

namespace {

std::vector<test_entry> three_entries()
{
    return {
        {u"C:\\build\\content\\pictures\\Données.png", u"<InstallPath>\\Lang", sample_data(5000, 1), 0},
        {u"/home/maker/日本.dll", u"<InstallPath>", sample_data(3, 2), 1},
        {u"readme.txt", u"<InstallPath>\\Docs\\Deep", sample_data(9000, 3), 4},
    };
}

TEST(Crc32, MatchesBoostAndChains)
{
    const std::string data = sample_data(10000, 7);
    boost::crc_32_type reference;
    reference.process_bytes(data.data(), data.size());
    EXPECT_EQ(crc32_bytes(data.data(), data.size()), reference.checksum());
    EXPECT_EQ(crc32_bytes("123456789", 9), 0xCBF43926u); // the CRC-32 check value
    const std::uint32_t first = crc32_bytes(data.data(), 1234);
    EXPECT_EQ(crc32_bytes(data.data() + 1234, data.size() - 1234, first), reference.checksum());
    EXPECT_EQ(crc32_bytes(nullptr, 0), 0u);
}

TEST(PayloadHeader, ParsesEveryFieldWithinTheHeaderOnly)
{
    std::vector<test_entry> entries = three_entries();
    entries[1].crc = 0xDEADBEEF;
    const std::string header = header_bytes(entries, 5);
    // Exactly the header's bytes in their own allocation: a read past it is caught by ASan.
    auto exact = std::make_unique<char[]>(header.size());
    std::copy(header.begin(), header.end(), exact.get());
    const payload_header parsed = parse_payload_header(exact.get(), header.size());

    EXPECT_EQ(parsed.header_size, header.size());
    ASSERT_EQ(parsed.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(parsed.entries[i].source, entries[i].source);
        EXPECT_EQ(parsed.entries[i].destination, entries[i].destination);
        EXPECT_EQ(parsed.entries[i].kind, entries[i].kind);
        EXPECT_EQ(parsed.entries[i].size, entries[i].data.size());
    }
    EXPECT_EQ(parsed.entries[0].crc, crc32_bytes(entries[0].data.data(), entries[0].data.size()));
    EXPECT_EQ(parsed.entries[1].crc, 0xDEADBEEFu);
}

// A header with one entry whose fields are given raw.
std::string raw_header(std::uint64_t header_size, std::uint32_t count, std::uint32_t source_length,
                       std::uint32_t destination_length, std::uint64_t size, std::size_t body_units)
{
    std::string h;
    put_u64(h, header_size);
    put_u32(h, count);
    put_u32(h, source_length);
    h.append(2 * body_units, 'a');
    put_u32(h, destination_length);
    h.append(2 * body_units, 'b');
    put_u32(h, 0);
    put_u64(h, size);
    put_u32(h, 0);
    if (h.size() < header_size && header_size < 4096)
        h.resize(header_size, '\0');
    return h;
}

TEST(PayloadHeader, RefusesHeadersThatCannotBeRight)
{
    struct bad_case {
        const char* what;
        std::string bytes;
    };
    std::string sized_11;
    put_u64(sized_11, 11);
    put_u32(sized_11, 0);
    std::string too_big;
    put_u64(too_big, max_header_size + 1);
    put_u32(too_big, 0);
    std::string huge;
    put_u64(huge, 1ull << 63);
    put_u32(huge, 0);
    std::string count_only;
    put_u64(count_only, 12);
    put_u32(count_only, 1);
    std::string absurd_count;
    put_u64(absurd_count, 36);
    put_u32(absurd_count, 0xFFFFFFFF);
    absurd_count.resize(36, '\0');
    const std::string good = raw_header(8 + 4 + 4 + 4 + 4 + 4 + 4 + 8 + 4, 1, 2, 2, 0, 2); // exactly one entry
    std::string table_past_header = good;
    table_past_header[0] = static_cast<char>(good.size() - 1); // header ends before the crc
    table_past_header.pop_back();
    std::string overflowing_sizes;
    put_u64(overflowing_sizes, 12 + 2 * 24);
    put_u32(overflowing_sizes, 2);
    for (int i = 0; i < 2; ++i) {
        put_u32(overflowing_sizes, 0);
        put_u32(overflowing_sizes, 0);
        put_u32(overflowing_sizes, 0);
        put_u64(overflowing_sizes, 1ull << 63);
        put_u32(overflowing_sizes, 0);
    }
    const bad_case cases[] = {
        {"header_size below 12", sized_11},
        {"header_size above 64 MiB", too_big},
        {"header_size 2^63", huge},
        {"entry table past an empty header", count_only},
        {"entry count the header cannot hold", absurd_count},
        {"source length past the header", raw_header(60, 1, 0x7FFFFFFF, 2, 0, 2)},
        {"source length one unit too long", raw_header(36 + 8, 1, 5, 2, 0, 2)},
        {"destination length past the header", raw_header(60, 1, 2, 0xFFFFFFFF, 0, 2)},
        {"entry's fixed fields past the header", table_past_header},
        {"sizes beyond 64 bits", overflowing_sizes},
        {"fewer bytes than header_size", good.substr(0, good.size() - 1)},
        {"no size field", std::string("\x0c\0\0\0", 4)},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.what);
        auto exact = std::make_unique<char[]>(c.bytes.size() + 1);
        std::copy(c.bytes.begin(), c.bytes.end(), exact.get());
        EXPECT_EQ(compress_code_of([&] { parse_payload_header(exact.get(), c.bytes.size()); }), 7);
    }
    EXPECT_EQ(compress_code_of([&] { parse_payload_header(good.data(), good.size()); }), 0);
}

TEST(PayloadHeader, FileNameIsTheLastComponentOfTheSource)
{
    const std::pair<std::u16string, std::u16string> good[] = {
        {u"C:\\build\\content\\pictures\\F.png", u"F.png"},
        {u"/home/maker/a b.txt", u"a b.txt"},
        {u"日本.txt", u"日本.txt"},
        {u"mixed/sep\\Données", u"Données"},
        {u"...", u"..."},
    };
    for (const auto& [source, name] : good)
        EXPECT_EQ(entry_file_name(source), u16path(name));

    const std::u16string bad[] = {u"",       u"dir\\", u"dir/",   u".",      u"..",
                                  u"x\\..",  u"a:b",   u"a*b",    u"a?b",    u"a|b",
                                  u"a\"b",   u"a<b",   u"a>b",    u"a\x01z", u"x\\a\x1f"};
    for (const std::u16string& source : bad)
        EXPECT_EQ(compress_code_of([&] { entry_file_name(source); }), 7)
            << utf8_from_utf16(source);
}


class ResolveEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        set_special_folder(csidl::common_appdata, root_ / "common data");
    }
    void TearDown() override { clear_special_folders(); }

    payload_entry resolve(const std::u16string& destination)
    {
        return resolve_entry({u"C:\\src\\F.bin", destination, 3, 10, 0x1234}, folders_);
    }

#ifdef _WIN32
    const fs::path root_ = u16path(u"C:\\ov root");
#else
    const fs::path root_ = u16path(u"/ov root");
#endif
    const placeholder_folders folders_{root_ / u16path(u"Données"), {}, {}};
};

TEST_F(ResolveEntry, JoinsExpandedDirectoryAndFileName)
{
    const fs::path install = folders_.installation;
    const std::pair<std::u16string, fs::path> cases[] = {
        {u"<InstallPath>", install / "F.bin"},
        {u"<InstallPath>\\Lang", install / "Lang" / "F.bin"},
        {u"<InstallPath>/a\\b\\\\c\\", install / "a" / "b" / "c" / "F.bin"},
        {u"<CommonData>\\Orvane & Drey\\日本", root_ / "common data" / "Orvane & Drey" / u16path(u"日本") / "F.bin"},
    };
    for (const auto& [destination, expected] : cases) {
        const payload_entry e = resolve(destination);
        EXPECT_EQ(e.destination, expected) << utf8_from_utf16(destination);
        EXPECT_EQ(e.source, u16path(u"C:\\src\\F.bin"));
        EXPECT_EQ(e.kind, 3u);
        EXPECT_EQ(e.size, 10u);
        EXPECT_EQ(e.crc, 0x1234u);
    }
}

TEST_F(ResolveEntry, NeverWritesOutsideThePlaceholderFolders)
{
    const std::u16string bad[] = {
        u"",                          // no folder at all: the current folder
        u"Lang\\<InstallPath>",       // placeholder not first
        u"<installpath>\\Lang",       // not in the table (case matters)
        u"<InstallPath>x\\Lang",      // first component is no placeholder
        u"<Nowhere>",                 // unknown placeholder
        u"<InstallPath>\\..\\Windows",
        u"<InstallPath>\\a\\..",
        u"<InstallPath>/../x",
        u"\\<InstallPath>",
        u"C:\\Windows",
        u"<UserData>\\x",             // special folder not supplied
    };
    for (const std::u16string& destination : bad)
        EXPECT_EQ(compress_code_of([&] { resolve(destination); }), 7) << utf8_from_utf16(destination);
}

// Feeds `archive` to `x` in chunks of `chunk` bytes, calling again with whatever a call left;
// returns what every call consumed.
std::vector<std::streamsize> feed(payload_extractor& x, const std::string& archive, std::size_t chunk)
{
    std::vector<std::streamsize> consumed;
    for (std::size_t at = 0; at < archive.size();) {
        const std::size_t end = std::min(archive.size(), at + chunk);
        while (at < end) {
            const std::streamsize n = x.write(archive.data() + at, static_cast<std::streamsize>(end - at));
            EXPECT_GT(n, 0);
            if (n <= 0)
                return consumed;
            consumed.push_back(n);
            at += static_cast<std::size_t>(n);
        }
    }
    return consumed;
}

TEST(PayloadExtractor, AnyChunkingGivesTheSameFiles)
{
    const std::vector<test_entry> entries = three_entries();
    const std::string archive = archive_bytes(entries, 3);
    const std::size_t chunks[] = {1, 2, 3, 5, 7, 8, 11, 13, 4095, 4096, archive.size()};
    for (std::size_t chunk : chunks) {
        SCOPED_TRACE(chunk);
        scratch_folder scratch;
        payload_extractor x(scratch.path(), {}, {});
        feed(x, archive, chunk);
        EXPECT_FALSE(x.failed());
        EXPECT_EQ(x.position(), archive.size());
        EXPECT_EQ(x.total(), archive.size());
        EXPECT_EQ(x.phase(), entries.size() + 1);
        ASSERT_EQ(x.entries().size(), entries.size());
        const fs::path expected[] = {scratch.path() / "Lang" / u16path(u"Données.png"),
                                     scratch.path() / u16path(u"日本.dll"),
                                     scratch.path() / "Docs" / "Deep" / "readme.txt"};
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(x.entries()[i].destination, expected[i]);
            EXPECT_EQ(read_file(expected[i]), entries[i].data);
        }
    }
}

TEST(PayloadExtractor, ACallNeverConsumesAcrossABoundary)
{
    std::vector<test_entry> entries = three_entries();
    entries.insert(entries.begin() + 1, {u"empty.txt", u"<InstallPath>", ""});
    const std::string archive = archive_bytes(entries, 0);
    const std::size_t header = header_bytes(entries).size();
    scratch_folder scratch;
    payload_extractor x(scratch.path(), {}, {});
    const std::vector<std::streamsize> consumed = feed(x, archive, archive.size());
    const std::vector<std::streamsize> expected = {
        8, static_cast<std::streamsize>(header - 8), 5000, 3, 9000};
    EXPECT_EQ(consumed, expected);
    EXPECT_TRUE(fs::exists(scratch.path() / "empty.txt"));
}

TEST(PayloadExtractor, SwallowsEverythingAfterAFailure)
{
    const std::vector<test_entry> entries = {{u"a.txt", u"<InstallPath>", "abc"}};
    const std::string archive = archive_bytes(entries) + "!";
    scratch_folder scratch;
    payload_extractor x(scratch.path(), {}, {});
    feed(x, archive.substr(0, archive.size() - 1), 4096);
    EXPECT_EQ(compress_code_of([&] { x.write("!", 1); }), 7); // one byte more than described
    EXPECT_TRUE(x.failed());
    ASSERT_TRUE(x.failure());
    EXPECT_EQ(x.write("more", 4), 4);
    EXPECT_EQ(x.position(), archive.size() - 1);
}

TEST(PayloadExtractor, AbsurdHeaderSizeIsRefusedAfterEightBytes)
{
    std::string archive;
    put_u64(archive, 1ull << 40);
    archive += std::string(100, 'x');
    scratch_folder scratch;
    payload_extractor x(scratch.path(), {}, {});
    EXPECT_EQ(compress_code_of([&] { x.write(archive.data(), 8); }), 7);
    EXPECT_TRUE(x.failed());
}

} // namespace
