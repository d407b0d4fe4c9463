// libFuzzer target: any bytes through the HEIF and AVIF decoder as the format table calls it.
#include "decoder.h"
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tonalyx::fuzz::DecodeAsTheWindowWould(tonalyx::StreamHeifBytes, data, size);
    return 0;
}
