#include "sensor_mosaic.h"

#include <algorithm>

namespace tonalyx {

namespace {

// The photosite whose span holds the centre of stored pixel `at` of `stored`, of `sensor`.
int Proportional(int at, int stored, int sensor) {
    const std::int64_t p = (2 * static_cast<std::int64_t>(at) + 1) * sensor / (2 * stored);
    return static_cast<int>(std::clamp<std::int64_t>(p, 0, sensor - 1));
}

} // namespace

TSensorBlock SensorBlockAt(const TSensorMosaic& mosaic, int storedX, int storedY, int storedWidth,
                           int storedHeight) {
    TSensorBlock block;
    if (mosaic.Empty() || storedWidth <= 0 || storedHeight <= 0)
        return block;
    block.X = Proportional(storedX, storedWidth, mosaic.Width);
    block.Y = Proportional(storedY, storedHeight, mosaic.Height);
    const auto add = [&block](int colour, std::uint16_t v) {
        TSensorBlock::TColourValues& c = block.Colours[static_cast<std::size_t>(colour)];
        if (c.Count++ == 0)
            c.First = v;
        c.Sum += v;
        c.Max = std::max(c.Max, v);
    };
    if (mosaic.Samples != 1 || mosaic.TileRows <= 0 || mosaic.TileColumns <= 0) {
        block.Linear = true;
        const std::uint16_t* p = mosaic.Row(block.Y) + block.X * mosaic.Samples;
        for (int k = 0; k < std::min(mosaic.Samples, 3); ++k)
            add(k, p[k]);
        return block;
    }
    const int top = block.Y - block.Y % mosaic.TileRows;
    const int left = block.X - block.X % mosaic.TileColumns;
    const int bottom = std::min(top + mosaic.TileRows, mosaic.Height);
    const int right = std::min(left + mosaic.TileColumns, mosaic.Width);
    for (int y = top; y < bottom; ++y) {
        const std::uint16_t* row = mosaic.Row(y);
        for (int x = left; x < right; ++x)
            add(mosaic.ColourAt(x, y), row[x]);
    }
    return block;
}

} // namespace tonalyx
