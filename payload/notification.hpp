// What an extraction tells its observer, and what the observer answers.
#pragma once

#include "payload/payload_entry.hpp"

#include <boost/filesystem/path.hpp>

#include <cstdint>
#include <functional>
#include <system_error>
#include <variant>

namespace ov {

// Why an extraction failed: the error and the file concerned (possibly empty).
struct extraction_failure {
    std::error_code code;
    boost::filesystem::path path;
};

// A tagged union of six alternatives, in this index order:
//   0 start       once, first, before the archive is touched
//   1 finished    once, last, on success only: compressed bytes read, decompressed total
//   2 file_begin  before an entry's first byte (destination is the full file path)
//   3 file_end    after the entry's file was written, closed and verified (not when skipped)
//   4 progress    after the header is parsed and after every chunk of entry data
//   5 error       once, instead of finished, when the extraction fails
struct notification {
    // The observer's answer. abort is honoured for file_begin, progress and file_end (the
    // extraction fails with compress code 5); skip for file_begin only (the entry's bytes are
    // consumed without writing). Any other answer counts as proceed.
    enum class result : std::uint32_t { proceed = 0, abort = 1, skip = 2 };

    struct start {};
    struct finished {
        std::uint64_t read;  // bytes read from the compressed source
        std::uint64_t total; // bytes of the decompressed archive
    };
    struct file_begin {
        const payload_entry& entry;
    };
    struct file_end {
        const payload_entry& entry;
    };
    struct progress {
        std::uint64_t position; // archive bytes processed, header included
        std::uint64_t total;    // bytes of the decompressed archive
    };
    struct error {
        extraction_failure failure;
    };

    using value_type = std::variant<start, finished, file_begin, file_end, progress, error>;

    template <class Alternative>
    notification(Alternative alternative) : value(std::move(alternative))
    {
    }

    std::size_t index() const { return value.index(); }
    template <class Alternative>
    const Alternative* get_if() const { return std::get_if<Alternative>(&value); }

    value_type value;
};

// The callable that receives the notifications of an extraction.
using payload_observer = std::function<notification::result(const notification&)>;

} // namespace ov
