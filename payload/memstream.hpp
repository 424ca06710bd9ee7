// Streams over bytes held in memory.
//
// basic_membuf is a stream buffer over one contiguous array that it either borrows (a
// read-only view, e.g. of a mapped resource) or owns and grows geometrically (by half its
// size, at least 256 elements). Both the get and the put area lie in that array; the get area
// is extended lazily up to the high-water mark of everything written, so bytes written through
// the output side become readable through the input side without any explicit sync.
//
// basic_memstream: read/write stream over an owned, growing buffer.
// basic_imemstream: read-only stream over borrowed memory, which must outlive the stream.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <streambuf>
#include <string>

namespace ov {

template <class CharT, class Traits = std::char_traits<CharT>, class Alloc = std::allocator<CharT>>
class basic_membuf : public std::basic_streambuf<CharT, Traits> {
public:
    using char_type = CharT;
    using traits_type = Traits;
    using int_type = typename Traits::int_type;
    using pos_type = typename Traits::pos_type;
    using off_type = typename Traits::off_type;
    using allocator_type = Alloc;

    // No buffer yet; the first write allocates one. `app` without `out` is dropped.
    explicit basic_membuf(std::ios_base::openmode mode = std::ios_base::in | std::ios_base::out)
        : mode_(mode)
    {
        if ((mode_ & std::ios_base::app) && !(mode_ & std::ios_base::out))
            mode_ &= ~std::ios_base::app;
    }

    // Borrowed read-only view of [data, data + size).
    basic_membuf(const CharT* data, std::size_t size) : mode_(std::ios_base::in)
    {
        set_buffer(const_cast<CharT*>(data), size);
    }

    basic_membuf(const basic_membuf&) = delete;
    basic_membuf& operator=(const basic_membuf&) = delete;

    ~basic_membuf() override { release(); }

    // Uses [data, data + size) as the buffer (borrowed: never freed by this object). The
    // positions follow the open mode: in reads from the start (trunc: nothing to read, ate: at
    // the end); out writes from the start (ate or app without trunc: from the end).
    void set_buffer(CharT* data, std::size_t size)
    {
        release();
        const bool trunc = (mode_ & std::ios_base::trunc) != 0;
        const bool at_end = (mode_ & (std::ios_base::ate | std::ios_base::app)) && !trunc;
        end_ = data;
        if (mode_ & std::ios_base::in) {
            if (trunc)
                this->setg(data, data, data);
            else if (mode_ & std::ios_base::ate)
                this->setg(data, data + size, data + size);
            else
                this->setg(data, data, data + size);
        }
        if (mode_ & std::ios_base::out) {
            this->setp(data, data + size);
            if (at_end)
                advance_put(size);
        }
        if ((mode_ & (std::ios_base::in | std::ios_base::ate | std::ios_base::app)) && !trunc)
            end_ = data + size;
    }

    // The stored bytes: everything up to the high-water mark of the data.
    std::span<const CharT> data()
    {
        update_end();
        if (this->eback())
            return {this->eback(), static_cast<std::size_t>(this->egptr() - this->eback())};
        if (this->pbase())
            return {this->pbase(), static_cast<std::size_t>(end_ - this->pbase())};
        return {};
    }

    // Size of the array in use (0 without a buffer).
    std::size_t capacity() const { return capacity_; }
    bool owns_buffer() const { return owned_; }
    std::ios_base::openmode mode() const { return mode_; }

protected:
    int_type overflow(int_type c) override
    {
        if (!(mode_ & std::ios_base::out))
            return Traits::eof();
        if ((mode_ & std::ios_base::app) && this->pptr() < end_)
            advance_put(static_cast<std::size_t>(end_ - this->pptr()));
        if (Traits::eq_int_type(c, Traits::eof()))
            return Traits::not_eof(c);
        if (this->pptr() == this->epptr() && !grow())
            return Traits::eof();
        *this->pptr() = Traits::to_char_type(c);
        this->pbump(1);
        return c;
    }

    int_type pbackfail(int_type c) override
    {
        if (!this->eback() || this->gptr() == this->eback())
            return Traits::eof();
        if (Traits::eq_int_type(c, Traits::eof()) ||
            Traits::eq(Traits::to_char_type(c), this->gptr()[-1])) {
            this->gbump(-1);
            return Traits::not_eof(c);
        }
        if (mode_ & std::ios_base::out) {
            this->gbump(-1);
            *this->gptr() = Traits::to_char_type(c);
            return c;
        }
        return Traits::eof();
    }

    int_type underflow() override
    {
        if (!this->eback())
            return Traits::eof();
        update_end();
        if (this->gptr() < this->egptr())
            return Traits::to_int_type(*this->gptr());
        return Traits::eof();
    }

    pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override
    {
        const pos_type fail = pos_type(off_type(-1));
        update_end();
        const bool in = (which & std::ios_base::in) != 0;
        const bool out = (which & std::ios_base::out) != 0;
        if (in && this->eback()) {
            const off_type size = this->egptr() - this->eback();
            off_type target;
            if (dir == std::ios_base::beg)
                target = off;
            else if (dir == std::ios_base::end)
                target = off + size;
            else if (out)
                return fail; // "current" is ambiguous when both positions move
            else
                target = off + (this->gptr() - this->eback());
            if (out && this->pbase() && (mode_ & std::ios_base::app) &&
                target != end_ - this->pbase())
                return fail;
            if (target < 0 || target > size)
                return fail;
            this->setg(this->eback(), this->eback() + target, this->egptr());
            if (out && this->pbase())
                set_put(static_cast<std::size_t>(target));
            return pos_type(target);
        }
        if (out && this->pbase()) {
            const off_type size = end_ - this->pbase();
            off_type target;
            if (dir == std::ios_base::beg)
                target = off;
            else if (dir == std::ios_base::end)
                target = off + size;
            else if (in)
                return fail;
            else
                target = off + (this->pptr() - this->pbase());
            if (target < 0 || target > size)
                return fail;
            if (mode_ & std::ios_base::app) {
                if (target != size)
                    return fail;
                return pos_type(target);
            }
            set_put(static_cast<std::size_t>(target));
            return pos_type(target);
        }
        return fail;
    }

    pos_type seekpos(pos_type pos,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override
    {
        if (off_type(pos) == off_type(-1))
            return pos_type(off_type(-1));
        return seekoff(off_type(pos), std::ios_base::beg, which);
    }

private:
    using alloc_traits = std::allocator_traits<Alloc>;

    // Moves the high-water mark up to the put position and extends the get area to it.
    void update_end()
    {
        if (this->pptr() > end_)
            end_ = this->pptr();
        if (this->eback() && this->egptr() < end_)
            this->setg(this->eback(), this->gptr(), end_);
    }

    // pbump takes an int: move in steps so that buffers above 2 GB stay addressable.
    void advance_put(std::size_t n)
    {
        while (n > 0) {
            const int step = n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
            this->pbump(step);
            n -= static_cast<std::size_t>(step);
        }
    }

    void set_put(std::size_t offset)
    {
        this->setp(this->pbase(), this->epptr());
        advance_put(offset);
    }

    // Grows the owned buffer by half its size (at least 256), staying within 32-bit sizes.
    bool grow()
    {
        const std::size_t old_size = static_cast<std::size_t>(this->epptr() - this->pbase());
        const std::uint64_t limit = UINT32_MAX;
        std::uint64_t increment = old_size / 2 < 256 ? 256 : old_size / 2;
        while (increment > 0 && old_size + increment > limit)
            increment /= 2;
        if (increment == 0)
            return false;
        const std::size_t new_size = old_size + static_cast<std::size_t>(increment);
        CharT* fresh = alloc_traits::allocate(alloc_, new_size);
        CharT* old = this->pbase();
        if (old_size > 0)
            Traits::copy(fresh, old, old_size);
        const std::size_t put_offset = static_cast<std::size_t>(this->pptr() - old);
        const std::size_t end_offset = static_cast<std::size_t>(end_ - old);
        this->setp(fresh, fresh + new_size);
        advance_put(put_offset);
        end_ = fresh + end_offset;
        if (mode_ & std::ios_base::in) {
            const std::ptrdiff_t get_offset = this->eback() ? this->gptr() - this->eback() : 0;
            // The character about to be stored at the put position is readable at once.
            this->setg(fresh, fresh + get_offset, this->pptr() + 1);
        }
        if (owned_)
            alloc_traits::deallocate(alloc_, old, capacity_);
        owned_ = true;
        capacity_ = new_size;
        return true;
    }

    void release()
    {
        if (owned_)
            alloc_traits::deallocate(alloc_, this->pbase(), capacity_);
        owned_ = false;
        capacity_ = 0;
        this->setg(nullptr, nullptr, nullptr);
        this->setp(nullptr, nullptr);
        end_ = nullptr;
    }

    CharT* end_ = nullptr;  // high-water mark of the data
    std::ios_base::openmode mode_;
    bool owned_ = false;
    std::size_t capacity_ = 0;  // size of the owned allocation
    Alloc alloc_;
};

// Read/write stream over an owned, growing buffer.
template <class CharT, class Traits = std::char_traits<CharT>, class Alloc = std::allocator<CharT>>
class basic_memstream : public std::basic_iostream<CharT, Traits> {
public:
    using buffer_type = basic_membuf<CharT, Traits, Alloc>;

    basic_memstream()
        : std::basic_iostream<CharT, Traits>(nullptr), buf_(std::ios_base::in | std::ios_base::out)
    {
        this->init(&buf_);
    }
    ~basic_memstream() override = default;

    buffer_type* rdbuf() { return &buf_; }
    std::span<const CharT> data() { return buf_.data(); }

private:
    buffer_type buf_;
};

// Read-only stream over borrowed memory; default-constructed it is empty.
template <class CharT, class Traits = std::char_traits<CharT>, class Alloc = std::allocator<CharT>>
class basic_imemstream : public std::basic_istream<CharT, Traits> {
public:
    using buffer_type = basic_membuf<CharT, Traits, Alloc>;

    basic_imemstream() : std::basic_istream<CharT, Traits>(nullptr), buf_(std::ios_base::in)
    {
        this->init(&buf_);
    }
    basic_imemstream(const CharT* data, std::size_t size)
        : std::basic_istream<CharT, Traits>(nullptr), buf_(data, size)
    {
        this->init(&buf_);
    }

    buffer_type* rdbuf() { return &buf_; }
    std::span<const CharT> data() { return buf_.data(); }

private:
    buffer_type buf_;
};

using membuf = basic_membuf<char>;
using memstream = basic_memstream<char>;
using imemstream = basic_imemstream<char>;

} // namespace ov
