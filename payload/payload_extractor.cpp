#include "payload/payload_extractor.hpp"

#include "payload/compress_error.hpp"
#include "payload/extract.hpp"
#include "payload/payload_header.hpp"

#include "payload/bzip2_pipeline.hpp"

#include <boost/iostreams/device/null.hpp>

#include <algorithm>

namespace ov {

payload_extractor::payload_extractor(boost::filesystem::path installation,
                                     boost::filesystem::path sample,
                                     boost::filesystem::path temporary)
    : folders_{std::move(installation), std::move(sample), std::move(temporary)},
      header_(std::make_unique<memstream>())
{
}

payload_extractor::~payload_extractor() = default;

void payload_extractor::set_observer(payload_observer observer) { observer_ = std::move(observer); }

boost::filesystem::path payload_extractor::expand_placeholders(const boost::filesystem::path& directory) const
{
    return ov::expand_placeholders(directory, folders_);
}

boost::filesystem::path payload_extractor::current_destination() const
{
    if (!file_open_ || phase_ == 0 || phase_ > entries_.size())
        return {};
    return entries_[phase_ - 1].destination;
}

std::streamsize payload_extractor::write(const char* s, std::streamsize n)
{
    if (failed_)
        return n; // the pipeline is unwinding: swallow what it still delivers
    try {
        return phase_ == 0 ? write_header(s, n) : write_data(s, n);
    } catch (...) {
        failed_ = true;
        failure_ = std::current_exception();
        throw;
    }
}

notification::result payload_extractor::notify(const notification& n) const
{
    return observer_ ? observer_(n) : notification::result::proceed;
}

std::streamsize payload_extractor::write_header(const char* s, std::streamsize n)
{
    const std::uint64_t buffered = header_->data().size();
    if (buffered < header_size_field) {
        const auto take = static_cast<std::streamsize>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(n), header_size_field - buffered));
        header_->write(s, take);
        if (buffered + static_cast<std::uint64_t>(take) == header_size_field)
            header_size_ = read_header_size(header_->data().data()); // refuses absurd sizes at once
        return take;
    }
    const auto take = static_cast<std::streamsize>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(n), header_size_ - buffered));
    header_->write(s, take);
    if (buffered + static_cast<std::uint64_t>(take) == header_size_)
        parse_header();
    return take;
}

void payload_extractor::parse_header()
{
    const std::span<const char> bytes = header_->data();
    const payload_header header = parse_payload_header(bytes.data(), bytes.size());
    std::vector<payload_entry> entries;
    entries.reserve(header.entries.size());
    std::uint64_t total = header.header_size;
    for (const stored_entry& stored : header.entries) {
        entries.push_back(resolve_entry(stored, folders_));
        total += stored.size; // cannot overflow: the parser checked the sum
    }
    entries_ = std::move(entries);
    header_.reset();
    position_ = header_size_;
    total_ = total;
    if (notify(notification::progress{position_, total_}) == notification::result::abort)
        throw_compress_error(compress_errc::interrupted);
    phase_ = 1;
    process_empty_entries();
}

void payload_extractor::begin_entry()
{
    const payload_entry& entry = entries_[phase_ - 1];
    const notification::result answer = notify(notification::file_begin{entry});
    if (answer == notification::result::abort)
        throw_compress_error(compress_errc::interrupted);
    left_ = entry.size;
    file_open_ = true;
    skipping_ = answer == notification::result::skip;
    if (!skipping_) {
        output_ = open_output_file(entry.destination);
        output_->exceptions(std::ios_base::failbit | std::ios_base::badbit); // a failed open throws here
    }
}

void payload_extractor::finish_entry()
{
    const payload_entry& entry = entries_[phase_ - 1];
    if (!skipping_) {
        output_.reset(); // closes the file before it is read back
        if (file_crc32(entry.destination) != entry.crc)
            throw_compress_error(compress_errc::invalid_checksum);
        if (notify(notification::file_end{entry}) == notification::result::abort)
            throw_compress_error(compress_errc::interrupted);
    }
    file_open_ = false;
    skipping_ = false;
    ++phase_;
}

// Entries without data get no write call of their own: they are created as soon as the
// entry before them is done (or the header is parsed).
void payload_extractor::process_empty_entries()
{
    while (phase_ - 1 < entries_.size() && entries_[phase_ - 1].size == 0) {
        begin_entry();
        finish_entry();
    }
}

std::streamsize payload_extractor::write_data(const char* s, std::streamsize n)
{
    if (phase_ - 1 >= entries_.size())
        throw_compress_error(compress_errc::unexpected_error); // more data than the entries describe
    if (!file_open_)
        begin_entry();
    const auto count = static_cast<std::streamsize>(std::min<std::uint64_t>(static_cast<std::uint64_t>(n), left_));
    if (!skipping_)
        output_->write(s, count);
    left_ -= static_cast<std::uint64_t>(count);
    position_ += static_cast<std::uint64_t>(count);
    if (notify(notification::progress{position_, total_}) == notification::result::abort)
        throw_compress_error(compress_errc::interrupted);
    if (left_ == 0) {
        finish_entry();
        process_empty_entries();
    }
    return count;
}

std::streamsize payload_sink::write(const char* s, std::streamsize n)
{
    std::streamsize done = 0;
    while (done < n) {
        const std::streamsize step = extractor_->write(s + done, n - done);
        if (step <= 0)
            throw_compress_error(compress_errc::unexpected_error); // would loop for ever
        done += step;
    }
    return n;
}

bool verify_payload(std::istream& source)
{
    std::streambuf* in = source.rdbuf();
    if (!in)
        return false;
    try {
        decompress_into(*in, boost::iostreams::null_sink());
    } catch (const std::exception&) {
        return false;
    }
    return source.rdstate() == std::ios_base::goodbit &&
           std::streambuf::traits_type::eq_int_type(in->sgetc(), std::streambuf::traits_type::eof());
}

} // namespace ov
