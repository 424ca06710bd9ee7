#include "payload/file_stream.hpp"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ov {

namespace {

thread_local std::error_code last_file_error;

void record_last_error()
{
#ifdef _WIN32
    last_file_error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
    last_file_error = std::error_code(errno, std::generic_category());
#endif
}

} // namespace

std::error_code recorded_file_error() noexcept { return last_file_error; }
void reset_recorded_file_error() noexcept { last_file_error.clear(); }

file_streambuf::~file_streambuf() { close(); }

#ifdef _WIN32

bool file_streambuf::open(const boost::filesystem::path& path, access how)
{
    close();
    reset_recorded_file_error();
    const bool reading = how == access::read;
    // Reading: others may read but not write. Writing: no sharing at all.
    HANDLE h = CreateFileW(path.c_str(), reading ? GENERIC_READ : GENERIC_WRITE,
                           reading ? FILE_SHARE_READ : 0, nullptr,
                           reading ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        record_last_error();
        return false;
    }
    handle_ = h;
    setg(in_buffer_.data(), in_buffer_.data(), in_buffer_.data());
    return true;
}

bool file_streambuf::is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

bool file_streambuf::close()
{
    if (!is_open())
        return true;
    const bool closed = CloseHandle(handle_) != 0;
    if (!closed)
        record_last_error();
    handle_ = INVALID_HANDLE_VALUE;
    setg(nullptr, nullptr, nullptr);
    return closed;
}

bool file_streambuf::write_all(const char* s, std::size_t n)
{
    while (n > 0) {
        const DWORD step = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle_, s, step, &written, nullptr) || written == 0) {
            record_last_error();
            return false;
        }
        s += written;
        n -= written;
    }
    return true;
}

std::ptrdiff_t file_streambuf::read_block()
{
    DWORD got = 0;
    if (!ReadFile(handle_, in_buffer_.data(), static_cast<DWORD>(in_buffer_.size()), &got, nullptr)) {
        record_last_error();
        return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
}

#else

bool file_streambuf::open(const boost::filesystem::path& path, access how)
{
    close();
    reset_recorded_file_error();
    const int flags = how == access::read ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        record_last_error();
        return false;
    }
    // A folder opens for reading here but reads fail; refuse it at once, as Windows does.
    struct stat info;
    if (how == access::read && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        record_last_error();
        return false;
    }
    fd_ = fd;
    setg(in_buffer_.data(), in_buffer_.data(), in_buffer_.data());
    return true;
}

bool file_streambuf::is_open() const { return fd_ >= 0; }

bool file_streambuf::close()
{
    if (!is_open())
        return true;
    const bool closed = ::close(fd_) == 0;
    if (!closed)
        record_last_error();
    fd_ = -1;
    setg(nullptr, nullptr, nullptr);
    return closed;
}

bool file_streambuf::write_all(const char* s, std::size_t n)
{
    while (n > 0) {
        const ssize_t written = ::write(fd_, s, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            record_last_error();
            return false;
        }
        s += written;
        n -= static_cast<std::size_t>(written);
    }
    return true;
}

std::ptrdiff_t file_streambuf::read_block()
{
    ssize_t got;
    do
        got = ::read(fd_, in_buffer_.data(), in_buffer_.size());
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        record_last_error();
        return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
}

#endif

file_streambuf::int_type file_streambuf::underflow()
{
    if (!is_open())
        return traits_type::eof();
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    const std::ptrdiff_t got = read_block();
    if (got < 0)
        return traits_type::eof();
    setg(in_buffer_.data(), in_buffer_.data(), in_buffer_.data() + got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

file_streambuf::int_type file_streambuf::overflow(int_type c)
{
    if (!is_open())
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return write_all(&byte, 1) ? c : traits_type::eof();
}

std::streamsize file_streambuf::xsputn(const char* s, std::streamsize n)
{
    if (!is_open() || n <= 0)
        return 0;
    return write_all(s, static_cast<std::size_t>(n)) ? n : 0;
}

} // namespace ov
