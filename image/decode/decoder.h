// Decoding JPEG and Windows BMP files into the 24-bit raster the engine counts.
#pragma once

#include "outcome.h"
#include "raster.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>

namespace tonalyx {

// Rasters above this many pixels are refused before any pixel memory is allocated.
inline constexpr std::int64_t MaxDecodePixels = 400'000'000;

// Multi-scan JPEG files are refused when they have more scans than this, or when their scans
// together cover the picture more than MaxJpegScanPasses times. Each scan costs a pass over
// the blocks it covers, so a small file that repeats one scan a few thousand times would
// keep the decoder busy for minutes; photographs have a dozen scans or so, covering the
// picture a few times over.
inline constexpr int MaxJpegScans = 1000;
inline constexpr int MaxJpegScanPasses = 100;

// The decoded picture (bytes blue, green, red), never a null raster; or a short human
// reason (UTF-8) it could not be decoded, with libjpeg's message code as the detail where
// libjpeg gave up.
using TDecodeResult = TOutcome<TRaster>;

// Called on the decoding thread each time rows [firstRow, firstRow + count) of the
// final picture are complete, in top-to-bottom order, so a caller can count rows while
// later ones are still being decoded. The rows stay valid in the result image. Should the
// decode fail after some rows were reported, there is no result and those rows count for
// nothing.
using TRowsReady = std::function<void(const TRaster& image, int firstRow, int count)>;

// Files are read only when they are regular files (see TInputFile); paths are UTF-8.
// A decode whose cancel token is stopped ends at its next batch of rows with a failure.

// libjpeg with the fast integer inverse DCT, inter-block smoothing on, and buffered-image
// decoding of progressive files (only the final output is reported). Grey files give grey
// levels; CMYK and YCCK files are converted to RGB; 12-bit files are refused. A file cut
// short decodes as far as its data goes (libjpeg fills the rest). Progressive files with
// an impossible sequence of scans, or too many scans (see MaxJpegScans), are refused.
TDecodeResult DecodeJpegFile(const std::filesystem::path& path, const TRowsReady& rowsReady = {},
                             std::stop_token cancel = {});
TDecodeResult DecodeJpegMemory(const std::uint8_t* data, std::size_t size,
                               const TRowsReady& rowsReady = {});

// Every common BMP variant: 1/4/8/16/24/32 bits, RLE4/RLE8, bit fields, top-down, OS/2 headers.
// Alpha is ignored. Uncompressed pixel data cut short is refused.
TDecodeResult DecodeBmpFile(const std::filesystem::path& path, std::stop_token cancel = {});
TDecodeResult DecodeBmpMemory(const std::uint8_t* data, std::size_t size);

} // namespace tonalyx
