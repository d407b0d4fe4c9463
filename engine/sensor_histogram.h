// What a camera's sensor recorded, counted per colour of its filter: the photosites of the
// visible area as stored (before black subtraction), with the levels that frame them. Made
// from a raw file by the sensor library, shown by the panel's Raw group, printed by the
// command-line tool. Plain data and arithmetic: no raw library, no toolkit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonalyx {

struct TSensorChannel {
    std::string Name;                  // "R", "G", "B", "G2" (the second green of a 2×2 pattern)
    std::vector<std::uint64_t> Counts; // indexed by raw value, up to max(white, largest present)
    int Black = 0;                     // this channel's black level
    std::uint64_t Clipped = 0;         // photosites at or above the white level
    std::uint64_t AtBlack = 0;         // photosites at or below the black level
    std::optional<double> HeadroomEv;  // stops left below white (see HeadroomEv); none when
                                       // every photosite is at or below black
};

struct TSensorHistogram {
    std::string Make, Model;
    std::string Pattern; // the filter's repeating pattern by rows, e.g. "RGGB"; 36 letters for 6×6
    int Width = 0, Height = 0; // the visible area
    int White = 0;             // the white level: a value at or above it is clipped
    std::vector<TSensorChannel> Channels;

    std::uint64_t Photosites() const;
};

// The exposure headroom of one channel in stops: log2((white − black) / (p − black)), where p
// is the smallest raw value with at most 0.1 % of the channel's photosites above it. None when
// p is at or below black (nothing recorded above black).
std::optional<double> HeadroomEv(const std::vector<std::uint64_t>& counts, int black, int white);

// Where a raw value lies on the exposure axis: stops below the white level (0 at white,
// negative below), measured above black; none at or below black.
std::optional<double> StopsBelowWhite(int value, int black, int white);

} // namespace tonalyx
