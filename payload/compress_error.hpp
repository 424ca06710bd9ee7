// Error codes of the payload code: the "compress" category.
//
// Failures inside the payload code are exceptions carrying an error code; the payload's own
// failures use this category. Other failures keep their own category (Windows system errors,
// errno values of the generic category).
#pragma once

#include <system_error>

namespace ov {

enum class compress_errc {
    invalid_checksum = 3,  // a written file's CRC-32 differs from its entry's
    unknown_error = 4,     // the installer's integrity pre-check failed
    interrupted = 5,       // the observer asked to abort
    bzip2_error = 6,       // the compressed data is damaged
    unexpected_error = 7,  // malformed or incomplete archive, unresolvable folder, anything else
};

// The category named "compress". Messages: 3 "invalid checksum", 4 "unknown error",
// 5 "interrupted", 6 "bzip2 error", 7 "unexpected error", any other value "unknown error".
const std::error_category& compress_category() noexcept;

std::error_code make_error_code(compress_errc e) noexcept;

// Throws std::system_error carrying `e` in the compress category.
[[noreturn]] void throw_compress_error(compress_errc e);

} // namespace ov

template <>
struct std::is_error_code_enum<ov::compress_errc> : std::true_type {};
