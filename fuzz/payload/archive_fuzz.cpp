// Arbitrary bytes as the decompressed archive, fed straight into a payload_extractor in
// chunks whose sizes come from the input's first byte, writing into the scratch folder: the
// header parser and the data phase without the bzip2 layer in front.
#include "fuzz_folders.hpp"

#include "payload/payload_extractor.hpp"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    ov::fuzz::scratch_root();
    const std::size_t chunk = 1 + (data[0] % 64) * 67; // 1 .. 4222 bytes
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    {
        ov::payload_extractor extractor(ov::fuzz::installation_folder(), "samples", {});
        std::uint64_t last_position = 0;
        extractor.set_observer([&](const ov::notification& n) {
            if (auto* p = n.get_if<ov::notification::progress>()) {
                if (p->position < last_position || p->position > p->total)
                    std::abort(); // progress never goes back nor past the total
                last_position = p->position;
            }
            return ov::notification::result::proceed;
        });
        try {
            for (std::size_t at = 0; at < length && !extractor.failed();) {
                const std::size_t end = std::min(length, at + chunk);
                const std::streamsize n = extractor.write(bytes + at, static_cast<std::streamsize>(end - at));
                if (n <= 0 || static_cast<std::size_t>(n) > end - at)
                    std::abort(); // every call consumes something, never more than given
                at += static_cast<std::size_t>(n);
            }
        } catch (const std::exception&) {
            if (!extractor.failed())
                std::abort(); // a failure always leaves the device failed
        }
        if (!extractor.failed() && extractor.position() > extractor.total() && extractor.total() != 0)
            std::abort();
    }
    ov::fuzz::clean_scratch();
    return 0;
}
