// Rounding and the extended precision the engine computes in.
#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>

namespace tonalyx {

// The engine's arithmetic type: 80-bit x87 extended precision on x86 (64-bit mantissa).
using Extended = long double;

// Nearest integer, an exact half to the even neighbour (the default IEEE rounding mode,
// which nothing in the program changes).
inline std::int64_t RoundHalfEven(Extended v) {
    return std::llrint(v);
}
inline std::int64_t RoundHalfEven(double v) {
    return std::llrint(v);
}

} // namespace tonalyx
