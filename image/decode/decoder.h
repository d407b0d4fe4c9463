// Decoding JPEG and Windows BMP files into the 24-bit raster the engine counts.
#pragma once

#include "outcome.h"
#include "raster.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace tonalyx {

class TByteSource; // byte_source.h

// Rasters above this many pixels are refused before any pixel memory is allocated.
inline constexpr std::int64_t MaxDecodePixels = 400'000'000;

// Multi-scan JPEG files are refused when they have more scans than this, or when their scans
// together cover the picture more than MaxJpegScanPasses times. Each scan costs a pass over
// the blocks it covers, so a small file that repeats one scan a few thousand times would
// keep the decoder busy for minutes; photographs have a dozen scans or so, covering the
// picture a few times over.
inline constexpr int MaxJpegScans = 1000;
inline constexpr int MaxJpegScanPasses = 100;

// Every decoder writes the picture into the rows a TRowTarget lends it, a band at a time, and
// asks the target before each band whether to go on: that is how a decode is cancelled and
// how its rows reach whoever consumes them. The decodes into a raster of the picture's own
// below are a decode into a TWholeRaster (whole_raster.h), which tells a TRowsReady of each
// band and stops when its token is; the tools' band counter (streamed_count.h) is another
// target, which never holds the whole picture.
//
// A target always takes 24-bit blue, green, red rows. A decoder writes its file's own layout
// (TPixelLayout), declared when it starts, through a TLayoutAdapter (layout_adapter.h) over
// the target it is given: the one place where wider samples become the 8-bit colour the
// engine counts and alpha says which pixels count. For 8-bit BGR, what JPEG and BMP give,
// the adapter lends the target's own rows and does nothing else.

// Which samples a pixel has, in their order in the row.
enum class TSamples : std::uint8_t { Bgr, Rgb, Grey, GreyAlpha, Rgba };

// How the rows a decoder writes hold their pixels. A sample of up to 8 bits takes a byte; a
// wider one a std::uint16_t in the machine's byte order. Rows follow each other by the
// stride of the band they are written into.
struct TPixelLayout {
    TSamples Samples = TSamples::Bgr;
    int Depth = 8; // bits of each sample, 1 to 16: its values are 0 .. 2^Depth - 1
    friend bool operator==(const TPixelLayout&, const TPixelLayout&) = default;
};

// Room lent to a decoder for a band of rows.
struct TRowBand {
    std::uint8_t* Bits = nullptr; // the band's first row: 3 bytes a pixel, blue, green, red
                                  // (a TLayoutAdapter's: in the layout the decoder declared)
    std::ptrdiff_t Stride = 0;    // bytes from one row of the band to the next
    // Which pixels count, lent only by a target started with StartCovered: a bit a pixel,
    // bit x % 8 of byte x / 8 of each row (see TCoverage, histogram.h); null otherwise.
    std::uint8_t* Coverage = nullptr;
    std::ptrdiff_t CoverageStride = 0;
    // Each pixel's alpha as 8 bits, lent by a covered target that keeps the picture to show
    // it (a raster of its own); null otherwise. The counts never read it.
    std::uint8_t* Alpha = nullptr;
    std::ptrdiff_t AlphaStride = 0;
};

inline constexpr int StreamBandRows = 16; // the most rows a decoder asks room for at a time

// Where a decode writes the rows. Every row is asked for and written once, a band at a time:
// top to bottom for JPEG, in the file's order for BMP (mostly bottom to top). Called on the
// decoding thread.
class TRowTarget {
  public:
    virtual ~TRowTarget() = default;
    // What the decoder itself will hold beside the rows until it ends, told before Start: a
    // progressive JPEG's coefficients, which it keeps until its last scan.
    virtual void DecoderHolds(std::int64_t bytes) { (void)bytes; }
    // The picture's size, once, before any row. False refuses it, as when memory runs out.
    virtual bool Start(int width, int height) = 0;
    // Start for a picture whose alpha may leave pixels uncounted: a target that counts the
    // rows, or keeps them to be counted, lends room for their coverage with every band. One
    // that does not (the default) takes every pixel as counted.
    virtual bool StartCovered(int width, int height) { return Start(width, height); }
    // Room for rows [firstRow, firstRow + count) of the picture, count <= StreamBandRows;
    // the decoder's until it calls Written.
    virtual TRowBand Rows(int firstRow, int count) = 0;
    virtual void Written(int firstRow, int count) = 0;
    // Asked before each band (and, in a progressive JPEG, each row of blocks of a scan): true
    // ends the decode there with DecodingCancelled (open_reasons.h).
    virtual bool Cancelled() const { return false; }
};

// Asked on the decoding thread once the file's header gives the picture's size, before any
// of its rows are allocated: a failure refuses the picture with that reason (too large for
// the memory left, say), nothing lets the decode go on. decoderBytes is what the decoder
// holds beside the rows until it ends (see TRowTarget::DecoderHolds).
using TAdmission =
    std::function<std::optional<TFailure>(int width, int height, std::int64_t decoderBytes)>;

// What a decode into a target says beside the rows it wrote.
struct TDecodeNotes {
    TPictureMeta Meta;       // what the file says about showing its pixels
    bool Incomplete = false; // the file ended before the picture did; the decoder made up the rest
};

// The decoders, band by band into target. After a failure the rows written count for nothing.
TOutcome<TDecodeNotes> StreamJpegFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamBmpFile(const std::filesystem::path& path, TRowTarget& target);
// A JPEG held in memory (a camera raw file's embedded preview), as a JPEG file is decoded.
TOutcome<TDecodeNotes> StreamJpegMemory(const std::uint8_t* data, std::size_t size,
                                        TRowTarget& target);
// PNG with libpng: every colour type and depth, interlaced or not (an interlaced picture is
// held whole while its passes arrive); tRNS gives alpha. A file cut short is refused.
TOutcome<TDecodeNotes> StreamPngFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamPngBytes(TByteSource& bytes, TRowTarget& target);
// WebP with libwebp: lossy, lossless, with alpha, and the first frame of an animation as
// shown on its canvas. The file and the decoded picture are held whole while it decodes.
TOutcome<TDecodeNotes> StreamWebpFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamWebpBytes(TByteSource& bytes, TRowTarget& target);
// TIFF's first page with libtiff (tiff_decoder.cpp): grey, RGB, with or without alpha, and
// palettes; strips or tiles, contiguous or planar; refused CMYK, Lab and floating point.
TOutcome<TDecodeNotes> StreamTiffFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamTiffBytes(TByteSource& input, TRowTarget& target);
// HEIF (HEIC) and AVIF, one decoder (libheif) that names the format it was asked for in its
// reasons: the primary image, upright as libheif turns it.
TOutcome<TDecodeNotes> StreamHeifFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamHeifBytes(TByteSource& in, TRowTarget& target);
TOutcome<TDecodeNotes> StreamAvifFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamAvifBytes(TByteSource& in, TRowTarget& target);
// Camera raw files (LibRaw; raw_decoder.cpp): the camera's own embedded preview, decoded as
// a JPEG, when it is at least half the sensor's size; otherwise, and from the Developed
// functions always, LibRaw's development of the raw data (the camera's white balance, sRGB,
// 8 bits, full size). Upright by the raw file's orientation; the metadata says which.
TOutcome<TDecodeNotes> StreamRawFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamRawBytes(TByteSource& in, TRowTarget& target);
TOutcome<TDecodeNotes> StreamRawDevelopedFile(const std::filesystem::path& path,
                                              TRowTarget& target);
TOutcome<TDecodeNotes> StreamRawDevelopedBytes(TByteSource& in, TRowTarget& target);
// JPEG XL (libjxl): the first frame, its orientation kept for the display.
TOutcome<TDecodeNotes> StreamJxlFile(const std::filesystem::path& path, TRowTarget& target);
TOutcome<TDecodeNotes> StreamJxlBytes(TByteSource& in, TRowTarget& target);

// The decoded picture (bytes blue, green, red), never a null raster, with what the file says
// about showing it (TRaster::Meta: JPEG's Exif orientation and ICC profile, BMP's colour
// space); or why it could not be decoded in plain words (open_reasons.h), the technical
// detail beside them. Metadata that cannot be read never fails a decode.
using TDecodeResult = TOutcome<TRaster>;

// Called on the decoding thread each time rows [firstRow, firstRow + count) of the
// final picture are complete, in top-to-bottom order, so a caller can count rows while
// later ones are still being decoded. The rows stay valid in the result image. Should the
// decode fail after some rows were reported, there is no result and those rows count for
// nothing.
using TRowsReady = std::function<void(const TRaster& image, int firstRow, int count)>;

// Files are read only when they are regular files (see TInputFile); paths are UTF-8.
// A decode whose cancel token is stopped ends at its next band of rows with a failure.

// libjpeg with the fast integer inverse DCT, inter-block smoothing on, and buffered-image
// decoding of progressive files (only the final output is reported). Grey files give grey
// levels; CMYK and YCCK files are converted to RGB; 12-bit files are refused. A file cut
// short decodes as far as its data goes (libjpeg fills the rest) and is marked incomplete
// (TRaster::Incomplete). Progressive files with an impossible sequence of scans, or too many
// scans (see MaxJpegScans), are refused.
TDecodeResult DecodeJpegFile(const std::filesystem::path& path, const TRowsReady& rowsReady = {},
                             std::stop_token cancel = {});
TDecodeResult DecodeJpegMemory(const std::uint8_t* data, std::size_t size,
                               const TRowsReady& rowsReady = {});

// Every common BMP variant: 1/4/8/16/24/32 bits, RLE4/RLE8, bit fields, top-down, OS/2 headers.
// Alpha is ignored. Uncompressed pixel data cut short is refused.
TDecodeResult DecodeBmpFile(const std::filesystem::path& path, std::stop_token cancel = {});
TDecodeResult DecodeBmpMemory(const std::uint8_t* data, std::size_t size);

} // namespace tonalyx
