// A picture file's preview made without ever holding the picture: the decoder lends its rows
// a band at a time to a target that folds them into the reduced copy, which is then turned
// upright and converted to sRGB as the image view shows pictures (display_copy.h).
#pragma once

#include "decoder.h"
#include "memory_room.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

namespace tonalyx {

// A decoder's rows folded into a copy reduced to a long side of `side` (never enlarged),
// each pixel the rounded mean of the block of the picture it covers, as TRowReducer makes the
// view's copy; but the rows may come in any order (a BMP's mostly come bottom up), and the
// target holds one band of them, the copy's sums and the copy, whatever the picture's size.
// Called on the decoding thread.
class TReducingTarget final : public TRowTarget {
  public:
    // The decode ends at its next band once cancel is stopped; admit, when set, may refuse
    // the picture before anything of its size is allocated.
    TReducingTarget(int side, std::stop_token cancel, TAdmission admit);

    void DecoderHolds(std::int64_t bytes) override { FDecoderBytes = bytes; }
    bool Start(int width, int height) override;
    // A picture with alpha: the copy is weighted by it and keeps it, as the view's copy does.
    bool StartCovered(int width, int height) override {
        FAlpha = true;
        return Start(width, height);
    }
    TRowBand Rows(int firstRow, int count) override;
    void Written(int firstRow, int count) override;
    bool Cancelled() const override { return FCancel.stop_requested(); }

    // What the target holds for a picture of width × height, in bytes (beside the decoder).
    static std::int64_t HeldBytes(int width, int height, int side);
    // The picture's size once the decoder has given it; empty before.
    QSize Picture() const { return FPicture; }
    // Why admit refused the picture, when it did.
    const std::optional<TFailure>& Refusal() const { return FRefusal; }
    // The reduced copy (QImage::Format_RGB32, or Format_ARGB32 with alpha) once every row was
    // written, uncancelled; null otherwise.
    QImage Finish() const;

  private:
    // Which row of the copy picture row y falls in.
    int CopyRowOf(int y) const;

    const int FSide;
    const std::stop_token FCancel;
    const TAdmission FAdmit;
    std::int64_t FDecoderBytes = 0;
    std::optional<TFailure> FRefusal;
    QSize FPicture, FCopy;
    std::ptrdiff_t FStride = 0;
    bool FAlpha = false;
    std::vector<std::uint8_t> FBand, FAlphaBand;
    std::vector<int> FColumnStart, FRowStart; // copy column i covers [start[i], start[i + 1])
    // Of every pixel of the copy: blue, green, red (weighted by alpha when it has one) and the
    // alpha.
    std::vector<std::uint64_t> FSums;
    std::int64_t FRowsWritten = 0;
};

struct TFilePreview {
    QImage Picture; // upright, in sRGB, reduced; null when there is none
    QSize Shown;    // the picture's size as the window shows it; empty when the file gave none
    std::optional<TFailure> Failure; // why there is no picture
    bool Refused = false;            // Failure is the memory rule's, decided from the header
};

// The preview of the picture file at path, reduced to a long side of `side` and made by the
// program's decoders, chosen by the file's extension. It is refused from the header when it
// would not fit (WhyPreviewNotFits; memoryLeft: MemoryLeftBytes or a stand-in); a decode that
// breaks off after the header leaves the picture's size as stored. Any thread; cancel ends
// the decode at its next band of rows.
TFilePreview MakeFilePreview(const QString& path, int side, std::stop_token cancel = {},
                             const TMemoryLeft& memoryLeft = {});

} // namespace tonalyx
