// The standard CRC-32 (reflected polynomial 0x04C11DB7, initial value 0xFFFFFFFF, final
// complement: the zlib and PNG CRC).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ov {

// CRC-32 of [data, data + size) continued from `crc`, the CRC-32 of the bytes before them
// (0 for none): crc32_bytes(b, nb, crc32_bytes(a, na)) is the CRC-32 of a followed by b.
std::uint32_t crc32_bytes(const void* data, std::size_t size, std::uint32_t crc = 0) noexcept;

} // namespace ov
