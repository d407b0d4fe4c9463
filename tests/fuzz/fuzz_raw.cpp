// libFuzzer target: any bytes through the sensor's count of a camera raw file, as the
// command-line tool and the Raw group take it, read by LibRaw from memory.
#include "byte_source.h"
#include "fuzz_decoder.h"
#include "sensor_count.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tonalyx::TMemoryBytes bytes(data, size);
    // What a sensor of FuzzMaxPixels photosites unpacks to: larger declared ones are refused
    // by the memory rule (unit-tested) instead of slowing the fuzzer down.
    const auto hist = tonalyx::CountSensor(
        bytes, {}, [] { return static_cast<std::uint64_t>(tonalyx::fuzz::FuzzMaxPixels * 2); });
    if (hist.Ok() == !hist.Reason().empty())
        __builtin_trap();
    if (!hist.Ok())
        return 0;
    // Every visible photosite counted once: once in its filter colour's channel, or once in
    // each of a linear raw's three.
    const std::uint64_t visible = std::uint64_t(hist->Width) * std::uint64_t(hist->Height);
    if (hist->Photosites() != (hist->Pattern.empty() ? 3 * visible : visible))
        __builtin_trap();
    return 0;
}
