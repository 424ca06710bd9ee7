#include "test_support.hpp"

#include "payload/crc32.hpp"
#include "payload/utf16.hpp"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/filter/bzip2.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = boost::filesystem;

namespace ov::test {

void put_u32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void put_u64(std::string& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void put_utf16(std::string& out, const std::u16string& text)
{
    put_u32(out, static_cast<std::uint32_t>(text.size()));
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
}

std::string header_bytes(const std::vector<test_entry>& entries, std::size_t filler)
{
    std::string table;
    put_u32(table, static_cast<std::uint32_t>(entries.size()));
    for (const test_entry& e : entries) {
        put_utf16(table, e.source);
        put_utf16(table, e.destination);
        put_u32(table, e.kind);
        put_u64(table, e.data.size());
        put_u32(table, e.crc ? *e.crc : crc32_bytes(e.data.data(), e.data.size()));
    }
    std::string header;
    put_u64(header, 8 + table.size() + filler);
    header += table;
    header.append(filler, '\xAB');
    return header;
}

std::string archive_bytes(const std::vector<test_entry>& entries, std::size_t filler)
{
    std::string archive = header_bytes(entries, filler);
    for (const test_entry& e : entries)
        archive += e.data;
    return archive;
}

std::string bzip2(const std::string& raw)
{
    std::string packed;
    {
        boost::iostreams::filtering_ostream out;
        out.push(boost::iostreams::bzip2_compressor(boost::iostreams::bzip2_params(9)));
        out.push(boost::iostreams::back_inserter(packed));
        out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    }
    return packed;
}

boost::filesystem::path u16path(std::u16string_view text) { return path_from_utf16(text); }

std::string sample_data(std::size_t size, std::uint32_t seed)
{
    std::string data(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Runs of text-like bytes mixed with noise.
        data[i] = (i / 64) % 3 == 0 ? static_cast<char>(x) : static_cast<char>('a' + (i + seed) % 7);
    }
    return data;
}

std::string read_file(const fs::path& path)
{
#ifdef _WIN32
    std::ifstream in(path.c_str(), std::ios::binary);
#else
    std::ifstream in(path.c_str(), std::ios::binary);
#endif
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

scratch_folder::scratch_folder()
{
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string unique = std::to_string(process) + "-" + std::to_string(tick % 1000000) + "-" +
                               std::to_string(counter++);
    path_ = fs::temp_directory_path() /
            (u16path(u"ov-payload Données 日本 ") += fs::path(unique));
    fs::create_directories(path_);
}

scratch_folder::~scratch_folder()
{
    try {
        remove_tree(path_);
    } catch (...) {
    }
}

void remove_tree(const fs::path& path)
{
    boost::system::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)))
        return;
    for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        fs::permissions(it->path(), fs::add_perms | fs::owner_write, ec);
    fs::remove_all(path);
}

payload_observer recorder::observer()
{
    return [this](const notification& n) {
        event e;
        e.index = n.index();
        if (auto* f = n.get_if<notification::finished>()) {
            e.first = f->read;
            e.second = f->total;
        } else if (auto* b = n.get_if<notification::file_begin>()) {
            e.path = b->entry.destination;
        } else if (auto* d = n.get_if<notification::file_end>()) {
            e.path = d->entry.destination;
        } else if (auto* p = n.get_if<notification::progress>()) {
            e.first = p->position;
            e.second = p->total;
        } else if (auto* x = n.get_if<notification::error>()) {
            e.path = x->failure.path;
            e.code = x->failure.code;
        }
        events.push_back(e);
        return answer ? answer(e, events.size() - 1) : notification::result::proceed;
    };
}

std::vector<event> recorder::of(std::size_t index) const
{
    std::vector<event> found;
    for (const event& e : events)
        if (e.index == index)
            found.push_back(e);
    return found;
}

std::vector<fs::path> recorder::paths(std::size_t index) const
{
    std::vector<fs::path> found;
    for (const event& e : of(index))
        found.push_back(e.path);
    return found;
}

const event* recorder::error() const
{
    for (const event& e : events)
        if (e.index == ev_error)
            return &e;
    return nullptr;
}

} // namespace ov::test
