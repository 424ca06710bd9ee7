// The decompressing pipeline shared by verify_payload and extract_payload: the compressed
// bytes are copied, 4096 at a time, into an output chain of a bzip2 decompressor (normal mode,
// 4096-byte buffer) feeding a sink device.
#pragma once

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/copy.hpp>
#include <boost/iostreams/filter/bzip2.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include <exception>
#include <ios>
#include <streambuf>
#include <utility>

namespace ov {

// The bzip2 decompressor, never called again once it has thrown. After a failure the chain
// is still flushed and closed; libbz2 must not be asked to go on after reporting damaged data
// (it reads out of bounds), nor after an exception left it in the middle of a write.
class guarded_bzip2_decompressor {
public:
    using char_type = char;
    struct category : boost::iostreams::output_filter_tag,
                      boost::iostreams::multichar_tag,
                      boost::iostreams::closable_tag {};

    template <class Sink>
    std::streamsize write(Sink& sink, const char* s, std::streamsize n)
    {
        if (broken_)
            return n; // swallowed while the chain unwinds
        try {
            return inner_.write(sink, s, n);
        } catch (...) {
            broken_ = true;
            failure_ = std::current_exception();
            throw;
        }
    }

    template <class Sink>
    void close(Sink& sink)
    {
        if (broken_) {
            // The chain swallows what write throws while it is being flushed for closing:
            // raise it again here, where it reaches the caller. The inner filter releases
            // libbz2's state when destroyed.
            if (std::exception_ptr failure = std::exchange(failure_, nullptr))
                std::rethrow_exception(failure);
            return;
        }
        try {
            inner_.close(sink, std::ios_base::out);
        } catch (...) {
            broken_ = true;
            throw;
        }
    }

private:
    boost::iostreams::bzip2_decompressor inner_{false, 4096};
    bool broken_ = false;
    std::exception_ptr failure_;
};

// Decompresses everything `source` holds into `sink`; returns the compressed bytes read.
template <class Sink>
std::streamsize decompress_into(std::streambuf& source, const Sink& sink)
{
    boost::iostreams::filtering_ostream out;
    out.push(guarded_bzip2_decompressor(), 4096);
    out.push(sink, 4096);
    const std::streamsize copied = boost::iostreams::copy(source, out, 4096);
    out.reset();
    return copied;
}

} // namespace ov
