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

    static TTestRaster Noise(int w, int h, unsigned seed) {
        TTestRaster t(w, h);
        std::mt19937 rng(seed);
        for (auto& b : t.Bytes)
            b = static_cast<std::uint8_t>(rng());
        return t;
    }
};

} // namespace tonalyx::test
