// extract_payload end to end: bzip2 payloads written to real files, observed notification by
// notification.
#include "payload/compress_error.hpp"
#include "payload/extract.hpp"
#include "payload/memstream.hpp"
#include "payload/payload_extractor.hpp"
#include "payload/shell_folder.hpp"
#include "payload/utf16.hpp"
#include "test_support.hpp"

#include <boost/filesystem/operations.hpp>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = boost::filesystem;
using namespace ov;
using namespace ov::test;
using result = notification::result;

namespace {

std::error_code compress(compress_errc e) { return make_error_code(e); }

class Extract : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Special folders inside the scratch folder: the machine's own stay untouched.
        set_special_folder(csidl::common_appdata, common_);
        set_special_folder(csidl::common_desktop_directory, desktop_);
    }
    void TearDown() override { clear_special_folders(); }

    bool run_compressed(const std::string& compressed, recorder& r)
    {
        imemstream source(compressed.data(), compressed.size());
        return extract_payload(source, install_, u16path(u"Exemples 日本"), {}, r.observer());
    }
    bool run(const std::string& raw, recorder& r) { return run_compressed(bzip2(raw), r); }
    bool run(const std::vector<test_entry>& entries, recorder& r) { return run(archive_bytes(entries), r); }

    // Whether anything at all was created in the folders an archive may write to.
    bool nothing_written() const
    {
        return !fs::exists(install_) && !fs::exists(common_) && !fs::exists(desktop_);
    }

    scratch_folder scratch_;
    const fs::path install_ = scratch_.path() / u16path(u"Données") / u16path(u"App 日本");
    const fs::path common_ = scratch_.path() / "common";
    const fs::path desktop_ = scratch_.path() / "desktop";
};

std::vector<test_entry> product_entries()
{
    return {
        {u"C:\\build\\pictures\\Données.png", u"<CommonData>\\Orvane & Drey\\Textures\\Vestrilo",
         sample_data(10000, 1), 0},
        {u"Vestrilo.exe", u"<InstallPath>", sample_data(5000, 2), 1},
        {u"/maker/samples/日本.txt", u"<SamplePath>", sample_data(20, 3), 4},
    };
}

TEST_F(Extract, PlacesEveryFileAndReportsInOrder)
{
    const std::vector<test_entry> entries = product_entries();
    const std::string raw = archive_bytes(entries, 7);
    const std::string compressed = bzip2(raw);
    const std::uint64_t header = header_bytes(entries, 7).size();
    recorder r;
    ASSERT_TRUE(run_compressed(compressed, r));

    const fs::path destinations[] = {
        common_ / "Orvane & Drey" / "Textures" / "Vestrilo" / u16path(u"Données.png"),
        install_ / "Vestrilo.exe",
        desktop_ / u16path(u"Exemples 日本") / u16path(u"日本.txt"),
    };
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(read_file(destinations[i]), entries[i].data) << i;

    // start, progress after the header, then per entry: begin, progress..., end; finished last.
    ASSERT_GE(r.events.size(), 3u);
    EXPECT_EQ(r.events.front().index, ev_start);
    EXPECT_EQ(r.events[1].index, ev_progress);
    EXPECT_EQ(r.events[1].first, header);
    const event& last = r.events.back();
    EXPECT_EQ(last.index, ev_finished);
    EXPECT_EQ(last.first, compressed.size());
    EXPECT_EQ(last.second, raw.size());
    EXPECT_EQ(r.error(), nullptr);
    std::vector<fs::path> begun, ended;
    std::uint64_t position = 0;
    for (std::size_t i = 2; i + 1 < r.events.size(); ++i) {
        const event& e = r.events[i];
        if (e.index == ev_file_begin) {
            EXPECT_EQ(begun.size(), ended.size()) << "a file begins before the previous one ended";
            begun.push_back(e.path);
        } else if (e.index == ev_file_end) {
            ended.push_back(e.path);
        } else {
            ASSERT_EQ(e.index, ev_progress);
            EXPECT_EQ(begun.size(), ended.size() + 1) << "progress outside a file";
        }
    }
    EXPECT_EQ(begun, std::vector<fs::path>(std::begin(destinations), std::end(destinations)));
    EXPECT_EQ(ended, begun);
    // Progress never decreases, moves by at most 4096 bytes and ends at the total.
    const std::vector<event> progress = r.of(ev_progress);
    for (const event& p : progress) {
        EXPECT_GE(p.first, position);
        if (position != 0) {
            EXPECT_LE(p.first - position, 4096u);
        }
        EXPECT_EQ(p.second, raw.size());
        position = p.first;
    }
    EXPECT_EQ(position, raw.size());
    EXPECT_GT(progress.size(), 5u); // 15 kB of data come in several chunks
}

TEST_F(Extract, EmptyArchiveSucceedsWithoutFiles)
{
    const std::string raw = archive_bytes({});
    recorder r;
    ASSERT_TRUE(run(raw, r));
    ASSERT_EQ(r.events.size(), 3u);
    EXPECT_EQ(r.events[1].index, ev_progress);
    EXPECT_EQ(r.events[1].first, 12u);
    EXPECT_EQ(r.events[1].second, 12u);
    EXPECT_EQ(r.events[2].index, ev_finished);
    EXPECT_EQ(r.events[2].second, 12u);
    EXPECT_TRUE(nothing_written());
}

TEST_F(Extract, OneSurplusByteFails)
{
    const std::vector<test_entry> entries = {{u"a.txt", u"<InstallPath>", "abc"}};
    recorder r;
    EXPECT_FALSE(run(archive_bytes(entries) + "x", r));
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code, compress(compress_errc::unexpected_error));
    EXPECT_TRUE(r.error()->path.empty());
    EXPECT_EQ(r.events.back().index, ev_error);
    EXPECT_TRUE(r.of(ev_finished).empty());
}

TEST_F(Extract, ArchiveCutAnywhereFails)
{
    const std::vector<test_entry> entries = {{u"a.txt", u"<InstallPath>", "abcd"},
                                             {u"b.txt", u"<InstallPath>\\sub", "efghijk"}};
    const std::string raw = archive_bytes(entries);
    const std::size_t header = header_bytes(entries).size();
    for (std::size_t cut = 0; cut < raw.size(); ++cut) {
        SCOPED_TRACE(cut);
        recorder r;
        EXPECT_FALSE(run(raw.substr(0, cut), r));
        ASSERT_NE(r.error(), nullptr);
        EXPECT_EQ(r.error()->code, compress(compress_errc::unexpected_error));
        EXPECT_TRUE(r.of(ev_finished).empty());
        // The entry whose data stopped short is named; a cut between entries names none.
        fs::path expected;
        if (cut > header && cut < header + 4)
            expected = install_ / "a.txt";
        else if (cut > header + 4)
            expected = install_ / "sub" / "b.txt";
        EXPECT_EQ(r.error()->path, expected);
        remove_tree(install_);
    }
}

TEST_F(Extract, DamagedOrCutCompressedDataIsABzip2Error)
{
    const std::vector<test_entry> entries = {{u"big.bin", u"<InstallPath>", sample_data(300000, 9)}};
    const std::string good = bzip2(archive_bytes(entries));
    {
        imemstream source(good.data(), good.size());
        EXPECT_TRUE(verify_payload(source));
    }
    std::vector<std::pair<std::string, std::string>> bad;
    for (std::size_t at : {std::size_t{0}, std::size_t{3}, std::size_t{20}, good.size() / 2, good.size() - 4}) {
        std::string damaged = good;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x55);
        bad.emplace_back("damaged at " + std::to_string(at), damaged);
    }
    for (std::size_t cut : {std::size_t{10}, good.size() / 2, good.size() - 1})
        bad.emplace_back("cut at " + std::to_string(cut), good.substr(0, cut));
    bad.emplace_back("junk after the stream", good + "junk");
    for (const auto& [what, compressed] : bad) {
        SCOPED_TRACE(what);
        imemstream check(compressed.data(), compressed.size());
        EXPECT_FALSE(verify_payload(check));
        recorder r;
        EXPECT_FALSE(run_compressed(compressed, r));
        ASSERT_NE(r.error(), nullptr);
        EXPECT_EQ(r.error()->code, compress(compress_errc::bzip2_error));
        EXPECT_TRUE(r.of(ev_finished).empty());
        // The file being written when the damage showed is named; before any file, none.
        const bool file_open = r.of(ev_file_begin).size() > r.of(ev_file_end).size();
        EXPECT_EQ(r.error()->path, file_open ? install_ / "big.bin" : fs::path()) << r.of(ev_file_begin).size();
        remove_tree(install_);
    }
}

TEST_F(Extract, VerifyNeedsACompleteStreamAtItsEnd)
{
    imemstream empty;
    EXPECT_FALSE(verify_payload(empty));
    const char none[] = "";
    imemstream zero(none, 0);
    EXPECT_FALSE(verify_payload(zero));
    const std::string good = bzip2(archive_bytes(product_entries()));
    imemstream source(good.data(), good.size());
    ASSERT_TRUE(verify_payload(source));
    // The caller rewinds before extracting.
    source.seekg(0);
    recorder r;
    EXPECT_TRUE(extract_payload(source, install_, {}, {}, r.observer()));
}

TEST_F(Extract, DecompressorIsNotAskedAgainAfterDamage)
{
    // Found by fuzzing: after libbz2 reported damaged data, closing the chain asked it to go on
    // decompressing, and it read out of bounds.
    const unsigned char damaged[] = {
  0x42, 0x5a, 0x68, 0x39, 0x31, 0x41, 0x59, 0x26, 0x53, 0x59, 0xbd, 0x41,
  0x2c, 0x65, 0x00, 0x00, 0x1b, 0xdf, 0x80, 0x6e, 0x00, 0x80, 0x01, 0x00,
  0x05, 0x00, 0x24, 0x40, 0x04, 0x34, 0x65, 0x0c, 0x40, 0x20, 0x00, 0x58,
  0x40, 0xc9, 0x34, 0x8f, 0x50, 0xc4, 0x1b, 0x4c, 0xa1, 0x40, 0x06, 0x23,
  0x4d, 0x34, 0x69, 0x36, 0xd9, 0x4d, 0x59, 0x19, 0x49, 0x1a, 0x6a, 0x66,
  0xda, 0xc4, 0x0e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x10,
  0xe5, 0x01, 0xaa, 0x01, 0x69, 0xa1, 0x21, 0x50, 0x7e, 0x2e, 0xe4, 0x8a,
  0x70, 0xa1, 0x21, 0x7a, 0x82, 0x58, 0xca
    };
    const std::string compressed(reinterpret_cast<const char*>(damaged), sizeof damaged);
    imemstream check(compressed.data(), compressed.size());
    EXPECT_FALSE(verify_payload(check));
    recorder r;
    EXPECT_FALSE(run_compressed(compressed, r));
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code, compress(compress_errc::bzip2_error));
}

TEST_F(Extract, SkippingEveryFileWritesNothing)
{
    const std::vector<test_entry> entries = product_entries();
    const std::string raw = archive_bytes(entries);
    recorder r;
    r.answer = [](const event& e, std::size_t) { return e.index == ev_file_begin ? result::skip : result::proceed; };
    ASSERT_TRUE(run(raw, r));
    EXPECT_TRUE(nothing_written());
    EXPECT_EQ(r.of(ev_file_begin).size(), entries.size());
    EXPECT_TRUE(r.of(ev_file_end).empty());
    EXPECT_EQ(r.of(ev_progress).back().first, raw.size());
    EXPECT_EQ(r.events.back().index, ev_finished);
}

TEST_F(Extract, AnswersCountOnlyWhereTheyApply)
{
    // abort is honoured for file_begin, progress and file_end only; skip for file_begin only.
    // Any other answer is taken as proceed: every file is written and reported.
    const std::vector<test_entry> entries = product_entries();
    const std::pair<const char*, std::function<result(const event&)>> cases[] = {
        {"abort to start and finished", [](const event& e) {
             return e.index == ev_start || e.index == ev_finished ? result::abort : result::proceed;
         }},
        {"skip to progress and file_end", [](const event& e) {
             return e.index == ev_progress || e.index == ev_file_end ? result::skip : result::proceed;
         }},
        {"an unknown answer everywhere", [](const event&) { return static_cast<result>(7); }},
    };
    for (const auto& [what, answer] : cases) {
        SCOPED_TRACE(what);
        recorder r;
        r.answer = [&answer = answer](const event& e, std::size_t) { return answer(e); };
        ASSERT_TRUE(run(entries, r));
        EXPECT_EQ(r.events.back().index, ev_finished);
        EXPECT_EQ(r.error(), nullptr);
        EXPECT_EQ(r.of(ev_file_end).size(), entries.size());
        EXPECT_EQ(read_file(install_ / "Vestrilo.exe"), entries[1].data);
        remove_tree(install_);
        remove_tree(common_);
        remove_tree(desktop_);
    }

    // An abort answered to error changes nothing: one error, and false.
    recorder failing;
    failing.answer = [](const event& e, std::size_t) { return e.index == ev_error ? result::abort : result::proceed; };
    EXPECT_FALSE(run(archive_bytes(entries) + "x", failing));
    EXPECT_EQ(failing.of(ev_error).size(), 1u);
    EXPECT_EQ(failing.events.back().index, ev_error);
}

TEST_F(Extract, SkippingOneFileLeavesOnlyThatOneOut)
{
    const std::vector<test_entry> entries = {{u"a.txt", u"<InstallPath>", "first"},
                                             {u"b.txt", u"<InstallPath>", sample_data(9000, 6)},
                                             {u"c.txt", u"<InstallPath>", "third"}};
    recorder r;
    std::size_t begun = 0;
    r.answer = [&](const event& e, std::size_t) {
        return e.index == ev_file_begin && begun++ == 1 ? result::skip : result::proceed;
    };
    ASSERT_TRUE(run(entries, r));
    EXPECT_EQ(read_file(install_ / "a.txt"), "first");
    EXPECT_FALSE(fs::exists(install_ / "b.txt"));
    EXPECT_EQ(read_file(install_ / "c.txt"), "third");
    EXPECT_EQ(r.paths(ev_file_end), (std::vector<fs::path>{install_ / "a.txt", install_ / "c.txt"}));
    // The skipped entry's bytes still advance the progress between its file_begin and the next.
    std::size_t skipped_begin = 0, next_begin = 0;
    for (std::size_t i = 0, seen = 0; i < r.events.size(); ++i) {
        if (r.events[i].index != ev_file_begin)
            continue;
        ++seen;
        if (seen == 2)
            skipped_begin = i;
        else if (seen == 3)
            next_begin = i;
    }
    ASSERT_LT(skipped_begin, next_begin);
    std::size_t progress_between = 0;
    for (std::size_t i = skipped_begin + 1; i < next_begin; ++i) {
        EXPECT_EQ(r.events[i].index, ev_progress);
        ++progress_between;
    }
    EXPECT_GE(progress_between, 3u); // 9000 bytes in chunks of at most 4096
}

TEST_F(Extract, AbortStopsAndNamesTheFileConcerned)
{
    const std::vector<test_entry> entries = {{u"a.bin", u"<InstallPath>", sample_data(6000, 4)},
                                             {u"b.bin", u"<InstallPath>", sample_data(10, 5)}};
    const fs::path a = install_ / "a.bin", b = install_ / "b.bin";
    struct abort_case {
        const char* what;
        std::size_t index;      // notification to abort at
        std::size_t occurrence; // its n-th occurrence (0-based)
        fs::path path;          // expected failure path
        bool a_exists;
    };
    const abort_case cases[] = {
        {"progress after the header", ev_progress, 0, {}, false},
        {"file_begin of the first file", ev_file_begin, 0, {}, false},
        {"progress inside the first file", ev_progress, 1, a, true},
        {"file_end of the first file", ev_file_end, 0, a, true},
        {"file_begin of the second file", ev_file_begin, 1, {}, true},
    };
    for (const abort_case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder r;
        std::size_t seen = 0;
        r.answer = [&](const event& e, std::size_t) {
            return e.index == c.index && seen++ == c.occurrence ? result::abort : result::proceed;
        };
        EXPECT_FALSE(run(entries, r));
        ASSERT_NE(r.error(), nullptr);
        EXPECT_EQ(r.error()->code, compress(compress_errc::interrupted));
        EXPECT_EQ(r.error()->path, c.path);
        EXPECT_EQ(r.events.back().index, ev_error);
        EXPECT_EQ(fs::exists(a), c.a_exists);
        EXPECT_FALSE(fs::exists(b));
        remove_tree(install_);
    }
}

TEST_F(Extract, WhatTheObserverThrowsAtStartIsTheFailure)
{
    recorder r;
    r.answer = [](const event& e, std::size_t) -> result {
        if (e.index == ev_start)
            throw std::system_error(make_error_code(compress_errc::unknown_error));
        return result::proceed;
    };
    EXPECT_FALSE(run(product_entries(), r));
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code, compress(compress_errc::unknown_error));
    EXPECT_TRUE(r.error()->path.empty());
    EXPECT_TRUE(nothing_written());

    // Exceptions outside the standard family pass through.
    recorder other;
    other.answer = [](const event& e, std::size_t) -> result {
        if (e.index == ev_file_begin)
            throw 42;
        return result::proceed;
    };
    EXPECT_THROW(run(product_entries(), other), int);
}

TEST_F(Extract, ReadOnlyFileIsMadeWritableAndRewritten)
{
    fs::create_directories(install_);
    const fs::path target = install_ / u16path(u"lecture seule é.txt");
    write_file(target, "old contents, longer than the new ones");
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
#else
    fs::permissions(target, fs::owner_read | fs::group_read | fs::others_read);
#endif
    recorder r;
    ASSERT_TRUE(run({{u"lecture seule é.txt", u"<InstallPath>", "new"}}, r));
    EXPECT_EQ(read_file(target), "new");
#ifdef _WIN32
    EXPECT_FALSE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
#else
    EXPECT_TRUE((fs::status(target).permissions() & fs::owner_write) != 0);
#endif
}

TEST_F(Extract, FileHeldOpenByAnotherHandleFailsWithSharingViolation)
{
#ifdef _WIN32
    fs::create_directories(install_);
    const fs::path target = install_ / u16path(u"verrouillé.dll");
    write_file(target, "in use");
    // Another holder that lets others read but not write, as a running program does.
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    recorder r;
    const bool ok = run({{u"a.txt", u"<InstallPath>", "first"}, {u"verrouillé.dll", u"<InstallPath>", "new"}}, r);
    CloseHandle(held);
    EXPECT_FALSE(ok);
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code, std::error_code(ERROR_SHARING_VIOLATION, std::system_category()));
    EXPECT_EQ(r.error()->path, target);
    EXPECT_EQ(read_file(target), "in use");
    EXPECT_EQ(read_file(install_ / "a.txt"), "first");
#else
    GTEST_SKIP() << "share modes exist on Windows only";
#endif
}

TEST_F(Extract, MissingFolderChainIsCreatedInOneStep)
{
    recorder r;
    ASSERT_TRUE(run({{u"deep.txt", u"<InstallPath>\\un\\deux\\trois\\日本", "deep"}}, r));
    EXPECT_EQ(read_file(install_ / "un" / "deux" / "trois" / u16path(u"日本") / "deep.txt"), "deep");
}

TEST_F(Extract, FolderThatCannotBeCreatedFailsWithTheSystemError)
{
    fs::create_directories(install_);
    write_file(install_ / "blocker", "a file where a folder should be");
    recorder r;
    EXPECT_FALSE(run({{u"x.txt", u"<InstallPath>\\blocker\\sub", "x"}}, r));
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code.category(), std::system_category());
    EXPECT_NE(r.error()->code.value(), 0);
    EXPECT_EQ(r.error()->path, install_ / "blocker" / "sub" / "x.txt");
}

TEST_F(Extract, ChecksumMismatchKeepsTheFileAndStops)
{
    std::vector<test_entry> entries = {{u"a.txt", u"<InstallPath>", "good"},
                                       {u"b.txt", u"<InstallPath>", "bad crc"},
                                       {u"c.txt", u"<InstallPath>", "never"}};
    entries[1].crc = 0x12345678;
    recorder r;
    EXPECT_FALSE(run(entries, r));
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code, compress(compress_errc::invalid_checksum));
    EXPECT_EQ(r.error()->path, install_ / "b.txt");
    EXPECT_EQ(read_file(install_ / "b.txt"), "bad crc"); // the installer's rollback removes it
    EXPECT_EQ(r.paths(ev_file_end), std::vector<fs::path>{install_ / "a.txt"});
    EXPECT_FALSE(fs::exists(install_ / "c.txt"));
}

TEST_F(Extract, SecondEntryWithTheSameDestinationRewritesTheFile)
{
    recorder r;
    ASSERT_TRUE(run({{u"x\\same.txt", u"<InstallPath>", "first version, long"},
                     {u"y\\same.txt", u"<InstallPath>", "second"}},
                    r));
    EXPECT_EQ(read_file(install_ / "same.txt"), "second");
    const std::vector<fs::path> twice = {install_ / "same.txt", install_ / "same.txt"};
    EXPECT_EQ(r.paths(ev_file_begin), twice);
    EXPECT_EQ(r.paths(ev_file_end), twice);
}

TEST_F(Extract, EmptyEntriesAnywhereAreCreated)
{
    // Z: an empty entry, a letter: an entry with data.
    const char* layouts[] = {"Z", "ZZ", "ZA", "AZ", "AZB", "AZZZB", "ZAZ", "ZZAZZBZZ"};
    for (const char* layout : layouts) {
        SCOPED_TRACE(layout);
        std::vector<test_entry> entries;
        std::vector<fs::path> expected;
        for (std::size_t i = 0; layout[i]; ++i) {
            const std::string name = std::to_string(i) + (layout[i] == 'Z' ? "-empty" : "-full");
            entries.push_back({utf16_from_utf8(name), u"<InstallPath>\\d",
                               layout[i] == 'Z' ? std::string() : sample_data(5000 + i, static_cast<std::uint32_t>(i))});
            expected.push_back(install_ / "d" / name);
        }
        recorder r;
        ASSERT_TRUE(run(entries, r));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ASSERT_TRUE(fs::is_regular_file(expected[i])) << i;
            EXPECT_EQ(read_file(expected[i]), entries[i].data);
        }
        EXPECT_EQ(r.paths(ev_file_begin), expected);
        EXPECT_EQ(r.paths(ev_file_end), expected);
        remove_tree(install_);
    }
    // An empty entry is verified too: its CRC-32 must be 0.
    std::vector<test_entry> wrong = {{u"a", u"<InstallPath>", "a"}, {u"z", u"<InstallPath>", ""}};
    wrong[1].crc = 1;
    recorder r;
    EXPECT_FALSE(run(wrong, r));
    ASSERT_NE(r.error(), nullptr);
    EXPECT_EQ(r.error()->code, compress(compress_errc::invalid_checksum));
    EXPECT_EQ(r.error()->path, install_ / "z");
}

TEST_F(Extract, BadHeadersFailBeforeAnyFileIsWritten)
{
    const test_entry first = {u"first.txt", u"<InstallPath>", "would be first"};
    std::string tiny_header;
    put_u64(tiny_header, 5);
    tiny_header += std::string(20, '\0');
    std::string huge_count;
    put_u64(huge_count, 12);
    put_u32(huge_count, 0x10000000);
    const std::pair<const char*, std::string> cases[] = {
        {"header_size 5", tiny_header},
        {"more entries than the header holds", huge_count},
        {"unknown placeholder", archive_bytes({first, {u"x", u"<Elsewhere>\\x", "x"}})},
        {"parent folder component", archive_bytes({first, {u"x", u"<InstallPath>\\..\\..\\x", "x"}})},
        {"no placeholder", archive_bytes({first, {u"x", u"relative\\x", "x"}})},
        {"file name with a colon", archive_bytes({first, {u"C:\\a\\x:stream", u"<InstallPath>", "x"}})},
        {"source ending in a separator", archive_bytes({first, {u"C:\\a\\", u"<InstallPath>", "x"}})},
        {"source \"..\"", archive_bytes({first, {u"..", u"<InstallPath>", "x"}})},
        {"special folder not to be had", archive_bytes({first, {u"x", u"<Documents>", "x"}})},
    };
    for (const auto& [what, raw] : cases) {
        SCOPED_TRACE(what);
        recorder r;
        EXPECT_FALSE(run(raw, r));
        ASSERT_NE(r.error(), nullptr);
        EXPECT_EQ(r.error()->code, compress(compress_errc::unexpected_error));
        EXPECT_TRUE(r.error()->path.empty());
        EXPECT_TRUE(r.of(ev_file_begin).empty());
        EXPECT_TRUE(nothing_written());
    }
}

TEST_F(Extract, SampleFolderForms)
{
    // Relative: on the all-users desktop; empty: the desktop itself; absolute: as given. When
    // the all-users desktop is missing, the user's desktop stands in.
    const fs::path absolute = scratch_.path() / "absolute samples";
    const std::vector<test_entry> entries = {{u"s.txt", u"<SamplePath>\\sub", "s"}};
    const std::string compressed = bzip2(archive_bytes(entries));
    struct sample_case {
        fs::path sample;
        fs::path expected;
    };
    const sample_case cases[] = {
        {"Exemples", desktop_ / "Exemples" / "sub" / "s.txt"},
        {{}, desktop_ / "sub" / "s.txt"},
        {absolute, absolute / "sub" / "s.txt"},
    };
    for (const sample_case& c : cases) {
        recorder r;
        imemstream source(compressed.data(), compressed.size());
        ASSERT_TRUE(extract_payload(source, install_, c.sample, {}, r.observer()));
        EXPECT_EQ(r.paths(ev_file_end), std::vector<fs::path>{c.expected});
        EXPECT_TRUE(fs::exists(c.expected));
    }
    const fs::path user_desktop = scratch_.path() / "user desktop";
    set_special_folder(csidl::common_desktop_directory, {});
    set_special_folder(csidl::desktop_directory, user_desktop);
    recorder r;
    imemstream source(compressed.data(), compressed.size());
    ASSERT_TRUE(extract_payload(source, install_, "Exemples", {}, r.observer()));
    EXPECT_TRUE(fs::exists(user_desktop / "Exemples" / "sub" / "s.txt"));
}

} // namespace
