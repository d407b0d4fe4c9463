// Between a decoder and its target: rows written in the file's own layout handed on as the
// 24-bit blue, green, red rows the engine counts, with the pixels alpha leaves out marked.
// The one place that says how wider samples become 8 bits and what alpha does.
#pragma once

#include "decoder.h"

#include <cstdint>
#include <vector>

namespace tonalyx {

// A sample of depth bits (1 to 16) as 8 bits: round(v × 255 / (2^depth − 1)), halves up, in
// integers (no value lands on a half: the divisor is odd and the dividend even). A value
// above the depth's largest counts as the largest.
std::uint8_t SampleTo8(std::uint32_t v, int depth);

// What a decoder writes its rows through (on the decoding thread). For 8-bit BGR the target's
// own bands are lent and nothing is copied. Any other layout is written into a band of the
// adapter's and, once written, reduced into the target's: each sample by SampleTo8, grey to
// equal blue, green and red. A pixel whose alpha is 0 as stored is not counted (its colour is
// still written); any other alpha leaves the counts alone. For a layout with alpha the target
// is started with StartCovered and its bands' coverage filled in, and their alpha, by the
// same rule as the colour, where the target keeps it for showing the picture. Uncounted pixels are
// marked in the rows rather than subtracted from counts made without them: the coarse sample levels
// are counted while the rows arrive, the finer ones and any region's counts later from the rows
// held, so which pixels are out must stay with the pixels.
class TLayoutAdapter final {
  public:
    explicit TLayoutAdapter(TRowTarget& target) : FTarget(target) {}
    TLayoutAdapter(const TLayoutAdapter&) = delete;
    TLayoutAdapter& operator=(const TLayoutAdapter&) = delete;

    // What the decoder holds beside the rows (TRowTarget::DecoderHolds), told before Start;
    // the target hears it with the adapter's own band added.
    void DecoderHolds(std::int64_t bytes) { FDecoderBytes = bytes; }
    // The picture's size and the layout of the rows the decoder will write, once, before any
    // row; false when the target refuses the picture, the layout is not one the adapter
    // knows, or its band cannot be had.
    bool Start(int width, int height, TPixelLayout layout);
    // Room for rows [firstRow, firstRow + count) in the layout Start was given, as
    // TRowTarget::Rows; the decoder's until it calls Written.
    TRowBand Rows(int firstRow, int count) {
        return FPassThrough ? FTarget.Rows(firstRow, count) : Lend(firstRow, count);
    }
    void Written(int firstRow, int count) {
        if (!FPassThrough)
            Reduce(count);
        FTarget.Written(firstRow, count);
    }
    bool Cancelled() const { return FTarget.Cancelled(); }
    // A picture the decoder holds whole, its rows rowBytes long and stride apart, written out
    // band by band (after Start); false when cancelled between bands.
    bool WriteHeld(const std::uint8_t* pixels, std::ptrdiff_t stride, std::size_t rowBytes,
                   int height);

  private:
    TRowBand Lend(int firstRow, int count);
    void Reduce(int count) const;

    TRowTarget& FTarget;
    std::int64_t FDecoderBytes = 0;
    bool FPassThrough = true;
    TPixelLayout FLayout;
    int FWidth = 0;
    std::ptrdiff_t FStride = 0;       // of the band lent
    std::vector<std::uint16_t> FBand; // the band lent: 16-bit words, so wide samples align
    std::vector<std::uint8_t> FTo8;   // SampleTo8 of every value a stored sample can have
    TRowBand FDown;                   // the target's band for the rows lent
};

} // namespace tonalyx
