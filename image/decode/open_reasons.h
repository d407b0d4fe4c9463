// Why a picture cannot be opened, in words a photographer understands. The decoders put
// one of these in TFailure::Reason and keep the technical detail (the system's or
// libjpeg's own words, byte values, sizes) in TFailure::Detail, which goes to the logs.
#pragma once

#include "outcome.h"

#include <cstdint>
#include <string>

namespace tonalyx {

// A file that could not be opened for reading; errorNumber is the errno of the attempt.
TFailure FileNotOpened(int errorNumber);
TFailure FolderNotPicture();
TFailure SpecialNotPicture(); // a device, a pipe or a socket named like a picture
TFailure EmptyFile();
TFailure NotJpegPicture(std::string detail);
TFailure NotBmpPicture(std::string detail);
// The same for any format of the table, by its name: "This file is not a PNG picture".
TFailure NotPictureOf(const char* format, std::string detail);
// The file ends before its header or its picture data do.
TFailure FileEndsEarly(std::string detail);
TFailure BrokenHeader(std::string detail);
TFailure BrokenPictureData(std::string detail);
// A kind of JPEG or BMP this program does not read (12-bit, embedded PNG, ...).
TFailure UnsupportedKind(const char* format, std::string detail);
// More pixels than MaxDecodePixels.
TFailure PictureTooLarge(std::int64_t width, std::int64_t height);
// A side longer than the decoder can handle, however few the pixels.
TFailure SideTooLong(std::string detail);
TFailure NotEnoughMemory(std::int64_t width, std::int64_t height);
// Two amounts of memory set against each other in one sentence, as a photographer reads
// them: in one unit, GB when both reach a gigabyte and MB otherwise ("1200 MB" against
// "800 MB"), with the same decimals (GB one, MB none), and up to two more while they would
// read the same or the smaller would read 0 without being 0. Should they still read the same,
// the larger is rounded up and the smaller down: amounts that differ never read equal.
struct TAmounts {
    std::string First, Second;
};
TAmounts AmountsAlike(std::int64_t first, std::int64_t second);

// Refused before decoding: opening the picture would hold `need` bytes (its pixels and the
// view's copy), more than the `left` bytes the system has free, or more than the `bound` bytes
// the program keeps for pictures (the image cache's bound).
TFailure PictureOverMemoryLeft(std::int64_t width, std::int64_t height, std::int64_t need,
                               std::uint64_t left);
TFailure PictureOverPictureMemory(std::int64_t width, std::int64_t height, std::int64_t need,
                                  std::int64_t bound);
// Refused before its preview is made (the open dialog's): making it would hold `need` bytes,
// more than the `bound` bytes a preview may take.
TFailure PreviewOverPreviewMemory(std::int64_t width, std::int64_t height, std::int64_t need,
                                  std::int64_t bound);
// The caller gave up on the picture (another one was opened, Escape was pressed); never shown.
TFailure DecodingCancelled();

} // namespace tonalyx
