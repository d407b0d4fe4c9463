// The histogram engine: ten channels in three colour models, their raw counts,
// the smoothed display copy and the drawing of that copy.
// Plain C++: no toolkit types, so the engine runs in tests, tools and benchmarks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tonalyx {

// Every channel owns this many bins; only IndLow..IndHigh of each is used.
inline constexpr int HistBinCount = 3001;
using THistUNIVERS_index = std::uint16_t; // 0..3000
using THistValues = std::array<std::uint32_t, HistBinCount>;

struct TOthers {
    std::int32_t IndLow = 0;          // first bin of the used range
    std::int32_t IndHigh = 0;         // last bin of the used range
    std::int32_t SmoothCntFactor = 0; // smoothing passes per unit of smoothing level
    std::int32_t SmoothCntMin = 0;    // least number of smoothing passes
    std::uint32_t MaxVal = 0;         // largest count in the used range, at least 1; set by Show
    std::uint32_t Space = 0;          // declared, unused
    friend bool operator==(const TOthers&, const TOthers&) = default;
};

struct TChanData {
    THistValues Hist{};
    TOthers Others{};
    friend bool operator==(const TChanData&, const TChanData&) = default;
};

// The channels in storage order. TAllChanel's operator[] takes these.
enum class TChannel : int { RGB, R, G, B, H, S, V, L, A, B_ };
inline constexpr int ChannelCount = 10;
inline constexpr std::array<TChannel, ChannelCount> AllChannels = {
    TChannel::RGB, TChannel::R, TChannel::G, TChannel::B, TChannel::H,
    TChannel::S,   TChannel::V, TChannel::L, TChannel::A, TChannel::B_};

// The three colour models, each shown on a tab of its own.
enum class TColorModel : int { RGB, HSV, LAB };
TColorModel ModelOf(TChannel c);
const char* ChannelName(TChannel c); // "RGB", "R", ..., "B_"

struct TAllChanel {
    TChanData RGB, R, G, B, H, S, V, L, A, B_;

    TChanData& operator[](TChannel c);
    const TChanData& operator[](TChannel c) const;
    friend bool operator==(const TAllChanel&, const TAllChanel&) = default;
};

enum TImageType : int { Origin, Origin4Show, Etalon };
using TData = std::array<TAllChanel, 3>;

struct TSmoothLevel {
    std::uint8_t RepCnt;
    const char* Lbl;
};
// The smoothing command selects "Medium" when on and "Off" when off.
inline constexpr std::array<TSmoothLevel, 4> SmoothLevels = {
    {{0, "Off"}, {1, "Low"}, {3, "Medium"}, {9, "High"}}};
inline constexpr int SmoothLevelOff = 0;
inline constexpr int SmoothLevelMedium = 2;

// Which pixels of a raster are counted, when not all of them are (a picture whose alpha
// leaves some out): pixel x of row y is counted when bit b % 8 of byte b / 8 of row y is set,
// with b = FirstBit + x. Without bits every pixel is counted, and the counting takes its
// plain, faster loops.
struct TCoverage {
    const std::uint8_t* Bits = nullptr; // row 0's; null: every pixel is counted
    std::ptrdiff_t Stride = 0;          // bytes from one row's bits to the next
    int FirstBit = 0;                   // of pixel 0 in each row
    explicit operator bool() const { return Bits != nullptr; }
    bool Counted(int x, int y) const {
        const int b = FirstBit + x;
        return (Bits[Stride * y + (b >> 3)] >> (b & 7) & 1) != 0;
    }
};

// A read-only 24-bit raster: rows top to bottom, 3 bytes a pixel in the order blue, green, red.
struct TRasterView {
    int Width = 0;
    int Height = 0;
    const std::uint8_t* Bits = nullptr;
    std::ptrdiff_t Stride = 0; // bytes from one row to the next
    TCoverage Coverage{};      // which pixels are counted; every one by default
    // Each pixel's alpha, a byte a pixel in rows Stride apart, for showing the picture; null
    // when it is opaque. The counts never read it: Coverage says what they leave out.
    const std::uint8_t* Alpha = nullptr;
    const std::uint8_t* Row(int y) const { return Bits + Stride * y; }
    const std::uint8_t* AlphaRow(int y) const { return Alpha + Stride * y; }
    // Rows [firstRow, firstRow + rowCount) as a raster of their own.
    TRasterView Rows(int firstRow, int rowCount) const {
        TRasterView band = *this;
        band.Height = rowCount;
        band.Bits = Row(firstRow);
        if (Coverage)
            band.Coverage.Bits += Coverage.Stride * firstRow;
        if (Alpha)
            band.Alpha += Stride * firstRow;
        return band;
    }
};

class THistSurfaces;   // render.h
class TPrimaryCounts;  // accumulate.h
class TStreamedCounts; // accumulate.h

class THist {
  public:
    THist(); // gives Data[Origin] the channel parameters; everything else starts at zero

    TData Data{};
    std::uint8_t SmoothRepeatCnt = 0;

    // Recounts every channel of Data[itype] from the raster.
    void Calc(TImageType itype, const TRasterView& im);
    // The same, with the primaries already counted over every pixel of the raster
    // (by a caller that counted rows while they were being decoded).
    void CalcCounted(TImageType itype, const TRasterView& im, const TPrimaryCounts& primaries);
    // The same from counts made pass by pass over the rows of a picture no longer held;
    // every pass they need must have been added.
    void CalcStreamed(TImageType itype, const TStreamedCounts& counts);
    // Takes the counts another THist made of a raster, as if Calc had made them here.
    void Adopt(TImageType itype, const TAllChanel& counts);
    // Copies Data[itypeO] to Data[itype4S], smooths it and limits its peaks. No-op before Calc.
    void Calc4Show(TImageType itypeO, TImageType itype4S);
    // Clears the ten targets, then (after a Calc) draws the channels of the visible groups.
    void Show(TImageType itype, THistSurfaces& surfaces);

    bool IsCalculated() const { return Calculated; }

  private:
    bool Calculated = false;
};

// The parameters Create gives the Origin set.
TAllChanel OriginParameters();

} // namespace tonalyx
