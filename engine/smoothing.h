// Smoothing and the smart vertical scale that make the display copy of the counts.
#pragma once

#include "histogram.h"

#include <cstdint>
#include <optional>

namespace tonalyx {

// Number of smoothing passes of a channel at a smoothing level's RepCnt.
int SmoothPasses(const TOthers& o, std::uint8_t repeatCnt);

// Sum of the 11 bins c-5..c+5, as a signed 32-bit value, divided by 11 and rounded.
std::int32_t WindowMean(const THistValues& h, int c);
// One pass of the 3-bin box filter with extrapolated pads.
void SmoothBox(TChanData& ch);
// One pass of the weighted 3-bin filter of the hue channel; the ends are not joined.
void SmoothHue(TChanData& ch, double centreWeight = 1.3);

struct TPeakThreshold {
    std::uint32_t T = 0;
    int Cnt = 0;
    int First = 0;
    int Last = 0;
};
// Looks for a count threshold that exactly ten bins of the used range reach.
TPeakThreshold FindPeakThreshold(const TChanData& ch);
// The level LimitPeaks cuts the bins First..Last of a threshold search down to,
// or nothing when the peaks call for no cut. May exceed the 32-bit count range.
std::optional<std::uint64_t> PeakClipLevel(const TChanData& ch, const TPeakThreshold& pt);
// Cuts isolated tall peaks down towards the other high bins.
void LimitPeaks(TChanData& ch);

} // namespace tonalyx
