#include "raster.h"

#include "prefault.h"

#include <cstdlib>
#include <limits>
#include <utility>

namespace tonalyx {

namespace {
// The size of a transparent huge page on the machines we run on.
constexpr std::size_t HugePage = 2u << 20;
} // namespace

TRaster TRaster::Allocate(int width, int height, bool covered) {
    TRaster r;
    if (width <= 0 || height <= 0)
        return r;
    const std::ptrdiff_t extra = covered ? CoveredExtra(width) : 0;
    const std::ptrdiff_t stride = (std::ptrdiff_t{width} * 3 + extra + 3) / 4 * 4;
    const auto size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (size / static_cast<std::size_t>(height) != static_cast<std::size_t>(stride))
        return r;
    void* bits = nullptr;
    if (size >= TPrefault::MinimumSize &&
        size <= std::numeric_limits<std::size_t>::max() - HugePage)
        // Aligned at both ends, so that every page of the picture can be a huge one.
        bits = std::aligned_alloc(HugePage, (size + HugePage - 1) / HugePage * HugePage);
    else
        bits = std::malloc(size);
    if (!bits)
        return r;
    r.FBits = static_cast<std::uint8_t*>(bits);
    r.FWidth = width;
    r.FHeight = height;
    r.FStride = stride;
    r.FCovered = covered;
    return r;
}

std::uint8_t* TRaster::Release() {
    TRaster gone;
    Swap(gone);
    return std::exchange(gone.FBits, nullptr);
}

void TRaster::Free(void* bits) {
    std::free(bits);
}

void TRaster::Swap(TRaster& other) noexcept {
    std::swap(FBits, other.FBits);
    std::swap(FWidth, other.FWidth);
    std::swap(FHeight, other.FHeight);
    std::swap(FStride, other.FStride);
    std::swap(FMeta, other.FMeta);
    std::swap(FIncomplete, other.FIncomplete);
    std::swap(FCovered, other.FCovered);
}

} // namespace tonalyx
