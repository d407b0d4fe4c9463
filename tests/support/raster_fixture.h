// Small in-memory 24-bit rasters for engine tests.
#pragma once

#include "histogram.h"

#include <cstdint>
#include <random>
#include <vector>

namespace tonalyx::test {

struct TTestRaster {
    int Width, Height;
    std::vector<std::uint8_t> Bytes; // blue, green, red

    TTestRaster(int w, int h, std::uint8_t r = 0, std::uint8_t g = 0, std::uint8_t b = 0)
        : Width(w), Height(h), Bytes(static_cast<std::size_t>(w) * h * 3) {
        for (std::size_t i = 0; i < Bytes.size(); i += 3) {
            Bytes[i] = b;
            Bytes[i + 1] = g;
            Bytes[i + 2] = r;
        }
    }
    void Set(int x, int y, int r, int g, int b) {
        std::uint8_t* p = &Bytes[(static_cast<std::size_t>(y) * Width + x) * 3];
        p[0] = static_cast<std::uint8_t>(b);
        p[1] = static_cast<std::uint8_t>(g);
        p[2] = static_cast<std::uint8_t>(r);
    }
    const std::uint8_t* At(int x, int y) const {
        return &Bytes[(static_cast<std::size_t>(y) * Width + x) * 3];
    }
    TRasterView View() const { return {Width, Height, Bytes.data(), std::ptrdiff_t{Width} * 3}; }

    // Red across, green down, blue along the diagonal: every level of a 160-wide picture's
    // red and a smooth spread of the others, for pictures whose histograms are all drawn.
    static TTestRaster Gradient(int w = 160, int h = 120) {
        TTestRaster r(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                r.Set(x, y, x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2));
        return r;
    }

    static TTestRaster Noise(int w, int h, unsigned seed) {
        TTestRaster t(w, h);
        std::mt19937 rng(seed);
        for (auto& b : t.Bytes)
            b = static_cast<std::uint8_t>(rng());
        return t;
    }
};

} // namespace tonalyx::test
