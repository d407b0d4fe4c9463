// The decoders' picture: 24-bit rows of blue, green, red bytes in a buffer it owns, each
// followed, in a picture whose alpha may leave pixels uncounted, by the bits of its coverage
// and by each pixel's alpha as a byte, which only its showing reads.
#pragma once

#include "histogram.h"
#include "picture_meta.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace tonalyx {

class TRaster {
  public:
    TRaster() = default;
    TRaster(TRaster&& other) noexcept { Swap(other); }
    TRaster& operator=(TRaster&& other) noexcept {
        TRaster gone(std::move(other));
        Swap(gone);
        return *this;
    }
    TRaster(const TRaster&) = delete;
    TRaster& operator=(const TRaster&) = delete;
    ~TRaster() { Free(FBits); }

    // A picture of width × height pixels with uninitialised contents, each row padded to a
    // multiple of 4 bytes; a null raster when the size is not positive or memory runs out.
    // Buffers large enough to be worth it start on a huge-page boundary (see TPrefault).
    // covered: each row's pixels are followed by a bit a pixel saying whether it is counted
    // (TCoverage), which View passes on to the counting, then by a byte a pixel of alpha.
    static TRaster Allocate(int width, int height, bool covered = false);

    bool IsNull() const { return FBits == nullptr; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    std::ptrdiff_t Stride() const { return FStride; } // bytes from one row to the next
    std::size_t SizeInBytes() const { return static_cast<std::size_t>(FStride) * FHeight; }
    std::uint8_t* Bits() { return FBits; }
    const std::uint8_t* Bits() const { return FBits; }
    std::uint8_t* Row(int y) { return FBits + FStride * y; }
    // Row y's coverage bits, or null when every pixel is counted.
    std::uint8_t* CoverageRow(int y) {
        return FCovered ? Row(y) + std::ptrdiff_t{3} * FWidth : nullptr;
    }
    // Row y's alpha, a byte a pixel (0 transparent, 255 opaque), or null when the picture
    // has none.
    std::uint8_t* AlphaRow(int y) { return FCovered ? Row(y) + AlphaOffset() : nullptr; }
    const std::uint8_t* AlphaRow(int y) const {
        return FCovered ? FBits + FStride * y + AlphaOffset() : nullptr;
    }
    bool HasAlpha() const { return FCovered; }
    // What a covered picture holds beside its 24-bit pixels, in bytes a row.
    static std::ptrdiff_t CoveredExtra(int width) {
        return (std::ptrdiff_t{width} + 7) / 8 + std::ptrdiff_t{width};
    }
    TRasterView View() const {
        TRasterView view{FWidth, FHeight, FBits, FStride};
        if (FCovered) {
            view.Coverage = {FBits + std::ptrdiff_t{3} * FWidth, FStride, 0};
            view.Alpha = FBits + AlphaOffset();
        }
        return view;
    }
    // The file ended before the picture did: the rows it lacked are made up by the decoder.
    bool Incomplete() const { return FIncomplete; }
    void MarkIncomplete() { FIncomplete = true; }

    // What the file said about showing these pixels (set by the decoders); the rows
    // themselves are always as stored.
    const TPictureMeta& Meta() const { return FMeta; }
    void SetMeta(TPictureMeta meta) { FMeta = std::move(meta); }

    // Gives up the buffer, leaving a null raster; the caller frees it with Free.
    std::uint8_t* Release();
    static void Free(void* bits);

  private:
    void Swap(TRaster& other) noexcept;
    std::ptrdiff_t AlphaOffset() const {
        return std::ptrdiff_t{3} * FWidth + (std::ptrdiff_t{FWidth} + 7) / 8;
    }

    std::uint8_t* FBits = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    std::ptrdiff_t FStride = 0;
    TPictureMeta FMeta;
    bool FIncomplete = false;
    bool FCovered = false;
};

} // namespace tonalyx
