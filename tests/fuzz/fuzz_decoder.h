// What every decoder fuzzer does with its bytes: decodes them through the decoder as the
// format table calls it, into a raster of the picture's own, and shows the result as the
// image view would (fuzz_display.h).
#pragma once

#include "byte_source.h"
#include "fuzz_display.h"
#include "whole_raster.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tonalyx::fuzz {

// Legal large pictures would only slow a fuzzer down: a header may announce one over a few
// bytes of data. The size checks themselves are unit-tested.
inline constexpr std::int64_t FuzzMaxPixels = 4'000'000;
inline constexpr std::int64_t FuzzMaxDecoderBytes = 256'000'000;

inline void DecodeAsTheWindowWould(const TSourceDecoder& decode, const std::uint8_t* data,
                                   std::size_t size) {
    TMemoryBytes bytes(data, size);
    TWholeRaster target({}, {}, [](int width, int height, std::int64_t decoderBytes) {
        std::optional<TFailure> refusal;
        if (std::int64_t{width} * height > FuzzMaxPixels || decoderBytes > FuzzMaxDecoderBytes)
            refusal = TFailure{"too large for the fuzzer", {}};
        return refusal;
    });
    const TDecodeResult r = target.Finish(decode(bytes, target));
    if (r.Ok() != r.Reason().empty() || (r.Ok() && r->Stride() < 3 * std::ptrdiff_t{r->Width()}))
        __builtin_trap();
    if (r.Ok())
        ShowAsTheViewWould(*r);
}

} // namespace tonalyx::fuzz
