// Helpers of the payload tests: a tiny archive writer, scratch folders and an observer that
// records every notification.
#pragma once

#include "payload/compress_error.hpp"
#include "payload/notification.hpp"

#include <boost/filesystem/path.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace ov::test {

// One file of a test archive.
struct test_entry {
    std::u16string source;
    std::u16string destination;
    std::string data;
    std::uint32_t kind = 0;
    std::optional<std::uint32_t> crc; // the right CRC-32 unless given
};

// The decompressed archive: header (with `filler` extra bytes before the data area), then the
// data of every entry.
std::string archive_bytes(const std::vector<test_entry>& entries, std::size_t filler = 0);
// Only the header part of archive_bytes.
std::string header_bytes(const std::vector<test_entry>& entries, std::size_t filler = 0);
// One bzip2 stream of `raw` (900 k blocks).
std::string bzip2(const std::string& raw);

// Little-endian encoders for hand-made headers.
void put_u32(std::string& out, std::uint32_t value);
void put_u64(std::string& out, std::uint64_t value);
void put_utf16(std::string& out, const std::u16string& text);

boost::filesystem::path u16path(std::u16string_view text);

// Runs `f` and returns the compress code of the std::system_error it throws (0: none thrown;
// negative: the value of an error of another category).
template <class F>
int compress_code_of(F f)
{
    try {
        f();
    } catch (const std::system_error& e) {
        return e.code().category() == compress_category() ? e.code().value() : -e.code().value();
    }
    return 0;
}

// Deterministic bytes of mixed compressibility.
std::string sample_data(std::size_t size, std::uint32_t seed);

std::string read_file(const boost::filesystem::path& path);
void write_file(const boost::filesystem::path& path, const std::string& bytes);

// A fresh folder with a non-ASCII name in the temporary folder, removed with everything in it.
class scratch_folder {
public:
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    const boost::filesystem::path& path() const { return path_; }

private:
    boost::filesystem::path path_;
};

// Removes a folder tree, clearing read-only attributes first.
void remove_tree(const boost::filesystem::path& path);

// One notification as recorded.
struct event {
    std::size_t index = 0;           // the notification's alternative
    boost::filesystem::path path;    // file_begin/file_end: destination; error: failure path
    std::uint64_t first = 0;         // finished: read; progress: position
    std::uint64_t second = 0;        // finished/progress: total
    std::error_code code;            // error
};

inline constexpr std::size_t ev_start = 0, ev_finished = 1, ev_file_begin = 2, ev_file_end = 3,
                             ev_progress = 4, ev_error = 5;

// Records the notifications; `answer` decides the result (proceed when empty).
struct recorder {
    std::vector<event> events;
    std::function<notification::result(const event&, std::size_t sequence)> answer;

    payload_observer observer();
    std::vector<event> of(std::size_t index) const;
    std::vector<boost::filesystem::path> paths(std::size_t index) const;
    const event* error() const;
};

} // namespace ov::test
