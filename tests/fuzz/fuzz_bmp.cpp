// libFuzzer target: any bytes through the BMP decoder, and its colour space through the
// display conversion.
#include "decoder.h"
#include "fuzz_display.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// As for JPEG: legal large pictures would only slow the fuzzer down (an RLE header may
// announce one over a few bytes of data); the size checks are unit-tested.
constexpr std::int64_t FuzzMaxPixels = 4'000'000;

std::int64_t Le(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return bytes == 2 ? std::int64_t{v} : std::int64_t{static_cast<std::int32_t>(v)};
}

bool SmallEnough(const std::uint8_t* data, std::size_t size) {
    if (size < 26)
        return true;
    const bool core = Le(data + 14, 4) == 12;
    const std::int64_t w = core ? Le(data + 18, 2) : Le(data + 18, 4);
    const std::int64_t h = core ? Le(data + 20, 2) : Le(data + 22, 4);
    return std::llabs(w) * std::llabs(h) <= FuzzMaxPixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!SmallEnough(data, size))
        return 0;
    const tonalyx::TDecodeResult r = tonalyx::DecodeBmpMemory(data, size);
    if (r.Ok() != r.Reason().empty() || (r.Ok() && r->Stride() < 3 * std::ptrdiff_t{r->Width()}))
        __builtin_trap();
    if (r.Ok())
        tonalyx::fuzz::ShowAsTheViewWould(*r);
    return 0;
}
