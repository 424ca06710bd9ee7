// Feeds arbitrary bytes to the uninstall log's reader, whole and in small uneven pieces, and
// checks what it hands back. ASan and UBSan watch every access: the reader must never look
// past its 1024-byte line buffer or the input.
#include "engine/log_parser.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Hands out the input in pieces of 1 to 7 bytes, so that lines and code units straddle reads.
class PieceSource : public ov::LogByteSource {
public:
    PieceSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::ptrdiff_t Read(unsigned char* buffer, std::size_t capacity) override {
        std::size_t count = 1 + (position_ * 31 + 7) % 7;
        count = std::min({count, capacity, size_ - position_});
        if (count != 0) {
            std::memcpy(buffer, data_ + position_, count);
        }
        position_ += count;
        return static_cast<std::ptrdiff_t>(count);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckContents(const ov::LogContents& log) {
    for (const auto& entry : log.entries) {
        Check(entry.kind >= 0 && entry.kind <= 6);
        Check(entry.value >= -1 && entry.value <= 254);
        // Only a shortcut that was never made, or a registry entry, goes without a path.
        Check(!entry.path.empty() || entry.kind >= 2);
        Check(entry.path.size() < ov::LogLineReader::kLineBufferBytes);
        Check(entry.path.empty() || (!ov::IsLogSpace(entry.path.front()) && !ov::IsLogSpace(entry.path.back())));
    }
    Check(log.entries.empty() || log.version == 1);
    Check((log.stop == ov::LogStop::EndOfFile) == (log.stop_line == 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ov::LogMemorySource whole(bytes);
    const ov::LogContents first = ov::ParseUninstallLog(whole);
    CheckContents(first);

    // The way the bytes arrive must not change what is read.
    PieceSource pieces(data, size);
    const ov::LogContents second = ov::ParseUninstallLog(pieces);
    Check(second.stop == first.stop && second.stop_line == first.stop_line);
    Check(second.entries.size() == first.entries.size());
    for (std::size_t i = 0; i < first.entries.size(); ++i) {
        Check(second.entries[i].path == first.entries[i].path);
    }
    Check(second.install_folder == first.install_folder && second.title == first.title);
    return 0;
}
