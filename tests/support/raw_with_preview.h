// A camera raw file as cameras write them: a 64 × 48 Bayer sensor and a 40 × 30 JPEG preview,
// large enough to be the picture shown (at least half the sensor's width), unlike the
// development LibRaw makes of the sensor's values.
#pragma once

#include "dng_maker.h"
#include "jpeg_encoder.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tonalyx::test {

// seed varies both the sensor's values and the preview's colours between files.
inline bool WriteRawWithPreview(const std::filesystem::path& path, int seed = 0) {
    constexpr int Width = 40, Height = 30;
    std::vector<std::uint8_t> samples;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            for (int c = 0; c < 3; ++c)
                samples.push_back(std::uint8_t((x * 6 + y * (c + 2) + seed * 31) % 256));
    TJpegEncoding encoding;
    encoding.Quality = 90;
    TDngLayout layout;
    layout.PreviewJpeg = EncodeWithLibjpeg(Width, Height, samples, encoding);
    layout.PreviewWidth = Width;
    layout.PreviewHeight = Height;
    layout.Value = [seed](int x, int y, int) {
        return std::uint16_t(150 + 45 * x + 11 * y + 97 * seed);
    };
    return WriteDng(path, layout);
}

} // namespace tonalyx::test
