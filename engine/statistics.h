// Figures behind a histogram: the value of a bin in its channel's units, the share of the
// counted pixels at or below a bin, and per channel the pixel count, mean, median, standard
// deviation and the shares in the two end bins of the axis (the clipping).
// All of them come from the raw counts, in double precision.
#pragma once

#include "histogram.h"

#include <cstdint>
#include <optional>

namespace tonalyx {

// A channel's axis: value = (bin − Offset) / Divisor in the units shown to the user.
struct TChannelAxis {
    const char* Label; // "R", "H", "L*", "a*", …
    const char* Unit;  // "" for levels and L*, "°" for hue, "%" for saturation and value
    double Offset;     // the bin of value 0
    double Divisor;    // bins per unit
    int Decimals;      // enough to tell neighbouring bins apart
};
TChannelAxis ChannelAxis(TChannel c);
double BinUnitValue(TChannel c, int bin);

// Every counted pixel of the channel, over all of its bins (the hue counts bins past the
// shown range, 359.25° and up, too). The RGB channel counts every pixel three times.
std::uint64_t CountedPixels(const TChanData& ch);
// The counts of the bins first..last summed.
std::uint64_t CountIn(const TChanData& ch, int first, int last);
// The share (0..1) of the counted pixels in bins at or below bin; 0 for an empty channel.
double ShareAtOrBelow(const TChanData& ch, int bin);

struct TChannelStats {
    std::uint64_t Pixels = 0;
    // In the channel's units; all empty for a channel without pixels.
    std::optional<double> Mean, Median, Sd;
    // Shares (0..1) of the counted pixels in the first and the last bin of the used range.
    std::optional<double> Low, High;
};

// Mean and population standard deviation (divided by N). The median is the smallest value
// at which the cumulative share reaches one half. The hue is an angle: its mean is the
// mean direction in 0..360°, its standard deviation the circular one, sqrt(−2 ln R̄), in
// degrees, and it has no median; the mean is left empty when the directions cancel out.
TChannelStats ChannelStats(TChannel c, const TChanData& ch);

} // namespace tonalyx
