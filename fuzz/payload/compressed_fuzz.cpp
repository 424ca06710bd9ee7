// Arbitrary bytes as the compressed payload: extract_payload once with an observer that skips
// every file, once writing into the scratch folder.
#include "fuzz_folders.hpp"

#include "payload/extract.hpp"
#include "payload/memstream.hpp"
#include "payload/payload_extractor.hpp"

#include <cstdlib>

namespace {

// Checks what an extraction must always do: one start first, then finished or error last.
struct checking_observer {
    bool skip;
    int starts = 0;
    int ends = 0;

    ov::notification::result operator()(const ov::notification& n)
    {
        if (ends != 0)
            std::abort(); // nothing may follow finished or error
        if (n.index() == 0)
            ++starts;
        else if (starts != 1)
            std::abort();
        if (n.get_if<ov::notification::finished>() || n.get_if<ov::notification::error>())
            ++ends;
        if (skip && n.get_if<ov::notification::file_begin>())
            return ov::notification::result::skip;
        return ov::notification::result::proceed;
    }
};

void extract(const uint8_t* data, size_t size, bool skip)
{
    ov::imemstream source(reinterpret_cast<const char*>(data), size);
    checking_observer check{skip};
    checking_observer* seen = &check;
    const bool ok = ov::extract_payload(source, ov::fuzz::installation_folder(), "samples", {},
                                        [seen](const ov::notification& n) { return (*seen)(n); });
    if (check.starts != 1 || check.ends != 1)
        std::abort();
    (void)ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ov::fuzz::scratch_root();
    extract(data, size, true);
    extract(data, size, false);
    ov::fuzz::clean_scratch();
    ov::imemstream again(reinterpret_cast<const char*>(data), size);
    ov::verify_payload(again);
    return 0;
}
