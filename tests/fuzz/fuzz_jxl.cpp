// libFuzzer target: any bytes through the JPEG XL decoder as the format table calls it.
#include "decoder.h"
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tonalyx::fuzz::DecodeAsTheWindowWould(tonalyx::StreamJxlBytes, data, size);
    return 0;
}
