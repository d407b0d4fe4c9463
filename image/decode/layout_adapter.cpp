#include "layout_adapter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace tonalyx {

namespace {

// Where a layout's samples lie in a pixel: their number, and the index of each; Alpha is
// negative when there is none.
struct TSampleOrder {
    int Samples, Red, Green, Blue, Alpha;
};

TSampleOrder OrderOf(TSamples samples) {
    switch (samples) {
    case TSamples::Bgr:
        return {3, 2, 1, 0, -1};
    case TSamples::Rgb:
        return {3, 0, 1, 2, -1};
    case TSamples::Grey:
        return {1, 0, 0, 0, -1};
    case TSamples::GreyAlpha:
        return {2, 0, 0, 0, 1};
    case TSamples::Rgba:
        return {4, 0, 1, 2, 3};
    }
    return {0, 0, 0, 0, -1};
}

// One row: the colour of every pixel, then, when coverage is asked for, a bit a pixel that is
// set when its alpha is not 0 (the bits past the last pixel stay clear), and when alpha is
// asked for, each pixel's alpha in 8 bits.
template <typename TSample>
void ReduceRow(const TSample* in, int width, const TSampleOrder& order, const std::uint8_t* to8,
               std::uint8_t* bgr, std::uint8_t* coverage, std::uint8_t* alpha) {
    const TSample* px = in;
    for (int x = 0; x < width; ++x, px += order.Samples, bgr += 3) {
        bgr[0] = to8[px[order.Blue]];
        bgr[1] = to8[px[order.Green]];
        bgr[2] = to8[px[order.Red]];
    }
    if (order.Alpha < 0)
        return;
    if (alpha) {
        px = in + order.Alpha;
        for (int x = 0; x < width; ++x, px += order.Samples)
            alpha[x] = to8[*px];
    }
    if (!coverage)
        return;
    unsigned bits = 0;
    px = in + order.Alpha;
    for (int x = 0; x < width; ++x, px += order.Samples) {
        bits |= static_cast<unsigned>(*px != 0) << (x & 7);
        if ((x & 7) == 7) {
            coverage[x >> 3] = static_cast<std::uint8_t>(bits);
            bits = 0;
        }
    }
    if (width & 7)
        coverage[width >> 3] = static_cast<std::uint8_t>(bits);
}

} // namespace

std::uint8_t SampleTo8(std::uint32_t v, int depth) {
    const std::uint32_t largest = (std::uint32_t{1} << depth) - 1;
    if (v >= largest)
        return 255;
    // floor(v × 255 / largest + 1/2), over the common denominator 2 × largest.
    return static_cast<std::uint8_t>((v * 510 + largest) / (2 * largest));
}

bool TLayoutAdapter::Start(int width, int height, TPixelLayout layout) {
    FLayout = layout;
    FWidth = width;
    FPassThrough = layout == TPixelLayout{};
    if (FPassThrough) {
        if (FDecoderBytes > 0)
            FTarget.DecoderHolds(FDecoderBytes);
        return FTarget.Start(width, height);
    }
    const TSampleOrder order = OrderOf(layout.Samples);
    if (order.Samples == 0 || layout.Depth < 1 || layout.Depth > 16 || width <= 0 || height <= 0)
        return false;
    const std::int64_t sampleBytes = layout.Depth > 8 ? 2 : 1;
    const std::int64_t rowWords = (std::int64_t{width} * order.Samples * sampleBytes + 1) / 2;
    const std::int64_t bandWords = rowWords * std::min(StreamBandRows, height);
    const std::size_t values = layout.Depth > 8 ? 65536 : 256;
    FTarget.DecoderHolds(FDecoderBytes + bandWords * 2 + static_cast<std::int64_t>(values));
    if (!(order.Alpha >= 0 ? FTarget.StartCovered(width, height) : FTarget.Start(width, height)))
        return false;
    // Only once the target has admitted the picture: its refusal gives the better reason.
    try {
        FBand.resize(static_cast<std::size_t>(bandWords));
        FTo8.resize(values);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    for (std::size_t v = 0; v < values; ++v)
        FTo8[v] = SampleTo8(static_cast<std::uint32_t>(v), layout.Depth);
    FStride = static_cast<std::ptrdiff_t>(rowWords * 2);
    return true;
}

bool TLayoutAdapter::WriteHeld(const std::uint8_t* pixels, std::ptrdiff_t stride,
                               std::size_t rowBytes, int height) {
    for (int first = 0; first < height; first += StreamBandRows) {
        if (Cancelled())
            return false;
        const int count = std::min(StreamBandRows, height - first);
        const TRowBand band = Rows(first, count);
        for (int i = 0; i < count; ++i)
            std::memcpy(band.Bits + i * band.Stride, pixels + (first + i) * stride, rowBytes);
        Written(first, count);
    }
    return true;
}

TRowBand TLayoutAdapter::Lend(int firstRow, int count) {
    FDown = FTarget.Rows(firstRow, count);
    return {reinterpret_cast<std::uint8_t*>(FBand.data()), FStride};
}

void TLayoutAdapter::Reduce(int count) const {
    const TSampleOrder order = OrderOf(FLayout.Samples);
    const auto* band = reinterpret_cast<const std::uint8_t*>(FBand.data());
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* in = band + i * FStride;
        std::uint8_t* bgr = FDown.Bits + i * FDown.Stride;
        std::uint8_t* coverage =
            FDown.Coverage ? FDown.Coverage + i * FDown.CoverageStride : nullptr;
        std::uint8_t* alpha = FDown.Alpha ? FDown.Alpha + i * FDown.AlphaStride : nullptr;
        if (FLayout.Depth > 8)
            ReduceRow(reinterpret_cast<const std::uint16_t*>(in), FWidth, order, FTo8.data(), bgr,
                      coverage, alpha);
        else
            ReduceRow(in, FWidth, order, FTo8.data(), bgr, coverage, alpha);
    }
}

} // namespace tonalyx
