// PNG encoding of the histogram export: truecolour, 8 bits per channel, no alpha, not
// interlaced, row filter Sub on every row, deflate level 7, IDAT chunks of at most 65535
// bytes, and no chunks but IHDR, IDAT and IEND. Plain C++ over libpng; the file and the
// upload stream both take these bytes, so they are identical.
#pragma once

#include "outcome.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tonalyx {

// Rows of 8-bit red, green, blue triples, top row first.
struct TRgbRows {
    const std::uint8_t* Data = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0; // bytes from one row to the next
};

// The complete file, or why it could not be made.
using TPngResult = TOutcome<std::vector<std::uint8_t>>;

inline constexpr int PngDeflateLevel = 7;
inline constexpr std::size_t PngMaxIdatBytes = 65535;

// Never throws and never ends the program: libpng's errors come back as the failure's
// reason. An empty picture (0 × 0) is an error.
TPngResult EncodePng(const TRgbRows& rows);

} // namespace tonalyx
