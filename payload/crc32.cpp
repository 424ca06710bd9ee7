#include "payload/crc32.hpp"

#include <array>

namespace ov {

namespace {

// The 256-entry table of the reflected polynomial 0x04C11DB7, built at compile time.
constexpr std::array<std::uint32_t, 256> make_table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> table = make_table();

} // namespace

std::uint32_t crc32_bytes(const void* data, std::size_t size, std::uint32_t crc) noexcept
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint32_t state = crc ^ 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        state = table[(state ^ bytes[i]) & 0xFF] ^ (state >> 8);
    return state ^ 0xFFFFFFFFu;
}

} // namespace ov
