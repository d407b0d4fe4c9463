#include "sensor_count.h"

#include "open_reasons.h"

#include <libraw.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace tonalyx {

namespace {

// LibRaw's colour indices: 0 R, 1 G, 2 B, 3 the second green of a Bayer pattern.
constexpr int Colours = 4;
const char* const ChannelNames[Colours] = {"R", "G", "B", "G2"};
const char PatternLetters[Colours] = {'R', 'G', 'B', 'G'};
constexpr std::size_t ValueCount = 65536;

// The filter's repeating tile in the visible area's coordinates: the colour of each
// position, rows × columns (2 × 2 for Bayer, 6 × 6 for the 6×6 pattern).
struct TFilterTile {
    int Rows = 0, Columns = 0;
    std::array<std::array<int, 6>, 6> Colour{};
};

// Bayer patterns come from LibRaw's 32-bit filters word (its FC), 6×6 ones from its xtrans
// table; both already relative to the visible area. Other layouts (the 16×16 tables of a few
// old backs, the 45° sensors) are not read here.
std::optional<TFilterTile> FilterTile(LibRaw& raw) {
    const libraw_iparams_t& id = raw.imgdata.idata;
    TFilterTile tile;
    if (id.filters == 9) {
        tile.Rows = tile.Columns = 6;
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 6; ++c)
                tile.Colour[r][c] = id.xtrans[r][c] & 3;
        return tile;
    }
    if (id.filters < 1000 || raw.get_internal_data_pointer()->internal_output_params.fuji_width)
        return std::nullopt;
    tile.Rows = tile.Columns = 2;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            tile.Colour[r][c] =
                static_cast<int>(id.filters >> (((r << 1 & 14) | (c & 1)) << 1) & 3);
    return tile;
}

// Counts a rows × columns block of one-sample photosites whose colours repeat by tile.
// Per row a lookup of the tile's row, so the loop itself only indexes and adds. With keep,
// each row is copied there too while it is still in the cache.
void CountMosaic(const std::uint16_t* first, std::ptrdiff_t stride, int rows, int columns,
                 const TFilterTile& tile, std::vector<std::uint64_t>* counts, std::uint16_t* keep) {
    std::vector<std::uint64_t*> byColumn(static_cast<std::size_t>(tile.Columns));
    for (int y = 0; y < rows; ++y) {
        const auto& colours = tile.Colour[static_cast<std::size_t>(y % tile.Rows)];
        for (int k = 0; k < tile.Columns; ++k)
            byColumn[k] = counts[colours[k]].data();
        const std::uint16_t* row = first + y * stride;
        int x = 0;
        if (tile.Columns == 2) {
            std::uint64_t* const even = byColumn[0];
            std::uint64_t* const odd = byColumn[1];
            for (; x + 1 < columns; x += 2) {
                ++even[row[x]];
                ++odd[row[x + 1]];
            }
        } else {
            for (; x + tile.Columns <= columns; x += tile.Columns)
                for (int k = 0; k < tile.Columns; ++k)
                    ++byColumn[k][row[x + k]];
        }
        for (; x < columns; ++x)
            ++byColumn[x % tile.Columns][row[x]];
        if (keep)
            std::memcpy(keep + std::ptrdiff_t{y} * columns, row,
                        static_cast<std::size_t>(columns) * sizeof(std::uint16_t));
    }
}

// Counts photosites of `samples` values each (a linear raw), the first three its channels,
// and with keep copies those three there.
void CountLinear(const std::uint16_t* first, std::ptrdiff_t stride, int rows, int columns,
                 int samples, std::vector<std::uint64_t>* counts, std::uint16_t* keep) {
    for (int y = 0; y < rows; ++y) {
        const std::uint16_t* p = first + y * stride;
        for (int x = 0; x < columns; ++x, p += samples) {
            ++counts[0][p[0]];
            ++counts[1][p[1]];
            ++counts[2][p[2]];
            if (keep) {
                std::memcpy(keep, p, 3 * sizeof(std::uint16_t));
                keep += 3;
            }
        }
    }
}

// Room for a copy of the visible area's values, or null (keep nothing) when the memory left
// cannot hold it beside the unpacked raw: the histogram is counted either way.
std::uint16_t* KeepRoom(TSensorMosaic* keep, int rows, int columns, int samples,
                        const TMemoryLeft& memoryLeft) {
    if (!keep)
        return nullptr;
    const std::size_t values = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns) *
                               static_cast<std::size_t>(samples);
    const std::uint64_t left = memoryLeft ? memoryLeft() : MemoryLeftBytes();
    if (WhyOverMemoryLeft(columns, rows, static_cast<std::int64_t>(values * 2), left))
        return nullptr;
    keep->Width = columns;
    keep->Height = rows;
    keep->Samples = samples;
    keep->Values.resize(values);
    return keep->Values.data();
}

// This channel's black level: the common one, the colour's own, and where LibRaw keeps a
// pattern of levels by position, the pattern's at the colour's first place in the tile.
std::uint64_t BlackOf(const libraw_colordata_t& colour, int index, const TFilterTile* tile) {
    std::uint64_t black = std::uint64_t{colour.black} + colour.cblack[index];
    const std::uint64_t patternRows = colour.cblack[4], patternColumns = colour.cblack[5];
    if (patternRows == 0 || patternColumns == 0 ||
        6 + patternRows * patternColumns > LIBRAW_CBLACK_SIZE)
        return black;
    std::uint64_t at[2] = {0, 0};
    if (tile)
        for (int r = tile->Rows - 1; r >= 0; --r)
            for (int c = tile->Columns - 1; c >= 0; --c)
                if (tile->Colour[r][c] == index)
                    at[0] = std::uint64_t(r), at[1] = std::uint64_t(c);
    return black +
           colour.cblack[6 + (at[0] % patternRows) * patternColumns + at[1] % patternColumns];
}

// Counts the sensor; with keep, copies its photosites there in the same pass.
TOutcome<TSensorHistogram> Count(TByteSource& bytes, const TCancelCheck& cancelled,
                                 const TMemoryLeft& memoryLeft, TSensorMosaic* keep) {
    TRawSource source(bytes, cancelled, memoryLeft);
    if (TOutcome<void> opened = source.Open(); !opened)
        return opened.Error();
    if (TOutcome<void> unpacked = source.Unpack(); !unpacked)
        return unpacked.Error();
    LibRaw& raw = source.Raw();
    const libraw_rawdata_t& data = raw.imgdata.rawdata;
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    const int rows = s.height, columns = s.width;
    if (rows <= 0 || columns <= 0 || s.top_margin + rows > s.raw_height ||
        s.left_margin + columns > s.raw_width)
        return BrokenHeader("the visible area lies outside the sensor's data");

    TSensorHistogram hist;
    hist.Make = raw.imgdata.idata.make;
    hist.Model = raw.imgdata.idata.model;
    hist.Width = columns;
    hist.Height = rows;
    // Raw values are 16 bits: a white level beyond them, or none, is a damaged file's.
    if (source.White() == 0 || source.White() >= ValueCount)
        return BrokenHeader("white level " + std::to_string(source.White()));
    hist.White = static_cast<int>(source.White());

    std::vector<std::uint64_t> counts[Colours];
    bool present[Colours] = {};
    std::optional<TFilterTile> tile;
    if (data.raw_image) {
        tile = FilterTile(raw);
        if (!tile)
            return UnsupportedKind("camera raw",
                                   "filter layout " + std::to_string(raw.imgdata.idata.filters));
        for (int r = 0; r < tile->Rows; ++r)
            for (int c = 0; c < tile->Columns; ++c) {
                present[tile->Colour[r][c]] = true;
                hist.Pattern += PatternLetters[tile->Colour[r][c]];
            }
        for (int k = 0; k < Colours; ++k)
            if (present[k])
                counts[k].assign(ValueCount, 0);
        const std::ptrdiff_t stride = s.raw_pitch / 2;
        std::uint16_t* kept = KeepRoom(keep, rows, columns, 1, memoryLeft);
        if (kept) {
            keep->TileRows = tile->Rows;
            keep->TileColumns = tile->Columns;
            for (int r = 0; r < tile->Rows; ++r)
                for (int c = 0; c < tile->Columns; ++c)
                    keep->Tile[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                        static_cast<std::uint8_t>(tile->Colour[r][c]);
        }
        CountMosaic(data.raw_image + s.top_margin * stride + s.left_margin, stride, rows, columns,
                    *tile, counts, kept);
    } else if ((data.color3_image || data.color4_image) && raw.imgdata.idata.colors == 3) {
        const int samples = data.color3_image ? 3 : 4;
        const auto* first = data.color3_image ? &data.color3_image[0][0] : &data.color4_image[0][0];
        const std::ptrdiff_t stride = s.raw_pitch / 2;
        for (int k = 0; k < 3; ++k) {
            present[k] = true;
            counts[k].assign(ValueCount, 0);
        }
        CountLinear(first + s.top_margin * stride + s.left_margin * samples, stride, rows, columns,
                    samples, counts, KeepRoom(keep, rows, columns, 3, memoryLeft));
    } else {
        return UnsupportedKind("camera raw", "neither a colour filter mosaic nor three colours");
    }

    for (int k = 0; k < Colours; ++k) {
        if (!present[k])
            continue;
        TSensorChannel channel;
        channel.Name = ChannelNames[k];
        const std::uint64_t black = BlackOf(raw.imgdata.color, k, tile ? &*tile : nullptr);
        if (black >= ValueCount)
            return BrokenHeader("black level " + std::to_string(black));
        channel.Black = static_cast<int>(black);
        std::vector<std::uint64_t>& c = counts[k];
        std::size_t last = c.size() - 1;
        while (last > 0 && c[last] == 0)
            --last;
        c.resize(std::max<std::size_t>(last, static_cast<std::size_t>(std::max(hist.White, 0))) +
                 1);
        for (std::size_t v = 0; v < c.size(); ++v) {
            if (static_cast<int>(v) >= hist.White)
                channel.Clipped += c[v];
            if (static_cast<int>(v) <= channel.Black)
                channel.AtBlack += c[v];
        }
        channel.HeadroomEv = HeadroomEv(c, channel.Black, hist.White);
        channel.Counts = std::move(c);
        hist.Channels.push_back(std::move(channel));
    }
    if (keep)
        keep->White = hist.White;
    return hist;
}

} // namespace

TOutcome<TSensorHistogram> CountSensor(TByteSource& bytes, const TCancelCheck& cancelled,
                                       const TMemoryLeft& memoryLeft) {
    return Count(bytes, cancelled, memoryLeft, nullptr);
}

TOutcome<TSensorReading> ReadSensor(TByteSource& bytes, const TCancelCheck& cancelled,
                                    const TMemoryLeft& memoryLeft) {
    TSensorReading reading;
    TOutcome<TSensorHistogram> counted = Count(bytes, cancelled, memoryLeft, &reading.Mosaic);
    if (!counted)
        return counted.Error();
    reading.Histogram = std::move(counted).Value();
    return reading;
}

} // namespace tonalyx
