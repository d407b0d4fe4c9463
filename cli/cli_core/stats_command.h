// The "stats" command of tonalyx-cli: per image and channel the counted pixels, mean,
// median, standard deviation and the clipping shares, from the raw counts.
#pragma once

#include "histogram.h"
#include "memory_left.h"
#include "region.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tonalyx {

struct TStatsOptions {
    bool Json = false;
    std::optional<TRegion> Region;   // counted alone, in every image
    std::vector<std::string> Images; // as given: UTF-8 paths
    TMemoryLeft MemoryLeft;          // the system's when not set (tests set it)
    bool Developed = false;          // a camera raw file's development, not its preview
};

// One image's line (without the newline):
// {"file":…,"width":W,"height":H,"orientation":1…8,"channels":{"R":{"pixels":N,"mean":…,
//  "median":…,"sd":…,"low":…,"high":…},…}} with the channel names, sizes and orientation of
// counts; a figure that does not exist (the hue's median, anything of an empty channel) is null.
// With a region, the "region" member of CountsJson follows the orientation and the figures are
// the region's alone.
std::string StatsJson(const std::string& file, int width, int height, const TAllChanel& channels,
                      int orientation = 1, const TRegion* region = nullptr);
// The same figures as a table for reading.
std::string StatsTable(const std::string& file, int width, int height, const TAllChanel& channels,
                       const TRegion* region = nullptr);

// Returns the exit status: 0 when every image was read, 1 when any failed (after all).
int RunStats(const TStatsOptions& options, std::FILE* out, std::FILE* err);

// Parses the arguments after the program name, the first being "stats". On a usage error
// or --help returns false with exitStatus 2 or 0, after printing to err or out.
bool ParseStatsArguments(const std::vector<std::string>& args, TStatsOptions& options,
                         int& exitStatus, std::FILE* out, std::FILE* err);

} // namespace tonalyx
