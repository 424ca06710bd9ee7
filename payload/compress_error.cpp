#include "payload/compress_error.hpp"

#include <string>

namespace ov {

namespace {

class compress_error_category final : public std::error_category {
public:
    const char* name() const noexcept override { return "compress"; }

    std::string message(int value) const override
    {
        switch (value) {
        case 3: return "invalid checksum";
        case 5: return "interrupted";
        case 6: return "bzip2 error";
        case 7: return "unexpected error";
        default: return "unknown error"; // 4 and every value the payload code never raises
        }
    }
};

} // namespace

const std::error_category& compress_category() noexcept
{
    static const compress_error_category category;
    return category;
}

std::error_code make_error_code(compress_errc e) noexcept
{
    return {static_cast<int>(e), compress_category()};
}

void throw_compress_error(compress_errc e)
{
    throw std::system_error(make_error_code(e));
}

} // namespace ov
