// Whether uploaded bytes are a PNG image: decoded whole by libpng, every row of every pass,
// every chunk's CRC checked, up to the end chunk and nothing after it, within bounds on the
// picture's size that keep one upload from taking much time or memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tonalyx {

// Wider or higher pictures are refused, and so are those of more pixels in all (a little
// above a screen of 7680 × 4320, where the program's window could lie).
inline constexpr std::uint32_t PngMaxSide = 16384;
inline constexpr std::uint64_t PngMaxPixels = std::uint64_t(1) << 25;

// Empty when bytes are a whole, sound PNG image within those bounds, otherwise why not.
std::string PngProblem(std::string_view bytes);

} // namespace tonalyx
