// The "counts" command of tonalyx-cli: one JSON line of histogram bins per image.
#pragma once

#include "current_hist.h"
#include "memory_left.h"
#include "region.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tonalyx {

enum class TCountSet { Origin, Display };

struct TCountsOptions {
    TCountSet Set = TCountSet::Origin;
    int SmoothLevel = SmoothLevelMedium; // index into SmoothLevels
    std::optional<TRegion> Region;       // counted alone, in every image
    std::vector<std::string> Images;     // as given: UTF-8 paths
    TMemoryLeft MemoryLeft;              // the system's when not set (tests set it)
    bool Developed = false;              // a camera raw file's development, not its preview
};

// What an image's line says of it beside its bins.
struct TImageFacts {
    int Width = 0, Height = 0; // the stored picture's, which is what is counted
    int Orientation = 1;       // its Exif orientation, which a viewer applies to show it upright
    int Bits = 8;              // of each stored sample, before it is brought to 8 bits
    bool Alpha = false;        // whether the samples include alpha
    std::int64_t Pixels = 0;   // the pixels counted: those alpha leaves in (of the region)
};

// One image's line (without the newline). The format is fixed: other tools read it, and
// members are only ever added.
// {"file":…,"width":W,"height":H,"orientation":1…8,"bits":B,"alpha":false|true,
//  "pixels":N,"set":"origin"|"display","smoothing":"off"|…,
//  "channels":{"RGB":[bins IndLow..IndHigh],…,"B_":[…]}}
// With a region, "region":{"x":X,"y":Y,"width":W,"height":H} follows the orientation and
// the bins and pixels are the region's alone.
std::string CountsJson(const std::string& file, const TImageFacts& facts, TCountSet set,
                       int smoothLevel, const TAllChanel& channels,
                       const TRegion* region = nullptr);
// The region member above, with its leading comma.
void AppendJsonRegion(std::string& out, const TRegion& region);
// Whether args[i] is --region, and its value, "--region=X,Y,W,H" or the next argument (i
// then steps past it); nothing, with why set, when the value is missing or malformed.
bool IsRegionOption(const std::string& arg);
std::optional<TRegion> RegionOption(const std::vector<std::string>& args, std::size_t& i,
                                    std::string& why);

// Appends the name as a JSON string. File names are bytes; any that are not UTF-8 become
// U+FFFD, so that the line stays valid JSON.
void AppendJsonString(std::string& out, const std::string& text);

// Decodes and counts each image, or only region of it when given, into hist (its raw counts
// and display copy) and calls shown with the file and its facts; an image that fails (a region
// outside it too) gets the line "tonalyx-cli: FILE: reason" on err. Returns 0 when every image was
// counted, 1 when any failed (after trying all). The pictures are counted band by band as they are
// decoded, never held whole (see StreamAndCount); one whose decode would hold more than
// memoryLeft gives (a progressive JPEG's coefficients) fails from its header.
// developed counts a camera raw file's development rather than its preview.
int ForEachCountedImage(
    const std::vector<std::string>& images, const std::optional<TRegion>& region, bool developed,
    TCurrentHist& hist, std::FILE* err,
    const std::function<void(const std::string& file, const TImageFacts& facts)>& shown,
    const TMemoryLeft& memoryLeft = {});

// Runs the command; returns the process exit status: 0 when every image was counted,
// 1 when any failed (after trying all of them).
int RunCounts(const TCountsOptions& options, std::FILE* out, std::FILE* err);

// Parses the arguments after the program name. On a usage error, --help or --version
// returns false and sets exitStatus (0 for --help and --version, 2 for an error) after
// printing to out or err.
bool ParseCountsArguments(const std::vector<std::string>& args, TCountsOptions& options,
                          int& exitStatus, std::FILE* out, std::FILE* err);

} // namespace tonalyx
