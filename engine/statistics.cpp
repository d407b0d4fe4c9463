#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace tonalyx {

namespace {

constexpr TChannelAxis Axes[ChannelCount] = {
    {"RGB", "", 0, 1, 0},  {"R", "", 0, 1, 0},   {"G", "", 0, 1, 0},  {"B", "", 0, 1, 0},
    {"H", "°", 0, 4, 2},   {"S", "%", 0, 6, 1},  {"V", "%", 0, 6, 1}, {"L*", "", 0, 6, 1},
    {"a*", "", 256, 2, 1}, {"b*", "", 256, 2, 1}};

std::uint64_t Count(const TChanData& ch, int i) {
    return ch.Hist[static_cast<std::size_t>(i)];
}

// Mean direction and circular standard deviation of the hue, in degrees.
void CircularHue(const TChanData& ch, std::uint64_t n, TChannelStats& s) {
    double c = 0, si = 0;
    for (int i = 0; i < HistBinCount; ++i) {
        if (Count(ch, i) == 0)
            continue;
        const double a = BinUnitValue(TChannel::H, i) * std::numbers::pi / 180;
        c += static_cast<double>(Count(ch, i)) * std::cos(a);
        si += static_cast<double>(Count(ch, i)) * std::sin(a);
    }
    const double r = std::min(1.0, std::hypot(c, si) / static_cast<double>(n));
    if (r < 1e-12)
        return; // the directions cancel out: no mean, no finite spread
    double mean = std::atan2(si, c) * 180 / std::numbers::pi;
    if (mean < 0)
        mean += 360;
    s.Mean = mean >= 360 ? 0 : mean;
    s.Sd = std::sqrt(-2 * std::log(r)) * 180 / std::numbers::pi;
}

} // namespace

TChannelAxis ChannelAxis(TChannel c) {
    return Axes[static_cast<int>(c)];
}

double BinUnitValue(TChannel c, int bin) {
    const TChannelAxis& a = Axes[static_cast<int>(c)];
    return (bin - a.Offset) / a.Divisor;
}

std::uint64_t CountedPixels(const TChanData& ch) {
    return CountIn(ch, 0, HistBinCount - 1);
}

std::uint64_t CountIn(const TChanData& ch, int first, int last) {
    std::uint64_t sum = 0;
    for (int i = std::max(first, 0); i <= std::min(last, HistBinCount - 1); ++i)
        sum += Count(ch, i);
    return sum;
}

double ShareAtOrBelow(const TChanData& ch, int bin) {
    const std::uint64_t n = CountedPixels(ch);
    return n == 0 ? 0 : static_cast<double>(CountIn(ch, 0, bin)) / static_cast<double>(n);
}

TChannelStats ChannelStats(TChannel c, const TChanData& ch) {
    TChannelStats s;
    s.Pixels = CountedPixels(ch);
    if (s.Pixels == 0)
        return s;
    const double n = static_cast<double>(s.Pixels);
    s.Low = static_cast<double>(Count(ch, ch.Others.IndLow)) / n;
    s.High = static_cast<double>(Count(ch, ch.Others.IndHigh)) / n;
    if (c == TChannel::H) {
        CircularHue(ch, s.Pixels, s);
        return s;
    }

    // Sums of bins are exact in 64 bits (at most 3 × 2^32 counts of bins below 3001).
    std::uint64_t sum = 0, cumulative = 0;
    int median = -1;
    for (int i = 0; i < HistBinCount; ++i) {
        sum += Count(ch, i) * static_cast<std::uint64_t>(i);
        cumulative += Count(ch, i);
        if (median < 0 && 2 * cumulative >= s.Pixels)
            median = i;
    }
    const double meanBin = static_cast<double>(sum) / n;
    double squares = 0;
    for (int i = 0; i < HistBinCount; ++i)
        if (Count(ch, i) != 0)
            squares += static_cast<double>(Count(ch, i)) * (i - meanBin) * (i - meanBin);
    const TChannelAxis& a = Axes[static_cast<int>(c)];
    s.Mean = (meanBin - a.Offset) / a.Divisor;
    s.Median = BinUnitValue(c, median);
    s.Sd = std::sqrt(squares / n) / a.Divisor;
    return s;
}

} // namespace tonalyx
