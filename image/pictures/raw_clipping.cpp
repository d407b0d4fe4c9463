#include "raw_clipping.h"

#include "clipping_mask.h"
#include "reduced_copy.h"

#include <algorithm>
#include <array>

namespace tonalyx {

namespace {

// The photosites [First, End) that reduced index i of `reduced` stands for, of `sensor`,
struct TSpan {
    int First, End;
};
// widened to whole blocks of `unit` photosites from the sensor's edge.
std::vector<TSpan> Spans(int sensor, int reduced, int unit) {
    std::vector<TSpan> spans(static_cast<std::size_t>(reduced));
    const auto edge = [&](int i) { // the first photosite mapped to reduced index i or later
        return static_cast<int>((static_cast<std::int64_t>(i) * sensor + reduced - 1) / reduced);
    };
    for (int i = 0; i < reduced; ++i) {
        TSpan& s = spans[static_cast<std::size_t>(i)];
        s = {edge(i), edge(i + 1)};
        if (s.End <= s.First) { // enlarged: the photosite under the pixel's edge
            s.First = static_cast<int>(static_cast<std::int64_t>(i) * sensor / reduced);
            s.End = s.First + 1;
        }
        s.First -= s.First % unit;
        s.End = std::min((s.End + unit - 1) / unit * unit, sensor);
    }
    return spans;
}

constexpr std::array<std::uint8_t, 4> BitOfColour = {RawClipRed, RawClipGreen, RawClipBlue,
                                                     RawClipGreen};

} // namespace

std::vector<std::uint8_t> RawClipBlocks(const TSensorMosaic& mosaic, QSize reduced,
                                        std::stop_token stop) {
    const int rw = reduced.width(), rh = reduced.height();
    if (mosaic.Empty() || mosaic.Width <= 0 || mosaic.Height <= 0 || rw <= 0 || rh <= 0)
        return {};
    const bool linear = mosaic.Samples != 1 || mosaic.TileColumns <= 0;
    // A pixel of the picture is made from the photosites of every colour around it, and one
    // photosite alone would paint the filter's pattern where the copy is near full size: a
    // mosaic is gathered by whole blocks holding every colour, the 2×2 tile or a 3×3 third
    // of a 6×6 one.
    const int unitColumns = linear ? 1 : mosaic.TileColumns == 6 ? 3 : mosaic.TileColumns;
    const int unitRows = linear ? 1 : mosaic.TileRows == 6 ? 3 : mosaic.TileRows;
    const std::vector<TSpan> columns = Spans(mosaic.Width, rw, unitColumns),
                             rows = Spans(mosaic.Height, rh, unitRows);
    const std::uint16_t white = static_cast<std::uint16_t>(std::min(mosaic.White, 65535));
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rw) * static_cast<std::size_t>(rh), 0);
    std::array<std::uint8_t, 6> rowBits{}; // the clip bit of each place of the tile's row
    for (int ry = 0; ry < rh; ++ry) {
        if (stop.stop_requested())
            return {};
        std::uint8_t* out =
            bits.data() + static_cast<std::size_t>(ry) * static_cast<std::size_t>(rw);
        const TSpan rowSpan = rows[static_cast<std::size_t>(ry)];
        for (int y = rowSpan.First; y < rowSpan.End; ++y) {
            const std::uint16_t* row = mosaic.Row(y);
            if (!linear)
                for (int k = 0; k < mosaic.TileColumns; ++k)
                    rowBits[static_cast<std::size_t>(k)] = BitOfColour[mosaic.ColourAt(k, y)];
            for (int rx = 0; rx < rw; ++rx) {
                const TSpan span = columns[static_cast<std::size_t>(rx)];
                std::uint8_t clip = 0;
                if (linear) {
                    for (const std::uint16_t* p = row + span.First * 3; p < row + span.End * 3;
                         p += 3)
                        clip |= static_cast<std::uint8_t>((p[0] >= white ? RawClipRed : 0) |
                                                          (p[1] >= white ? RawClipGreen : 0) |
                                                          (p[2] >= white ? RawClipBlue : 0));
                } else {
                    for (int x = span.First; x < span.End; ++x)
                        if (row[x] >= white)
                            clip |= rowBits[static_cast<std::size_t>(x % mosaic.TileColumns)];
                }
                out[rx] |= clip;
            }
        }
    }
    return bits;
}

QRgb RawClipColour(std::uint8_t bits) {
    if ((bits & (RawClipRed | RawClipGreen | RawClipBlue)) == 0)
        return qRgba(0, 0, 0, 0);
    return qRgb(bits & RawClipRed ? 255 : 0, bits & RawClipGreen ? 255 : 0,
                bits & RawClipBlue ? 255 : 0);
}

QImage RawClippingOverlay(const TSensorMosaic& mosaic, QSize stored, int previewSide,
                          const TDisplayForm& form, std::stop_token stop) {
    // Only highlights: a photosite at black is the sensor's noise floor, not a shadow lost
    // the way a stored pixel of 0 is, and painting it would cover every dark area.
    const QSize reduced = ReducedCopySize(stored, previewSide);
    return OverlayOfClipBits(RawClipBlocks(mosaic, reduced, stop), reduced, RawClipColour, form);
}

} // namespace tonalyx
