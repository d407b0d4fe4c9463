// Drawing the channels as bar charts into the ten histogram targets.
#include "render.h"

#include "colour.h"
#include "rounding.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tonalyx {

namespace {

constexpr TRgb Grey{128, 128, 128};

std::uint32_t Bin(const TChanData& ch, int i) {
    return i >= 0 && i < HistBinCount ? ch.Hist[static_cast<std::size_t>(i)] : 0u;
}

} // namespace

TRgb BarColour(TChannel c) {
    switch (c) {
    case TChannel::R:
        return {217, 118, 118};
    case TChannel::G:
        return {118, 217, 118};
    case TChannel::B:
        return {118, 118, 217};
    default:
        return Grey; // the sum, the hue and the other channels are drawn in grey
    }
}

std::uint32_t ChannelMax(const TChanData& ch) {
    std::uint32_t m = 1;
    for (int i = ch.Others.IndLow; i <= ch.Others.IndHigh; ++i)
        m = std::max(m, Bin(ch, i));
    return m;
}

Extended BinValueAt(const TChanData& ch, int x, int wc) {
    const int lo = ch.Others.IndLow, hi = ch.Others.IndHigh;
    // The first and last columns show the end bins exactly; with Wc = 2 the only column
    // is the last one.
    if (x == wc - 2)
        return Bin(ch, hi);
    if (x == 0)
        return Bin(ch, lo);
    const int n = hi - lo;
    if (n <= 0)
        return Bin(ch, lo);
    const Extended t = ColumnPosition(x, wc, n);
    const int i = static_cast<int>(t);
    return Bin(ch, lo + i) * (i + 1 - t) + (t - i) * Bin(ch, lo + i + 1);
}

Extended ColumnPosition(int x, int wc, int n) {
    if (x == wc - 2)
        return n;
    if (x == 0 || n <= 0)
        return 0;
    const Extended xscale = static_cast<Extended>(wc - 2) / n; // columns per bin
    return x / xscale;
}

TBinRange ColumnBins(const TOthers& range, int x, int wc) {
    const int lo = range.IndLow, hi = range.IndHigh, n = hi - lo;
    if (x < 0 || x > wc - 2)
        return {};
    // Halfway between this column's position and its neighbours' on the bin axis; the
    // first and last columns reach to the ends of the axis.
    const Extended t = ColumnPosition(x, wc, n);
    const Extended from = x == 0 ? 0 : (ColumnPosition(x - 1, wc, n) + t) / 2;
    const Extended to = x == wc - 2 ? n + 1 : (t + ColumnPosition(x + 1, wc, n)) / 2;
    int first = static_cast<int>(std::ceil(from));
    int last = static_cast<int>(std::ceil(to)) - 1;
    if (first > last) // no bin between the halfway points: the nearest one
        first = last = std::clamp(static_cast<int>(RoundHalfEven(t)), 0, n);
    return {lo + first, lo + std::min(last, n)};
}

int BinColumn(const TOthers& range, int bin, int wc) {
    if (wc < 2)
        return -1;
    const int lo = range.IndLow, hi = range.IndHigh, n = hi - lo, last = wc - 2;
    const int b = std::clamp(bin, lo, hi) - lo;
    if (n <= 0)
        return 0;
    // Column x stands for the bins around x / xscale: start at the nearest column and step
    // to whichever neighbour's halfway points hold the bin.
    const Extended xscale = static_cast<Extended>(last) / n;
    int x = std::clamp(static_cast<int>(std::floor(b * xscale + 0.5L)), 0, last);
    for (int tries = 0; tries < 3; ++tries) {
        const TBinRange r = ColumnBins(range, x, wc);
        if (r.Empty() || (lo + b >= r.First && lo + b <= r.Last))
            return x;
        x = std::clamp(lo + b < r.First ? x - 1 : x + 1, 0, last);
    }
    return x;
}

TPixelBins PixelBins(TChannel c, int r, int g, int b) {
    switch (c) {
    case TChannel::RGB:
        return {{r, g, b}, 3};
    case TChannel::R:
        return {{r}, 1};
    case TChannel::G:
        return {{g}, 1};
    case TChannel::B:
        return {{b}, 1};
    case TChannel::H:
        return {{HSVBins(r, g, b).a}, 1};
    case TChannel::S:
        return {{HSVBins(r, g, b).b}, 1};
    case TChannel::V:
        return {{HSVBins(r, g, b).c}, 1};
    case TChannel::L:
        return {{LabBins(r, g, b).a}, 1};
    case TChannel::A:
        return {{LabBins(r, g, b).b}, 1};
    case TChannel::B_:
        break;
    }
    return {{LabBins(r, g, b).c}, 1};
}

void DrawBar(THistTarget& t, int x, int h) {
    // The end point is not painted: the bar covers rows Hc - 2 up to Hc - 1 - h.
    const int bottom = t.ControlHeight() - 2;
    t.VerticalLine(x, bottom, bottom - h);
}

int BarHeight(Extended v, std::uint32_t maxVal, int hc, TCountScale scale) {
    const std::uint32_t top = std::max<std::uint32_t>(maxVal, 1);
    if (scale == TCountScale::Log)
        return static_cast<int>(
            RoundHalfEven((hc - 2) * std::log1p(v) / std::log1p(static_cast<Extended>(top))));
    // The linear scale keeps the arithmetic of its first design, v × ((Hc − 2) / maxVal),
    // so that its pictures stay the same to the last pixel.
    const Extended yscale = static_cast<Extended>(hc - 2) / top;
    return static_cast<int>(RoundHalfEven(v * yscale));
}

void DrawChannel(THistTarget& t, const TChanData& ch, TRgb colour, TCountScale scale) {
    const int wc = t.ControlWidth();
    if (wc - 2 < 0)
        return;
    // Show sets MaxVal before drawing; a channel drawn on its own without it is scaled to its
    // maximum.
    const std::uint32_t maxVal = ch.Others.MaxVal != 0 ? ch.Others.MaxVal : ChannelMax(ch);
    t.SetPen(colour);
    for (int x = 0; x <= wc - 2; ++x) {
        const Extended v = BinValueAt(ch, x, wc);
        if (v > 0)
            DrawBar(t, x, BarHeight(v, maxVal, t.ControlHeight(), scale));
    }
}

void THist::Show(TImageType itype, THistSurfaces& surfaces) {
    // Every target is cleared, whether or not its tab is visible and whether or not
    // anything has been counted yet.
    for (TChannel c : AllChannels)
        surfaces.Target(c).Clear();
    if (!Calculated)
        return;

    TAllChanel& set = Data[itype];
    for (TChannel c : AllChannels)
        set[c].Others.MaxVal = ChannelMax(set[c]);

    // The channels are stored tab by tab, so this draws the visible tabs in turn.
    for (TChannel c : AllChannels)
        if (surfaces.GroupVisible(ModelOf(c)))
            DrawChannel(surfaces.Target(c), set[c], BarColour(c), surfaces.CountScale());
}

TRasterTarget::TRasterTarget(int controlWidth, int controlHeight, TRgb background)
    : Wc(controlWidth), Hc(controlHeight), Background(background), Pen(background),
      Pixels(static_cast<std::size_t>(Width()) * static_cast<std::size_t>(Height()), background) {}

void TRasterTarget::Clear() {
    std::fill(Pixels.begin(), Pixels.end(), Background);
}

TRowSpan VerticalLineRows(int yFrom, int yTo, int height) {
    if (yFrom == yTo)
        return {};
    // The end point is not painted: rows yFrom .. yTo − step.
    const int step = yTo > yFrom ? 1 : -1;
    const int last = yTo - step;
    return {std::max(std::min(yFrom, last), 0), std::min(std::max(yFrom, last), height - 1)};
}

void TRasterTarget::VerticalLine(int x, int yFrom, int yTo) {
    if (x < 0 || x >= Width())
        return;
    const TRowSpan rows = VerticalLineRows(yFrom, yTo, Height());
    for (int y = rows.First; y <= rows.Last; ++y)
        Pixels[static_cast<std::size_t>(y * Width() + x)] = Pen;
}

TRasterSurfaces::TRasterSurfaces(int controlWidth, int controlHeight, TRgb background)
    : Targets(ChannelCount, TRasterTarget(controlWidth, controlHeight, background)) {}

THistTarget& TRasterSurfaces::Target(TChannel c) {
    return Targets[static_cast<std::size_t>(c)];
}

bool TRasterSurfaces::GroupVisible(TColorModel m) const {
    return Visible[static_cast<int>(m)];
}

void TRasterSurfaces::SetGroupVisible(TColorModel m, bool visible) {
    Visible[static_cast<int>(m)] = visible;
}

const TRasterTarget& TRasterSurfaces::Raster(TChannel c) const {
    return Targets[static_cast<std::size_t>(c)];
}

} // namespace tonalyx
