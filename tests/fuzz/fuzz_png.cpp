// libFuzzer target: any bytes through the PNG decoder as the format table calls it, and its
// orientation and colour space through the display conversion.
#include "decoder.h"
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tonalyx::fuzz::DecodeAsTheWindowWould(tonalyx::StreamPngBytes, data, size);
    return 0;
}
