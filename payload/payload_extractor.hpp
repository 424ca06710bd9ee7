// The streaming reader of the payload archive.
//
// A payload_extractor is the output device at the end of the decompressing chain: it collects
// the archive header in a growing memory stream until it is complete, parses it, and then
// routes every further byte to the file of the entry it belongs to, verifying each file by
// its CRC-32 once written. Nothing but the header is held in memory.
#pragma once

#include "payload/memstream.hpp"
#include "payload/notification.hpp"
#include "payload/payload_entry.hpp"
#include "payload/placeholders.hpp"

#include <boost/filesystem/path.hpp>
#include <boost/iostreams/categories.hpp>

#include <cstdint>
#include <exception>
#include <iosfwd>
#include <memory>
#include <ostream>
#include <vector>

namespace ov {

class payload_extractor {
public:
    using char_type = char;
    using category = boost::iostreams::sink_tag;

    payload_extractor(boost::filesystem::path installation, boost::filesystem::path sample,
                      boost::filesystem::path temporary);
    payload_extractor(const payload_extractor&) = delete;
    payload_extractor& operator=(const payload_extractor&) = delete;
    ~payload_extractor();

    // The observer of the extraction (may stay empty: then nothing is sent and every answer
    // counts as proceed).
    void set_observer(payload_observer observer);

    // Consumes a prefix of the n bytes (n >= 1) and returns its length. A call never consumes
    // across the end of the header_size field, the end of the header or the end of an
    // entry's data; call again with the rest. Throws on failure; after a failure every call
    // reports all n bytes consumed and does nothing.
    std::streamsize write(const char* s, std::streamsize n);

    // Replaces a leading placeholder of a stored destination directory by its folder.
    boost::filesystem::path expand_placeholders(const boost::filesystem::path& directory) const;

    const std::vector<payload_entry>& entries() const { return entries_; }
    // 0 while the header is collected, k >= 1 while entry k-1 is consumed.
    std::uint32_t phase() const { return phase_; }
    // The current entry has been announced (and, unless skipped, opened).
    bool file_open() const { return file_open_; }
    std::uint64_t header_size() const { return header_size_; }
    std::uint64_t position() const { return position_; }
    std::uint64_t total() const { return total_; }
    bool failed() const { return failed_; }
    // The first exception that left write, kept because a chain being closed swallows it.
    std::exception_ptr failure() const { return failure_; }
    // The destination of the entry being written (empty when no file is open).
    boost::filesystem::path current_destination() const;

private:
    std::streamsize write_header(const char* s, std::streamsize n);
    void parse_header();
    std::streamsize write_data(const char* s, std::streamsize n);
    void begin_entry();
    void finish_entry();
    void process_empty_entries();
    notification::result notify(const notification& n) const;

    placeholder_folders folders_;
    std::vector<payload_entry> entries_;
    std::uint64_t header_size_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t total_ = 0;
    std::unique_ptr<memstream> header_;     // the header being collected (phase 0)
    std::unique_ptr<std::ostream> output_;  // the current entry's file (data phase)
    payload_observer observer_;
    std::uint32_t phase_ = 0;
    bool file_open_ = false;
    bool skipping_ = false;
    bool failed_ = false;
    std::uint64_t left_ = 0;                // bytes of the current entry still to come
    std::exception_ptr failure_;
};

// Adapts a payload_extractor to a Boost.Iostreams output chain, which expects a sink to take
// every byte it is given: calls write until the whole chunk is consumed. Failures propagate
// and are also kept by the extractor (failure()).
class payload_sink {
public:
    using char_type = char;
    using category = boost::iostreams::sink_tag;

    explicit payload_sink(payload_extractor& extractor) : extractor_(&extractor) {}
    std::streamsize write(const char* s, std::streamsize n);

private:
    payload_extractor* extractor_;
};

// Decompresses the whole bzip2 stream into a sink that discards everything. True when no
// exception occurred, the stream's state is clear and it is at its end; never throws.
bool verify_payload(std::istream& source);

} // namespace ov
