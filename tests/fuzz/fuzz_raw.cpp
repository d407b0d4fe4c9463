// libFuzzer target: any bytes as a camera raw file, read by LibRaw from memory: through the
// sensor's reading, its counts and photosites as the window keeps them, then through the
// decoder as the format table calls it, for the picture the window shows (the embedded
// preview, or LibRaw's development where there is none large enough).
#include "byte_source.h"
#include "decoder.h"
#include "fuzz_decoder.h"
#include "sensor_count.h"

#include <cstddef>
#include <cstdint>

namespace {

// A development costs far more per photosite than a count: only sensors this small are
// developed, so that the fuzzer keeps its pace. The sizes themselves are unit-tested.
constexpr std::uint64_t FuzzMaxDevelopedPhotosites = 250'000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tonalyx::TMemoryBytes bytes(data, size);
    // What a sensor of FuzzMaxPixels photosites unpacks to: larger declared ones are refused
    // by the memory rule (unit-tested) instead of slowing the fuzzer down.
    const auto read = tonalyx::ReadSensor(
        bytes, {}, [] { return static_cast<std::uint64_t>(tonalyx::fuzz::FuzzMaxPixels * 2); });
    if (read.Ok() == !read.Reason().empty())
        __builtin_trap();
    if (!read.Ok())
        return 0;
    const tonalyx::TSensorHistogram* hist = &read->Histogram;
    const tonalyx::TSensorMosaic& mosaic = read->Mosaic;
    if (!mosaic.Empty() &&
        (mosaic.Width != hist->Width || mosaic.Height != hist->Height ||
         mosaic.Values.size() !=
             std::size_t(mosaic.Width) * std::size_t(mosaic.Height) * std::size_t(mosaic.Samples)))
        __builtin_trap();
    // Every visible photosite counted once: once in its filter colour's channel, or once in
    // each of a linear raw's three.
    const std::uint64_t visible = std::uint64_t(hist->Width) * std::uint64_t(hist->Height);
    if (hist->Photosites() != (hist->Pattern.empty() ? 3 * visible : visible))
        __builtin_trap();
    if (visible <= FuzzMaxDevelopedPhotosites)
        tonalyx::fuzz::DecodeAsTheWindowWould(tonalyx::StreamRawBytes, data, size);
    return 0;
}
