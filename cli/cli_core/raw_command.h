// The "raw" command of tonalyx-cli: the sensor's own histogram of each camera raw file, one
// JSON line per file.
#pragma once

#include "memory_left.h"
#include "sensor_histogram.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tonalyx {

struct TRawOptions {
    std::vector<std::string> Files; // as given: UTF-8 paths
    TMemoryLeft MemoryLeft;         // the system's when not set (tests set it)
};

// One file's line (without the newline); members are only ever added:
// {"file":…,"make":…,"model":…,"pattern":"RGGB","width":W,"height":H,"black":[per channel],
//  "white":W,"channels":{"R":{"counts":[by raw value],"clipped":N,"at_black":N,
//  "headroom_ev":X|null},…}}
std::string RawJson(const std::string& file, const TSensorHistogram& hist);

// Counts each file; one that fails gets "tonalyx-cli: FILE: reason" on err. Returns 0 when
// every file was counted, 1 when any failed (after trying all).
int RunRaw(const TRawOptions& options, std::FILE* out, std::FILE* err);

// Parses the arguments after the program name, the first being "raw". On a usage error or
// --help returns false and sets exitStatus (0 for --help, 2 for an error) after printing.
bool ParseRawArguments(const std::vector<std::string>& args, TRawOptions& options, int& exitStatus,
                       std::FILE* out, std::FILE* err);

} // namespace tonalyx
