// Smoothing and the smart vertical scale: how the display copy of the counts is made.
#include "smoothing.h"

#include "rounding.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <vector>

namespace tonalyx {

namespace {

// The used range of a channel, or false when its parameters name no bins of the array.
bool UsedRange(const TOthers& o, int& lo, int& hi) {
    lo = o.IndLow;
    hi = o.IndHigh;
    return lo >= 0 && hi < HistBinCount && lo <= hi;
}

// A count as the signed 32-bit value the box filter adds up (wrapping like the sums).
std::int32_t AsSigned(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}

std::int32_t SignedSum(std::initializer_list<std::int32_t> values) {
    std::uint32_t sum = 0; // two's complement wrap-around, as a 32-bit accumulator behaves
    for (std::int32_t v : values)
        sum += static_cast<std::uint32_t>(v);
    return static_cast<std::int32_t>(sum);
}

} // namespace

int SmoothPasses(const TOthers& o, std::uint8_t repeatCnt) {
    return std::max(static_cast<int>(repeatCnt) * o.SmoothCntFactor, o.SmoothCntMin);
}

std::int32_t WindowMean(const THistValues& h, int c) {
    // Bins outside the array (only reachable for very short used ranges) count as empty.
    std::uint32_t sum = 0;
    for (int i = c - 5; i <= c + 5; ++i)
        if (i >= 0 && i < HistBinCount)
            sum += h[static_cast<std::size_t>(i)];
    const Extended mean = static_cast<Extended>(static_cast<std::int32_t>(sum)) / 11;
    return static_cast<std::int32_t>(RoundHalfEven(mean));
}

void SmoothBox(TChanData& ch) {
    int lo, hi;
    if (!UsedRange(ch.Others, lo, hi))
        return;
    const THistValues& h = ch.Hist;

    // E[0] is the lower pad, E[1..n] the bins lo..hi, E[n + 1] the upper pad.
    const int n = hi - lo + 1;
    std::vector<std::int32_t> e(static_cast<std::size_t>(n + 2));
    // The lower pad extrapolates through the window centres lo + 11 and lo + 5 to lo - 1;
    // the upper one takes the same 2a - b form from the centres hi - 9 and hi - 5.
    e.front() = 2 * WindowMean(h, lo + 5) - WindowMean(h, lo + 11);
    e.back() = 2 * WindowMean(h, hi - 5) - WindowMean(h, hi - 9);
    for (int i = 0; i < n; ++i)
        e[static_cast<std::size_t>(i + 1)] = AsSigned(h[static_cast<std::size_t>(lo + i)]);

    for (int i = 1; i <= n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const std::int32_t sum = SignedSum({e[k - 1], e[k], e[k + 1]});
        const Extended m = static_cast<Extended>(sum) / 3;
        ch.Hist[static_cast<std::size_t>(lo + i - 1)] =
            m >= 0 ? static_cast<std::uint32_t>(RoundHalfEven(m)) : 0u;
    }
}

void SmoothHue(TChanData& ch, double centreWeight) {
    int lo, hi;
    if (!UsedRange(ch.Others, lo, hi))
        return;
    // The weights are held in double precision; the sums are formed in extended precision.
    const double wd = centreWeight;
    const double sd = (3.0 - wd) / 2.0;
    const Extended w = wd, s = sd;

    const THistValues c = ch.Hist;
    auto C = [&c](int i) { // a neighbour beyond the array counts as empty
        return i >= 0 && i < HistBinCount ? static_cast<Extended>(c[static_cast<std::size_t>(i)])
                                          : 0;
    };
    for (int i = lo; i <= hi; ++i) {
        Extended v;
        if (i == lo) // the ends are not joined across the hue circle
            v = (w * C(lo) + s * C(lo + 1)) / 2;
        else if (i == hi)
            v = (w * C(hi) + s * C(hi - 1)) / 2;
        else
            v = (s * C(i - 1) + w * C(i) + s * C(i + 1)) / 3;
        ch.Hist[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(RoundHalfEven(v));
    }
}

TPeakThreshold FindPeakThreshold(const TChanData& ch) {
    constexpr int K = 10; // the number of peaks looked for
    TPeakThreshold r;
    int lo, hi;
    if (!UsedRange(ch.Others, lo, hi))
        return r;
    const THistValues& h = ch.Hist;

    std::uint32_t low = 0;
    std::uint32_t high = *std::max_element(h.begin() + lo, h.begin() + hi + 1);
    int left = lo, right = hi;
    // low never exceeds high, so high - low does not wrap.
    do {
        const Extended half = static_cast<Extended>(high - low) / 2;
        r.T = static_cast<std::uint32_t>(RoundHalfEven(half)) + low;
        r.Cnt = 0;
        r.First = left;
        r.Last = right;
        for (int i = left; i <= right; ++i) {
            if (h[static_cast<std::size_t>(i)] < r.T)
                continue;
            if (r.Cnt == 0)
                r.First = i;
            r.Last = i;
            ++r.Cnt;
        }
        if (r.Cnt == K)
            break;
        if (r.Cnt > K) {
            low = r.T;
            left = r.First;
            right = r.Last;
        } else {
            high = r.T;
        }
    } while (high - low >= 2);
    return r;
}

std::optional<std::uint64_t> PeakClipLevel(const TChanData& ch, const TPeakThreshold& pt) {
    constexpr int K = 10;
    if (pt.Cnt <= 4)
        return std::nullopt;

    // The first K counts of First..Last that reach the threshold, in bin order.
    std::int64_t peaks[K];
    int k = 0;
    const int first = std::max(pt.First, 0), last = std::min(pt.Last, HistBinCount - 1);
    for (int i = first; i <= last && k < K; ++i) {
        const std::uint32_t v = ch.Hist[static_cast<std::size_t>(i)];
        if (v >= pt.T)
            peaks[k++] = v;
    }
    if (k <= 4)
        return std::nullopt; // cannot happen for a result of FindPeakThreshold

    const std::int64_t pmin = *std::min_element(peaks, peaks + k);
    // P1..P4: the four largest distinct values, 0 where there is none.
    std::int64_t p[4] = {0, 0, 0, 0};
    std::int64_t above = std::numeric_limits<std::int64_t>::max();
    for (std::int64_t& level : p) {
        for (int j = 0; j < k; ++j)
            if (peaks[j] < above)
                level = std::max(level, peaks[j]);
        above = level;
        if (level == 0)
            break;
    }
    const std::int64_t p1 = p[0], p2 = p[1], p3 = p[2], p4 = p[3];
    if (p4 < pmin)
        return std::nullopt; // fewer than four distinct peak values

    // The typical step between the lower peaks, in double precision.
    const double sigma = static_cast<double>(p4 - pmin) / (k - 4);
    const std::int64_t d = RoundHalfEven(2.0 * sigma);

    std::int64_t c = p4 + d;
    if (c >= p1)
        c = p1; // a c below P3 is not raised
    if (p3 <= c && c <= p2) {
        c = p3 + d;
        if (c >= p1)
            c = p1;
        else if (c < p2)
            c = p3;
    }
    if (p2 < c && c < p1) {
        c = p2 + d;
        c = c >= p1 ? p1 : p2;
    }
    // Five per cent above the cut level, in extended precision: 1.05 is not exact in binary,
    // and c = 30 gives 31 here where a double product would give 32.
    return static_cast<std::uint64_t>(RoundHalfEven(static_cast<Extended>(c) * 1.05L));
}

void LimitPeaks(TChanData& ch) {
    const TPeakThreshold pt = FindPeakThreshold(ch);
    const std::optional<std::uint64_t> clip = PeakClipLevel(ch, pt);
    if (!clip)
        return;
    // A count is never cut below 1. The cut level comes out 0 only when the largest count is
    // at most 1: the threshold search then ends at 0, every bin counts as a peak, the peaks are
    // just the first ten bins of the range, and a clip of 0 would empty the whole histogram of
    // a tiny image. With the floor such a channel is left as it is.
    const std::uint64_t level = std::max<std::uint64_t>(*clip, 1);
    for (int i = pt.First; i <= pt.Last; ++i) { // within the used range
        std::uint32_t& v = ch.Hist[static_cast<std::size_t>(i)];
        if (v > level)
            v = static_cast<std::uint32_t>(level);
    }
}

void THist::Calc4Show(TImageType itypeO, TImageType itype4S) {
    if (!Calculated)
        return;
    Data[itype4S] = Data[itypeO];
    TAllChanel& s = Data[itype4S];

    auto box = [this](TChanData& ch) {
        for (int n = SmoothPasses(ch.Others, SmoothRepeatCnt); n > 0; --n)
            SmoothBox(ch);
    };
    box(s.R);
    box(s.G);
    box(s.B);
    for (int n = SmoothPasses(s.H.Others, SmoothRepeatCnt); n > 0; --n)
        SmoothHue(s.H, 1.3);
    box(s.S);
    box(s.V);
    box(s.L);
    box(s.A);
    box(s.B_);

    for (TChanData* ch : {&s.R, &s.G, &s.B, &s.H, &s.S, &s.V, &s.L, &s.A, &s.B_})
        LimitPeaks(*ch);

    for (std::size_t i = 0; i <= 255; ++i)
        s.RGB.Hist[i] = s.R.Hist[i] + s.G.Hist[i] + s.B.Hist[i];
}

} // namespace tonalyx
