#include "payload/extract.hpp"

#include "payload/bzip2_pipeline.hpp"
#include "payload/compress_error.hpp"
#include "payload/crc32.hpp"
#include "payload/payload_extractor.hpp"

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/iostreams/filter/bzip2.hpp>

#include <array>
#include <cerrno>
#include <chrono>
#include <thread>

namespace ov {

namespace fs = boost::filesystem;

namespace {

// Decompresses `source` into the extractor; returns the number of compressed bytes read.
std::streamsize run_pipeline(std::istream& source, payload_extractor& extractor)
{
    std::streambuf* in = source.rdbuf();
    if (!in)
        throw_compress_error(compress_errc::unexpected_error);
    return decompress_into(*in, payload_sink(extractor));
}

// The extraction is complete when every byte the header announces has arrived and every
// entry (empty ones included) is done.
bool complete(const payload_extractor& extractor)
{
    return extractor.total() != 0 && extractor.position() == extractor.total() &&
           extractor.phase() == extractor.entries().size() + 1 && !extractor.file_open();
}

void make_writable(const fs::path& path)
{
    boost::system::error_code ignored;
    fs::permissions(path, fs::add_perms | fs::owner_write | fs::group_write | fs::others_write, ignored);
}

// Whether a failure of the extractor may stem from damaged compressed data.
bool explained_by_damage(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::system_error& e) {
        return e.code() == make_error_code(compress_errc::unexpected_error) ||
               e.code() == make_error_code(compress_errc::invalid_checksum);
    } catch (...) {
        return false;
    }
}

// Whether the compressed stream, read again from `start`, is damaged. Garbage coming out of a
// damaged block reaches the extractor before libbz2 checks the block's CRC.
bool stream_is_damaged(std::istream& source, std::streampos start)
{
    std::streambuf* in = source.rdbuf();
    if (!in || start == std::streampos(-1) || in->pubseekpos(start, std::ios_base::in) != start)
        return false; // cannot read it again: no verdict
    return !verify_payload(source);
}

bool is_bzip2_error(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const boost::iostreams::bzip2_error&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Raises what made the pipeline fail. The extractor's own failure is the cause: what the chain
// raises while it is closed after it is a consequence. Only damaged data explains what the
// extractor made of the garbage it received (surplus bytes, a wrong checksum).
[[noreturn]] void throw_cause(std::exception_ptr raised, const payload_extractor& extractor,
                              std::istream& source, std::streampos start)
{
    std::exception_ptr cause = raised;
    if (std::exception_ptr own = extractor.failure()) {
        if (!(is_bzip2_error(raised) && explained_by_damage(own)))
            cause = own;
    }
    if (explained_by_damage(cause) && stream_is_damaged(source, start))
        throw_compress_error(compress_errc::bzip2_error);
    std::rethrow_exception(cause);
}

bool is_windows_error(const std::error_code& code, int value)
{
#ifdef _WIN32
    return code == std::error_code(value, std::system_category());
#else
    (void)code;
    (void)value;
    return false; // no sharing violations outside Windows
#endif
}

} // namespace

bool extract_payload(std::istream& source, fs::path installation, fs::path sample, fs::path temporary,
                     payload_observer observer)
{
    fs::path failing;
    std::unique_ptr<payload_extractor> extractor;
    try {
        reset_recorded_file_error();
        observer(notification::start{});
        extractor = std::make_unique<payload_extractor>(std::move(installation), std::move(sample),
                                                        std::move(temporary));
        extractor->set_observer(observer);
        const std::streampos start = source.rdbuf() ? source.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in)
                                                    : std::streampos(-1);
        std::streamsize copied = 0;
        try {
            copied = run_pipeline(source, *extractor);
            // A failure inside the chain's final flush is swallowed by the chain: raise it here.
            if (std::exception_ptr failure = extractor->failure())
                std::rethrow_exception(failure);
        } catch (...) {
            failing = extractor->current_destination();
            throw_cause(std::current_exception(), *extractor, source, start);
        }
        if (!complete(*extractor)) {
            failing = extractor->current_destination(); // the entry cut short, if any
            throw_compress_error(compress_errc::unexpected_error);
        }
        const std::uint64_t total = extractor->total();
        extractor.reset();
        observer(notification::finished{static_cast<std::uint64_t>(copied), total});
        return true;
    } catch (const std::exception& x) {
        extraction_failure failure = failure_from_exception(x, failing);
        extractor.reset(); // closes the file being written before the observer hears of it
        observer(notification::error{std::move(failure)});
        return false;
    }
}

std::unique_ptr<output_file_stream> open_output_file(const fs::path& path)
{
    boost::system::error_code ec;
    if (fs::exists(fs::status(path, ec))) {
        const fs::file_status link = fs::symlink_status(path, ec);
        if (fs::is_regular_file(link)) {
            make_writable(path);
        } else if (fs::is_symlink(link)) {
            fs::path target = fs::read_symlink(path, ec);
            if (!ec) {
                if (target.is_relative())
                    target = path.parent_path() / target;
                make_writable(target);
            }
        }
    } else if (path.has_parent_path() && !fs::exists(fs::status(path.parent_path(), ec))) {
        fs::create_directories(path.parent_path()); // throws, naming the folder
    }
    return std::make_unique<output_file_stream>(path);
}

std::uint32_t file_crc32(const fs::path& path)
{
    for (int retries = 3;; --retries) {
        reset_recorded_file_error();
        errno = 0;
        input_file_stream in(path);
        std::uint32_t crc = 0;
        std::array<char, 4096> block;
        while (in) {
            in.read(block.data(), static_cast<std::streamsize>(block.size()));
            crc = crc32_bytes(block.data(), static_cast<std::size_t>(in.gcount()), crc);
        }
        std::error_code error = recorded_file_error();
        if (in.eof() && !error)
            return crc;
        if (!error)
            error = std::make_error_code(std::io_errc::stream);
        if (is_windows_error(error, 32) && retries > 0) { // sharing violation: wait for the holder
            std::this_thread::sleep_for(std::chrono::seconds(1));
            continue;
        }
        throw std::system_error(error);
    }
}

extraction_failure failure_from_exception(const std::exception& x, fs::path path)
{
    const auto* fs_error = dynamic_cast<const fs::filesystem_error*>(&x);
    if (path.empty() && fs_error)
        path = fs_error->path1();

    std::error_code code;
    if (dynamic_cast<const boost::iostreams::bzip2_error*>(&x)) {
        // Checked before stream failures, which it is one of: it never has an OS error behind it.
        code = make_error_code(compress_errc::bzip2_error);
    } else if (dynamic_cast<const std::ios_base::failure*>(&x) && recorded_file_error()) {
        code = recorded_file_error();
    } else if (const auto* system = dynamic_cast<const std::system_error*>(&x)) {
        code = system->code();
    } else if (const auto* boost_system = dynamic_cast<const boost::system::system_error*>(&x)) {
        const boost::system::error_code& e = boost_system->code();
        if (e.category() == boost::system::system_category())
            code = std::error_code(e.value(), std::system_category());
        else if (e.category() == boost::system::generic_category())
            code = std::error_code(e.value(), std::generic_category());
        else
            code = make_error_code(compress_errc::unexpected_error);
    } else {
        code = make_error_code(compress_errc::unexpected_error);
    }
    return {code, std::move(path)};
}

} // namespace ov
