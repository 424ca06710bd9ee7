// Binary file streams opened by wide path, with the operating system's error of a failed
// open, read or write kept for the caller.
//
// On Windows the file is a CreateFileW handle (the standard library's file streams open the
// narrow form of the path under MinGW). A file opened for writing shares nothing; a file
// opened for reading lets others read but not write. Natively it is a POSIX descriptor.
//
// The error of the last failed operation on this thread is recorded (Windows: GetLastError in
// the system category; natively errno in the generic category) until it is reset; an open
// resets it first. Stream exceptions carry no such code: failure_from_exception reads it here.
#pragma once

#include <boost/filesystem/path.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <streambuf>
#include <system_error>

namespace ov {

// The error recorded by the last failed file operation on this thread (empty: none).
std::error_code recorded_file_error() noexcept;
void reset_recorded_file_error() noexcept;

class file_streambuf : public std::streambuf {
public:
    enum class access { read, write };

    file_streambuf() = default;
    file_streambuf(const file_streambuf&) = delete;
    file_streambuf& operator=(const file_streambuf&) = delete;
    ~file_streambuf() override;

    // Opens `path`: for reading, or for writing (created, or truncated when it exists).
    // Returns false (error recorded) when it cannot be opened.
    bool open(const boost::filesystem::path& path, access how);
    bool is_open() const;
    // Closes the file; false when the last bytes could not be written.
    bool close();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int_type underflow() override;

private:
    bool write_all(const char* s, std::size_t n);
    // Reads the next block into in_buffer_: the number of bytes read (0 at the end of the
    // file), or -1 with the error recorded.
    std::ptrdiff_t read_block();

#ifdef _WIN32
    void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
    int fd_ = -1;
#endif
    std::array<char, 4096> in_buffer_{};
};

// A binary file stream over a file_streambuf opened `how` on construction (failbit set when
// the file cannot be opened).
template <class Stream, file_streambuf::access how>
class basic_file_stream : public Stream {
public:
    explicit basic_file_stream(const boost::filesystem::path& path) : Stream(nullptr)
    {
        this->init(&buf_);
        if (!buf_.open(path, how))
            this->setstate(std::ios_base::failbit);
    }
    bool is_open() const { return buf_.is_open(); }
    // Closes the file; sets failbit when the last bytes could not be written.
    void close()
    {
        if (!buf_.close())
            this->setstate(std::ios_base::failbit);
    }

private:
    file_streambuf buf_;
};

// Output file, binary, truncated on open; writes go straight to the file (unbuffered).
using output_file_stream = basic_file_stream<std::ostream, file_streambuf::access::write>;
// Input file, binary, read in 4096-byte blocks.
using input_file_stream = basic_file_stream<std::istream, file_streambuf::access::read>;

} // namespace ov
