// Large buffers: every size round-trips through its own allocation (a small block and a large
// one are freed the way they were allocated, which the sanitizer build checks), large ones
// start on a huge-page boundary, and a resize keeps what was written before it.
#include "large_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tonalyx {
namespace {

TEST(LargeBuffer, EverySizeIsWritableAndLargeOnesAreHugePageAligned) {
    constexpr std::size_t MiB = 1u << 20;
    for (const std::size_t values : {std::size_t{2}, 4 * MiB - 1, 4 * MiB, 25 * MiB + 3}) {
        TLargeBuffer<std::uint16_t> buffer(values);
        buffer.front() = 7;
        buffer.back() = 9;
        const auto address = reinterpret_cast<std::uintptr_t>(buffer.data());
        if (values * sizeof(std::uint16_t) >= 8 * MiB) {
            EXPECT_EQ(address % (2 * MiB), 0u) << values;
        }
        buffer.resize(values + 1);
        EXPECT_EQ(buffer.front(), 7) << values;
        EXPECT_EQ(buffer[values - 1], 9) << values;
    }
}

} // namespace
} // namespace tonalyx
