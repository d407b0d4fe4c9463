// Drawing the channels as bar charts. The engine draws through two small
// interfaces, so the window hands it toolkit images and tests hand it plain rasters.
#pragma once

#include "histogram.h"
#include "rounding.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tonalyx {

struct TRgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const TRgb&, const TRgb&) = default;
};

// One histogram image control. Its drawing surface is one pixel narrower and
// one pixel lower than the control; every position is computed from the control's size.
class THistTarget {
  public:
    virtual ~THistTarget() = default;
    virtual int ControlWidth() const = 0;  // Wc
    virtual int ControlHeight() const = 0; // Hc
    // Fills the whole surface with the background colour.
    virtual void Clear() = 0;
    virtual void SetPen(TRgb colour) = 0;
    // A pen line from (x, yFrom) to (x, yTo) that does not paint its end point (x, yTo).
    virtual void VerticalLine(int x, int yFrom, int yTo) = 0;
};

// The rows [First, Last] that VerticalLine(x, yFrom, yTo) paints on a surface of height rows;
// Last < First when none.
struct TRowSpan {
    int First = 0, Last = -1;
};
TRowSpan VerticalLineRows(int yFrom, int yTo, int height);

// How a bar's height follows its count: in proportion (the default), or by the logarithm of
// 1 + count, so that small counts beside a high peak still show.
enum class TCountScale : int { Linear, Log };

// The ten targets of the histogram panel and the visibility of the three model tabs.
class THistSurfaces {
  public:
    virtual ~THistSurfaces() = default;
    virtual THistTarget& Target(TChannel c) = 0;
    virtual bool GroupVisible(TColorModel m) const = 0;
    // The count axis every histogram is drawn with.
    virtual TCountScale CountScale() const { return TCountScale::Linear; }
};

// Bar colours of the ten channels.
TRgb BarColour(TChannel c);

// Largest count of the used range, at least 1.
std::uint32_t ChannelMax(const TChanData& ch);
// Where column x of a control Wc pixels wide stands on a bin axis of n + 1 bins, counted
// from IndLow: 0 in the first column, n in the last (Wc − 2), x / xscale in between.
Extended ColumnPosition(int x, int wc, int n);
// The value shown in column x of a control Wc pixels wide.
Extended BinValueAt(const TChanData& ch, int x, int wc);

// The bins First..Last (absolute indices) that column x stands for: those whose own column
// position lies nearer to x than to either neighbouring column. A narrow surface gives a
// column several bins; a wide one gives a bin several columns, and a column between two
// bins stands for the nearer one. Empty (First > Last) outside the columns 0..Wc − 2.
struct TBinRange {
    int First = 0, Last = -1;
    bool Empty() const { return First > Last; }
    friend bool operator==(const TBinRange&, const TBinRange&) = default;
};
TBinRange ColumnBins(const TOthers& range, int x, int wc);
// The column of a control Wc pixels wide whose ColumnBins hold bin (an absolute index); a
// bin outside IndLow..IndHigh gives the nearer end column. -1 when the control has none.
int BinColumn(const TOthers& range, int bin, int wc);

// The bins of channel c that a pixel of these levels (0..255) is counted in: the level itself
// for R, G and B, all three for the sum, and for H, S, V, L, a* and b* the bins of the
// counting's own conversions. Count is 3 for the sum and 1 for every other channel.
struct TPixelBins {
    std::array<int, 3> Bins{};
    int Count = 0;
};
TPixelBins PixelBins(TChannel c, int r, int g, int b);
void DrawBar(THistTarget& t, int x, int h);
// The bar height of column value v in a control Hc pixels high whose largest count is maxVal
// (at least 1): Round((Hc − 2) × v / maxVal), or Round((Hc − 2) × ln(1 + v) / ln(1 + maxVal))
// on the log scale; an exact half rounds to even.
int BarHeight(Extended v, std::uint32_t maxVal, int hc, TCountScale scale);
void DrawChannel(THistTarget& t, const TChanData& ch, TRgb colour,
                 TCountScale scale = TCountScale::Linear);

// A plain in-memory surface, used by tests, the command-line tool and benchmarks.
class TRasterTarget final : public THistTarget {
  public:
    TRasterTarget(int controlWidth, int controlHeight, TRgb background);
    int ControlWidth() const override { return Wc; }
    int ControlHeight() const override { return Hc; }
    void Clear() override;
    void SetPen(TRgb colour) override { Pen = colour; }
    void VerticalLine(int x, int yFrom, int yTo) override;

    int Width() const { return Wc > 1 ? Wc - 1 : 0; }  // surface width
    int Height() const { return Hc > 1 ? Hc - 1 : 0; } // surface height
    TRgb Pixel(int x, int y) const { return Pixels[static_cast<std::size_t>(y * Width() + x)]; }
    const std::vector<TRgb>& Raster() const { return Pixels; }

  private:
    int Wc, Hc;
    TRgb Background, Pen;
    std::vector<TRgb> Pixels;
};

// Ten raster targets of one size, with switchable group visibility.
class TRasterSurfaces final : public THistSurfaces {
  public:
    TRasterSurfaces(int controlWidth, int controlHeight, TRgb background);
    THistTarget& Target(TChannel c) override;
    bool GroupVisible(TColorModel m) const override;
    void SetGroupVisible(TColorModel m, bool visible);
    const TRasterTarget& Raster(TChannel c) const;

  private:
    std::vector<TRasterTarget> Targets;
    bool Visible[3] = {true, true, true};
};

} // namespace tonalyx
