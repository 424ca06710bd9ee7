#include "payload/payload_header.hpp"

#include "payload/compress_error.hpp"
#include "payload/utf16.hpp"

#include <limits>

namespace ov {

namespace {

[[noreturn]] void malformed() { throw_compress_error(compress_errc::unexpected_error); }

std::uint64_t load_le(const unsigned char* p, int width)
{
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

// Reads the header's fields in order, never past its end.
class header_reader {
public:
    header_reader(const char* data, std::uint64_t size)
        : data_(reinterpret_cast<const unsigned char*>(data)), size_(size)
    {
    }

    void skip(std::uint64_t n)
    {
        need(n);
        position_ += n;
    }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint64_t u64() { return take(8); }

    std::u16string utf16(std::uint32_t units)
    {
        need(2ull * units); // checked before anything is allocated
        std::u16string text(units, u'\0');
        for (std::uint32_t i = 0; i < units; ++i)
            text[i] = static_cast<char16_t>(load_le(data_ + position_ + 2ull * i, 2));
        position_ += 2ull * units;
        return text;
    }

    std::uint64_t remaining() const { return size_ - position_; }

private:
    void need(std::uint64_t n) const
    {
        if (n > size_ - position_)
            malformed();
    }
    std::uint64_t take(int width)
    {
        need(static_cast<std::uint64_t>(width));
        const std::uint64_t value = load_le(data_ + position_, width);
        position_ += static_cast<std::uint64_t>(width);
        return value;
    }

    const unsigned char* data_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
};

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

bool is_forbidden_in_name(char16_t c)
{
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' ||
           c == u'\\' || c == u'|' || c == u'?' || c == u'*';
}

// The components of a stored directory (empty ones, from doubled or trailing separators,
// are left out).
std::vector<std::u16string_view> components(std::u16string_view text)
{
    std::vector<std::u16string_view> parts;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = begin;
        while (end < text.size() && !is_separator(text[end]))
            ++end;
        if (end > begin)
            parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

} // namespace

std::uint64_t read_header_size(const char* bytes)
{
    const std::uint64_t size = load_le(reinterpret_cast<const unsigned char*>(bytes), 8);
    if (size < min_header_size || size > max_header_size)
        malformed();
    return size;
}

payload_header parse_payload_header(const char* data, std::size_t size)
{
    if (size < header_size_field)
        malformed();
    payload_header header;
    header.header_size = read_header_size(data);
    if (size < header.header_size)
        malformed();

    header_reader in(data, header.header_size);
    in.skip(header_size_field);
    const std::uint32_t count = in.u32();
    // Every entry takes at least its fixed fields: a count the header cannot hold is refused
    // before the table is allocated.
    if (count > in.remaining() / entry_fixed_size)
        malformed();
    header.entries.resize(count);
    std::uint64_t total = header.header_size;
    for (stored_entry& entry : header.entries) {
        entry.source = in.utf16(in.u32());
        entry.destination = in.utf16(in.u32());
        entry.kind = in.u32();
        entry.size = in.u64();
        entry.crc = in.u32();
        if (entry.size > std::numeric_limits<std::uint64_t>::max() - total)
            malformed(); // the archive's size would not fit in 64 bits
        total += entry.size;
    }
    return header;
}

boost::filesystem::path entry_file_name(const std::u16string& source)
{
    std::size_t begin = source.size();
    while (begin > 0 && !is_separator(source[begin - 1]))
        --begin;
    const std::u16string_view name = std::u16string_view(source).substr(begin);
    if (name.empty() || name == u"." || name == u"..")
        throw_compress_error(compress_errc::unexpected_error);
    for (char16_t c : name)
        if (is_forbidden_in_name(c))
            throw_compress_error(compress_errc::unexpected_error);
    return path_from_utf16(name);
}

payload_entry resolve_entry(const stored_entry& entry, const placeholder_folders& folders)
{
    const boost::filesystem::path name = entry_file_name(entry.source);
    const std::vector<std::u16string_view> parts = components(entry.destination);
    // Every file lands inside a folder a placeholder names, never outside it.
    if (parts.empty() || entry.destination.front() != u'<' || parts.front().back() != u'>')
        throw_compress_error(compress_errc::unexpected_error);
    for (std::u16string_view part : parts)
        if (part == u"..")
            throw_compress_error(compress_errc::unexpected_error);

    payload_entry resolved;
    resolved.source = path_from_utf16(entry.source);
    resolved.destination = expand_placeholders(path_from_utf16(entry.destination), folders) / name;
    resolved.kind = entry.kind;
    resolved.size = entry.size;
    resolved.crc = entry.crc;
    return resolved;
}

} // namespace ov
