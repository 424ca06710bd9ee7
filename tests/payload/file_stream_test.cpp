// Wide-path file streams, their recorded errors, share modes, file_crc32 and the mapping of
// exceptions to failures.
#include "payload/compress_error.hpp"
#include "payload/crc32.hpp"
#include "payload/extract.hpp"
#include "payload/file_stream.hpp"
#include "test_support.hpp"

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/iostreams/filter/bzip2.hpp>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = boost::filesystem;
using namespace ov;
using namespace ov::test;

namespace {

#ifdef _WIN32
// Opens `path` with CreateFileW; INVALID_HANDLE_VALUE and the error when refused.
std::pair<HANDLE, DWORD> open_raw(const fs::path& path, DWORD access, DWORD share)
{
    HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return {h, error};
}
#endif

TEST(FileStream, NonAsciiNamesRoundTrip)
{
    scratch_folder scratch;
    const std::string bytes = sample_data(10000, 11) + std::string("\0\r\n\x1a", 4);
    for (const char16_t* name : {u"Données.bin", u"日本語のファイル.dat", u"Ωmega ü.txt"}) {
        const fs::path path = scratch.path() / u16path(name);
        {
            output_file_stream out(path);
            ASSERT_TRUE(out.is_open());
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            EXPECT_TRUE(out.good());
        }
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(fs::file_size(path), bytes.size());
        input_file_stream in(path);
        ASSERT_TRUE(in.is_open());
        std::string back(bytes.size() + 10, '\0');
        in.read(back.data(), static_cast<std::streamsize>(back.size()));
        EXPECT_EQ(static_cast<std::size_t>(in.gcount()), bytes.size());
        EXPECT_TRUE(in.eof());
        back.resize(static_cast<std::size_t>(in.gcount()));
        EXPECT_EQ(back, bytes);
        EXPECT_EQ(file_crc32(path), crc32_bytes(bytes.data(), bytes.size()));
    }
}

TEST(FileStream, OutputTruncatesAnExistingFile)
{
    scratch_folder scratch;
    const fs::path path = scratch.path() / "t.bin";
    write_file(path, "0123456789");
    {
        output_file_stream out(path);
        out.write("ab", 2);
    }
    EXPECT_EQ(read_file(path), "ab");
}

TEST(FileStream, FailedOpenRecordsTheSystemError)
{
    scratch_folder scratch;
    reset_recorded_file_error();
    input_file_stream in(scratch.path() / u16path(u"absent é"));
    EXPECT_FALSE(in.is_open());
    EXPECT_TRUE(in.fail());
#ifdef _WIN32
    EXPECT_EQ(recorded_file_error(), std::error_code(ERROR_FILE_NOT_FOUND, std::system_category()));
#else
    EXPECT_EQ(recorded_file_error(), std::error_code(ENOENT, std::generic_category()));
#endif
    // A successful open starts clean.
    output_file_stream out(scratch.path() / "fresh");
    EXPECT_TRUE(out.is_open());
    EXPECT_FALSE(recorded_file_error());

    // A folder cannot be opened as a file.
    output_file_stream folder(scratch.path());
    EXPECT_TRUE(folder.fail());
    EXPECT_TRUE(recorded_file_error());

    // Nor read as one: a reader must not take a folder for an empty file.
    reset_recorded_file_error();
    input_file_stream folder_in(scratch.path());
    EXPECT_FALSE(folder_in.is_open());
    EXPECT_TRUE(folder_in.fail());
#ifdef _WIN32
    EXPECT_EQ(recorded_file_error(), std::error_code(ERROR_ACCESS_DENIED, std::system_category()));
#else
    EXPECT_EQ(recorded_file_error(), std::error_code(EISDIR, std::generic_category()));
#endif
}

TEST(FileStream, ShareModes)
{
#ifdef _WIN32
    scratch_folder scratch;
    const fs::path path = scratch.path() / u16path(u"partagé.bin");
    write_file(path, "data");
    {
        output_file_stream out(path); // writing: nobody else may open the file
        ASSERT_TRUE(out.is_open());
        auto [h, error] = open_raw(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    write_file(path, "data");
    {
        input_file_stream in(path); // reading: others may read, nobody may write
        ASSERT_TRUE(in.is_open());
        auto [reader, read_error] = open_raw(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE) << read_error;
        if (reader != INVALID_HANDLE_VALUE)
            CloseHandle(reader);
        auto [writer, write_error] = open_raw(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(write_error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
    }
    // A holder that lets others read but not write keeps a writer out.
    auto [holder, hold_error] = open_raw(path, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE) << hold_error;
    reset_recorded_file_error();
    auto out = open_output_file(path);
    EXPECT_TRUE(out->fail());
    EXPECT_EQ(recorded_file_error(), std::error_code(ERROR_SHARING_VIOLATION, std::system_category()));
    CloseHandle(holder);
#else
    GTEST_SKIP() << "share modes exist on Windows only";
#endif
}

TEST(FileCrc32, RetriesASharingViolationThenGivesUp)
{
#ifdef _WIN32
    scratch_folder scratch;
    const fs::path path = scratch.path() / u16path(u"verrouillé.bin");
    write_file(path, "123456789");
    // Others may read: the verification reads alongside.
    auto [reader, error] = open_raw(path, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE) << error;
    EXPECT_EQ(file_crc32(path), 0xCBF43926u);
    CloseHandle(reader);
    // Nobody may read: three retries, then the sharing violation.
    auto [locker, lock_error] = open_raw(path, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE) << lock_error;
    try {
        file_crc32(path);
        ADD_FAILURE() << "a locked file was read";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::error_code(ERROR_SHARING_VIOLATION, std::system_category()));
    }
    CloseHandle(locker);
#else
    GTEST_SKIP() << "share modes exist on Windows only";
#endif
}

bool is_read_only(const fs::path& path)
{
#ifdef _WIN32
    return (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
#else
    return (fs::status(path).permissions() & fs::owner_write) == 0;
#endif
}

void make_read_only(const fs::path& path)
{
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
#else
    fs::permissions(path, fs::owner_read | fs::group_read | fs::others_read);
#endif
    ASSERT_TRUE(is_read_only(path));
}

TEST(OpenOutputFile, ClearsReadOnlyOfASymbolicLinksTarget)
{
    scratch_folder scratch;
    const fs::path target = scratch.path() / u16path(u"cible é.txt");
    struct link_case {
        const char* what;
        fs::path link;
        fs::path points_to;
    };
    const link_case cases[] = {
        {"relative target", scratch.path() / "relative link", u16path(u"cible é.txt")},
        {"absolute target", scratch.path() / "absolute link", target},
    };
    for (const link_case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(target, "old contents");
        make_read_only(target);
        boost::system::error_code ec;
        fs::create_symlink(c.points_to, c.link, ec);
        if (ec || !fs::is_symlink(fs::symlink_status(c.link))) {
#ifdef _WIN32
            // Wine 8 answers CreateSymbolicLinkW without making a link.
            GTEST_SKIP() << "no symbolic link can be made here (" << (ec ? ec.message() : "no link after success")
                         << ")";
#else
            FAIL() << ec.message();
#endif
        }
        {
            auto out = open_output_file(c.link);
            out->write("new", 3);
            EXPECT_TRUE(out->good());
        }
        EXPECT_FALSE(is_read_only(target));
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(c.link)));
        EXPECT_EQ(read_file(target), "new");
        fs::remove(c.link);
    }
}

TEST(FileCrc32, ReadsTheFileOnceItsHolderLetsGo)
{
#ifdef _WIN32
    scratch_folder scratch;
    const fs::path path = scratch.path() / u16path(u"bientôt libre.bin");
    write_file(path, "123456789");
    auto [locker, lock_error] = open_raw(path, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE) << lock_error;
    // The holder lets go well within the retries: the first read fails with a sharing
    // violation, a later one succeeds.
    std::thread holder([h = locker] {
        Sleep(500);
        CloseHandle(h);
    });
    std::uint32_t crc = 0;
    EXPECT_NO_THROW(crc = file_crc32(path));
    holder.join();
    EXPECT_EQ(crc, 0xCBF43926u);
#else
    GTEST_SKIP() << "share modes exist on Windows only";
#endif
}

TEST(FileCrc32, MissingFileThrowsTheSystemError)
{
    scratch_folder scratch;
    try {
        file_crc32(scratch.path() / "missing");
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
#ifdef _WIN32
        EXPECT_EQ(e.code(), std::error_code(ERROR_FILE_NOT_FOUND, std::system_category()));
#else
        EXPECT_EQ(e.code(), std::error_code(ENOENT, std::generic_category()));
#endif
    }
}

TEST(FailureFromException, MapsEachFamilyToItsCode)
{
    const fs::path named = u16path(u"C:\\Données\\x");
    const fs::path given = u16path(u"given");

    reset_recorded_file_error();
    EXPECT_EQ(failure_from_exception(boost::iostreams::bzip2_error(-4), {}).code,
              make_error_code(compress_errc::bzip2_error));
    EXPECT_EQ(failure_from_exception(std::runtime_error("other"), given).code,
              make_error_code(compress_errc::unexpected_error));
    EXPECT_EQ(failure_from_exception(std::runtime_error("other"), given).path, given);
    EXPECT_EQ(failure_from_exception(std::system_error(make_error_code(compress_errc::invalid_checksum)), {}).code,
              make_error_code(compress_errc::invalid_checksum));
    // A stream failure without a recorded error keeps its own code.
    const std::ios_base::failure plain("stream");
    EXPECT_EQ(failure_from_exception(plain, {}).code, plain.code());

    // File-system errors: their code in the standard category, and their path when none is given.
    const fs::filesystem_error fs_error(
        "create", named, boost::system::error_code(5, boost::system::system_category()));
    extraction_failure f = failure_from_exception(fs_error, {});
    EXPECT_EQ(f.code, std::error_code(5, std::system_category()));
    EXPECT_EQ(f.path, named);
    EXPECT_EQ(failure_from_exception(fs_error, given).path, given);
    const fs::filesystem_error generic_error(
        "create", named, boost::system::error_code(ENOSPC, boost::system::generic_category()));
    EXPECT_EQ(failure_from_exception(generic_error, {}).code, std::error_code(ENOSPC, std::generic_category()));

    // A stream failure after a failed file operation carries the operating system's error.
    scratch_folder scratch;
    input_file_stream in(scratch.path() / "absent");
    ASSERT_TRUE(recorded_file_error());
    EXPECT_EQ(failure_from_exception(plain, {}).code, recorded_file_error());
    // A bzip2 error is never taken for a file error.
    EXPECT_EQ(failure_from_exception(boost::iostreams::bzip2_error(-4), {}).code,
              make_error_code(compress_errc::bzip2_error));
    reset_recorded_file_error();
}

TEST(CompressCategory, NamesAndMessages)
{
    EXPECT_STREQ(compress_category().name(), "compress");
    const std::pair<int, const char*> messages[] = {
        {3, "invalid checksum"}, {4, "unknown error"}, {5, "interrupted"},
        {6, "bzip2 error"},      {7, "unexpected error"}, {0, "unknown error"}, {99, "unknown error"}};
    for (const auto& [value, text] : messages)
        EXPECT_EQ(compress_category().message(value), text) << value;
}

} // namespace
