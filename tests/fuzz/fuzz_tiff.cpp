// libFuzzer target: any bytes through the TIFF decoder as the format table calls it, and its
// orientation and colour profile through the display conversion.
#include "decoder.h"
#include "fuzz_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tonalyx::fuzz::DecodeAsTheWindowWould(tonalyx::StreamTiffBytes, data, size);
    return 0;
}
