// The photosites of a camera's sensor as stored: the visible area's raw values, before black
// subtraction, with the filter's repeating tile, kept beside a raw picture so that the window
// can paint what clipped in the raw data and read the values under the pointer. Plain data:
// no raw library, no toolkit.
#pragma once

#include "large_buffer.h"

#include <array>
#include <cstdint>

namespace tonalyx {

// A photosite's filter colour: 0 R, 1 G, 2 B, 3 the second green of a 2×2 pattern (the green
// in the blue's row), as the sensor histogram names its channels.
enum TSensorColour : std::uint8_t { SensorR = 0, SensorG = 1, SensorB = 2, SensorG2 = 3 };

struct TSensorMosaic {
    int Width = 0, Height = 0; // the visible area, in photosites
    // 1 for a filter mosaic (one value a photosite, coloured by the tile), 3 for a linear raw
    // (R, G, B values a pixel, no tile).
    int Samples = 1;
    int TileRows = 0, TileColumns = 0;                 // 2 × 2 or 6 × 6; 0 for a linear raw
    std::array<std::array<std::uint8_t, 6>, 6> Tile{}; // TSensorColour by place in the tile
    int White = 0;                                     // a value at or above it is clipped
    TLargeBuffer<std::uint16_t> Values;                // Height rows of Width × Samples values

    bool Empty() const { return Values.empty(); }
    const std::uint16_t* Row(int y) const {
        return Values.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) *
                                   static_cast<std::size_t>(Samples);
    }
    // The filter colour of the photosite at column x, row y (a mosaic's).
    TSensorColour ColourAt(int x, int y) const {
        return static_cast<TSensorColour>(Tile[static_cast<std::size_t>(y % TileRows)]
                                              [static_cast<std::size_t>(x % TileColumns)]);
    }
    std::int64_t Bytes() const {
        return static_cast<std::int64_t>(Values.size() * sizeof(std::uint16_t));
    }
};

// The raw values of the tile under a stored pixel, per filter colour. The stored picture
// (the camera's preview or a development, in the sensor's orientation) may be a little
// smaller or larger than the visible area, so the pixel's centre is mapped proportionally;
// the block is the filter tile holding that photosite (aligned to the tile, cut at the
// area's edges), or the one pixel of a linear raw.
struct TSensorBlock {
    struct TColourValues {
        int Count = 0;           // photosites of this colour in the block
        std::uint64_t Sum = 0;   // their values summed
        std::uint16_t Max = 0;   // the largest
        std::uint16_t First = 0; // the first by rows
    };
    std::array<TColourValues, 4> Colours{}; // by TSensorColour
    int X = 0, Y = 0;                       // the photosite under the stored pixel
    bool Linear = false;
};
TSensorBlock SensorBlockAt(const TSensorMosaic& mosaic, int storedX, int storedY, int storedWidth,
                           int storedHeight);

} // namespace tonalyx
