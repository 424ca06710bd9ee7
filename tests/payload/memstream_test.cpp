#include "payload/memstream.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using ov::imemstream;
using ov::membuf;
using ov::memstream;
using traits = std::char_traits<char>;

TEST(MemStream, FreshStreamHasNoBufferAndFirstWriteAllocates256)
{
    memstream s;
    EXPECT_EQ(s.data().data(), nullptr);
    EXPECT_EQ(s.data().size(), 0u);
    EXPECT_EQ(s.rdbuf()->capacity(), 0u);
    s.put('x');
    EXPECT_EQ(s.rdbuf()->capacity(), 256u);
    EXPECT_TRUE(s.rdbuf()->owns_buffer());
    EXPECT_EQ(s.data().size(), 1u);
}

TEST(MemStream, WrittenBytesAreReadableWithoutSync)
{
    memstream s;
    s.write("ABCDEFGH", 8);
    EXPECT_EQ(s.data().size(), 8u);
    char got[9] = {};
    s.read(got, 8);
    EXPECT_EQ(s.gcount(), 8);
    EXPECT_EQ(std::string(got), "ABCDEFGH");
    EXPECT_EQ(s.data().size(), 8u);
    // Nothing more to read, but writing more makes it readable again.
    EXPECT_EQ(s.get(), traits::eof());
    s.clear();
    s.write("IJ", 2);
    EXPECT_EQ(s.get(), 'I');
    EXPECT_EQ(s.get(), 'J');
}

TEST(MemStream, CapacityGrowsByHalfAndKeepsReadPosition)
{
    memstream s;
    std::string written;
    for (int i = 0; i < 300; ++i)
        written += static_cast<char>('a' + i % 26);
    s.write(written.data(), 200);
    char first[100];
    s.read(first, 100);
    ASSERT_EQ(s.gcount(), 100);
    EXPECT_EQ(s.rdbuf()->capacity(), 256u);
    s.write(written.data() + 200, 100); // crosses 256 bytes
    EXPECT_EQ(s.rdbuf()->capacity(), 512u);
    std::string rest(200, '\0');
    s.read(rest.data(), 200);
    EXPECT_EQ(s.gcount(), 200);
    EXPECT_EQ(rest, written.substr(100));
    EXPECT_EQ(std::string(s.data().data(), s.data().size()), written);

    // The documented sequence of capacities: 256, 512, 768, 1152, 1728.
    memstream t;
    std::vector<std::size_t> capacities;
    for (int i = 0; i < 1700; ++i) {
        t.put('z');
        if (capacities.empty() || capacities.back() != t.rdbuf()->capacity())
            capacities.push_back(t.rdbuf()->capacity());
    }
    EXPECT_EQ(capacities, (std::vector<std::size_t>{256, 512, 768, 1152, 1728}));
}

TEST(MemStream, SeekingTheInputSide)
{
    memstream s;
    s.write("0123456789", 10);
    s.seekg(4);
    EXPECT_EQ(s.get(), '4');
    const auto before = s.tellg();
    s.seekg(11); // beyond the data: fails, position unchanged
    EXPECT_TRUE(s.fail());
    s.clear();
    EXPECT_EQ(s.tellg(), before);
    s.seekg(10); // exactly at the end of the data
    EXPECT_FALSE(s.fail());
    EXPECT_EQ(s.get(), traits::eof());
    s.clear();
    s.seekg(-3, std::ios_base::end);
    EXPECT_EQ(s.get(), '7');
    EXPECT_EQ(s.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in | std::ios_base::out),
              std::streampos(-1)); // "current" with both sides is ambiguous
}

TEST(MemStream, SeekingThePutSideOverwritesInPlace)
{
    memstream s;
    s.write("abcdef", 6);
    s.seekp(2);
    s.write("XY", 2);
    EXPECT_EQ(std::string(s.data().data(), s.data().size()), "abXYef"); // high-water mark kept
    s.seekp(7);
    EXPECT_TRUE(s.fail());
}

TEST(MemStream, PutBackOnReadWriteBufferMayReplaceTheByte)
{
    memstream s;
    s.write("abc", 3);
    EXPECT_EQ(s.get(), 'a');
    s.putback('Z'); // a read/write buffer takes a different byte
    EXPECT_FALSE(s.fail());
    EXPECT_EQ(s.get(), 'Z');
}

TEST(IMemStream, ReadsBorrowedBytesInPlace)
{
    const char bytes[] = "payload";
    imemstream s(bytes, 7);
    EXPECT_EQ(s.data().data(), bytes); // no copy
    std::string got(7, '\0');
    s.read(got.data(), 7);
    EXPECT_EQ(got, "payload");
    EXPECT_EQ(s.get(), traits::eof());
    s.clear();
    s.seekg(0);
    EXPECT_EQ(s.get(), 'p');
}

TEST(IMemStream, PutBackOnlyTheSameByte)
{
    const char bytes[] = "ab";
    imemstream s(bytes, 2);
    EXPECT_EQ(s.get(), 'a');
    s.putback('x'); // read-only: a different byte is refused
    EXPECT_TRUE(s.bad());
    EXPECT_EQ(bytes[0], 'a');

    imemstream t(bytes, 2);
    EXPECT_EQ(t.get(), 'a');
    t.putback('a');
    EXPECT_TRUE(t.good());
    EXPECT_EQ(t.get(), 'a');
}

TEST(IMemStream, EmptyStreams)
{
    const char bytes[] = "x";
    imemstream zero(bytes, 0);
    EXPECT_EQ(zero.get(), traits::eof());
    zero.clear();
    zero.seekg(0);
    EXPECT_FALSE(zero.fail());

    imemstream none;
    EXPECT_EQ(none.get(), traits::eof());
    none.clear();
    none.seekg(0); // no get area at all
    EXPECT_TRUE(none.fail());
}

TEST(MemBuf, OpenModesPlaceThePositions)
{
    char storage[4] = {'w', 'x', 'y', 'z'};
    struct mode_case {
        std::ios_base::openmode mode;
        std::size_t data_size; // what data() reports
        int first_read;        // first character read
        std::size_t put_offset;
    };
    const mode_case cases[] = {
        {std::ios_base::in | std::ios_base::out, 4, 'w', 0},
        {std::ios_base::in | std::ios_base::out | std::ios_base::ate, 4, traits::eof(), 4},
        {std::ios_base::in | std::ios_base::out | std::ios_base::trunc, 0, traits::eof(), 0},
        {std::ios_base::in | std::ios_base::out | std::ios_base::app, 4, 'w', 4},
        {std::ios_base::out, 0, traits::eof(), 0},
    };
    for (const mode_case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        membuf b(c.mode);
        b.set_buffer(storage, 4);
        EXPECT_EQ(b.data().size(), c.data_size);
        EXPECT_EQ(b.sgetc(), c.first_read);
        EXPECT_EQ(b.pubseekoff(0, std::ios_base::cur, std::ios_base::out),
                  std::streampos(static_cast<std::streamoff>(c.put_offset)))
            << "put side seek";
        EXPECT_FALSE(b.owns_buffer());
    }
    membuf appending(std::ios_base::in | std::ios_base::app); // app without out is dropped
    EXPECT_FALSE(appending.mode() & std::ios_base::app);
}

TEST(MemBuf, AppendModeAlwaysWritesAtTheEnd)
{
    membuf b(std::ios_base::in | std::ios_base::out | std::ios_base::app);
    b.sputn("abc", 3);
    EXPECT_EQ(b.pubseekoff(1, std::ios_base::beg, std::ios_base::in), std::streampos(1));
    b.sputn("d", 1);
    EXPECT_EQ(std::string(b.data().data(), b.data().size()), "abcd");
    // Moving the put position anywhere but the end fails.
    EXPECT_EQ(b.pubseekoff(0, std::ios_base::beg, std::ios_base::out), std::streampos(-1));
    EXPECT_EQ(b.pubseekoff(0, std::ios_base::end, std::ios_base::out), std::streampos(4));
}

// Calls the buffer's protected operations directly.
struct probe : membuf {
    using membuf::membuf;
    using membuf::overflow;
    using membuf::pbackfail;
    char* get_position() { return gptr(); }
};

TEST(MemBuf, PutBackRules)
{
    char storage[3] = {'a', 'b', 'c'};
    const int eof = traits::eof();
    struct putback_case {
        const char* what;
        std::ios_base::openmode mode; // none: the borrowed read-only view
        std::size_t read;             // bytes read before the put-back
        int put;                      // the character put back
        int answer;
        std::ptrdiff_t back;          // how far the read position moved back
        char stored;                  // storage[read - 1] afterwards
    };
    const putback_case cases[] = {
        {"at the start", {}, 0, 'a', eof, 0, 'a'},
        {"end-of-file steps back", {}, 2, eof, 0, 1, 'b'},
        {"the same byte", {}, 2, 'b', 'b', 1, 'b'},
        {"another byte, read-only", {}, 2, 'x', eof, 0, 'b'},
        {"another byte, read/write", std::ios_base::in | std::ios_base::out, 2, 'x', 'x', 1, 'x'},
    };
    for (const putback_case& c : cases) {
        SCOPED_TRACE(c.what);
        storage[0] = 'a', storage[1] = 'b', storage[2] = 'c';
        std::unique_ptr<probe> b;
        if (c.mode == std::ios_base::openmode{}) {
            b = std::make_unique<probe>(storage, 3);
        } else {
            b = std::make_unique<probe>(c.mode);
            b->set_buffer(storage, 3);
        }
        for (std::size_t i = 0; i < c.read; ++i)
            b->sbumpc();
        char* before = b->get_position();
        EXPECT_EQ(b->pbackfail(c.put), c.answer);
        EXPECT_EQ(before - b->get_position(), c.back);
        if (c.read > 0) {
            EXPECT_EQ(storage[c.read - 1], c.stored);
        }
    }
    probe none(std::ios_base::in);
    EXPECT_EQ(none.pbackfail('a'), eof); // no get area
}

TEST(MemBuf, OverflowRules)
{
    const int eof = traits::eof();
    probe reading(std::ios_base::in);
    EXPECT_EQ(reading.overflow('a'), eof); // no output side
    EXPECT_EQ(reading.capacity(), 0u);

    probe writing(std::ios_base::in | std::ios_base::out);
    EXPECT_EQ(writing.overflow(eof), 0); // nothing to store, but no failure either
    EXPECT_EQ(writing.capacity(), 0u);
    EXPECT_EQ(writing.overflow('q'), 'q');
    EXPECT_EQ(writing.capacity(), 256u);
    EXPECT_EQ(writing.sgetc(), 'q'); // readable at once

    // Append mode: a put position moved back returns to the end before storing.
    char storage[4] = {'w', 'x', 'y', 'z'};
    probe appending(std::ios_base::in | std::ios_base::out | std::ios_base::app);
    appending.set_buffer(storage, 4);
    EXPECT_EQ(appending.pubseekoff(1, std::ios_base::beg, std::ios_base::in | std::ios_base::out),
              std::streampos(-1)); // both sides may only go to the end
    EXPECT_EQ(appending.pubseekoff(4, std::ios_base::beg, std::ios_base::in | std::ios_base::out),
              std::streampos(4));
    EXPECT_EQ(appending.overflow('!'), '!');
    EXPECT_EQ(std::string(appending.data().data(), appending.data().size()), "wxyz!");
    EXPECT_TRUE(appending.owns_buffer());
    EXPECT_EQ(storage[0], 'w'); // the borrowed array is copied, not written

    // Seeking both sides from the beginning moves both positions.
    memstream both;
    both.write("0123456789", 10);
    ASSERT_EQ(both.rdbuf()->pubseekoff(3, std::ios_base::beg, std::ios_base::in | std::ios_base::out),
              std::streampos(3));
    EXPECT_EQ(both.get(), '3');
    both.put('X'); // written at offset 3, over the byte just read
    EXPECT_EQ(std::string(both.data().data(), both.data().size()), "012X456789");
}

} // namespace
