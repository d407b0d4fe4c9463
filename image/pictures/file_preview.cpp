#include "file_preview.h"

#include "display_copy.h"
#include "image_format.h"
#include "open_reasons.h"
#include "qt_raster.h"
#include "reduced_copy.h"
#include "ucache.h"

#include <new>
#include <utility>

namespace tonalyx {

namespace {

// Where block i of n over length starts: the blocks tile [0, length) in near-equal parts, as
// TRowReducer's do.
std::vector<int> BlockStarts(int n, int length) {
    std::vector<int> starts(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i)
        starts[static_cast<std::size_t>(i)] = static_cast<int>(std::int64_t{i} * length / n);
    return starts;
}

std::ptrdiff_t StrideOf(int width) {
    return (std::ptrdiff_t{width} * 3 + 3) / 4 * 4;
}

} // namespace

TReducingTarget::TReducingTarget(int side, std::stop_token cancel, TAdmission admit)
    : FSide(side), FCancel(std::move(cancel)), FAdmit(std::move(admit)) {}

std::int64_t TReducingTarget::HeldBytes(int width, int height, int side) {
    if (width <= 0 || height <= 0)
        return 0;
    const QSize copy = ReducedCopySize(QSize(width, height), side);
    const std::int64_t pixels = std::int64_t{copy.width()} * copy.height();
    return (StrideOf(width) + width) * StreamBandRows + pixels * (4 * 8 + 4) +
           (std::int64_t{copy.width()} + copy.height() + 2) * 4;
}

bool TReducingTarget::Start(int width, int height) {
    if (width <= 0 || height <= 0)
        return false;
    if (FAdmit && (FRefusal = FAdmit(width, height, FDecoderBytes)))
        return false;
    FPicture = QSize(width, height);
    FCopy = ReducedCopySize(FPicture, FSide);
    FStride = StrideOf(width);
    try {
        FBand.assign(static_cast<std::size_t>(FStride) * StreamBandRows, 0);
        FAlphaBand.assign(FAlpha ? static_cast<std::size_t>(width) * StreamBandRows : 0, 0);
        FColumnStart = BlockStarts(FCopy.width(), width);
        FRowStart = BlockStarts(FCopy.height(), height);
        FSums.assign(static_cast<std::size_t>(FCopy.width()) * FCopy.height() * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

TRowBand TReducingTarget::Rows(int, int) {
    TRowBand band{FBand.data(), FStride};
    if (FAlpha) {
        band.Alpha = FAlphaBand.data();
        band.AlphaStride = FPicture.width();
    }
    return band;
}

int TReducingTarget::CopyRowOf(int y) const {
    // A guess at or before the row, then on to the block that holds y.
    int row = static_cast<int>(std::int64_t{y} * FCopy.height() / FPicture.height());
    while (FRowStart[static_cast<std::size_t>(row) + 1] <= y)
        ++row;
    return row;
}

namespace {

// Adds one row's pixels to the sums of the copy's columns (blue, green, red, weight each):
// weighted by alpha, or, for an opaque picture, each pixel weighing 1 without a multiply.
template <bool Weighted>
void FoldRow(const std::uint8_t* row, const std::uint8_t* alpha, const int* columnStart,
             int columns, std::uint64_t* sums) {
    for (int c = 0; c < columns; ++c, sums += 4) {
        std::uint64_t blue = 0, green = 0, red = 0, weight = 0;
        for (int x = columnStart[c]; x < columnStart[c + 1]; ++x) {
            const std::uint8_t* p = row + 3 * x;
            if constexpr (Weighted) {
                const std::uint64_t a = alpha[x];
                blue += p[0] * a;
                green += p[1] * a;
                red += p[2] * a;
                weight += a;
            } else {
                blue += p[0];
                green += p[1];
                red += p[2];
            }
        }
        sums[0] += blue;
        sums[1] += green;
        sums[2] += red;
        sums[3] +=
            Weighted ? weight : static_cast<std::uint64_t>(columnStart[c + 1] - columnStart[c]);
    }
}

} // namespace

void TReducingTarget::Written(int firstRow, int count) {
    FRowsWritten += count;
    if (Cancelled()) // the rows count for nothing now: the decoder stops at its next band
        return;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* row = FBand.data() + i * FStride;
        std::uint64_t* sums = FSums.data() + static_cast<std::size_t>(CopyRowOf(firstRow + i)) *
                                                 static_cast<std::size_t>(FCopy.width()) * 4;
        if (FAlpha)
            FoldRow<true>(row, FAlphaBand.data() + i * FPicture.width(), FColumnStart.data(),
                          FCopy.width(), sums);
        else
            FoldRow<false>(row, nullptr, FColumnStart.data(), FCopy.width(), sums);
    }
}

QImage TReducingTarget::Finish() const {
    if (FPicture.isEmpty() || FRowsWritten != FPicture.height() || Cancelled())
        return {};
    QImage copy(FCopy, FAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (copy.isNull())
        return {};
    const std::uint64_t* sums = FSums.data();
    for (int y = 0; y < FCopy.height(); ++y) {
        const auto rows = static_cast<std::uint64_t>(FRowStart[static_cast<std::size_t>(y) + 1] -
                                                     FRowStart[static_cast<std::size_t>(y)]);
        auto* out = reinterpret_cast<std::uint32_t*>(copy.scanLine(y));
        for (int x = 0; x < FCopy.width(); ++x, sums += 4) {
            const std::uint64_t n =
                rows * static_cast<std::uint64_t>(FColumnStart[static_cast<std::size_t>(x) + 1] -
                                                  FColumnStart[static_cast<std::size_t>(x)]);
            // Without alpha the weight is the pixels' number: plain means, rounded half up
            // as TRowReducer rounds; with it, as TRowReducer weights them.
            const std::uint64_t weight = sums[3];
            std::uint32_t pixel =
                FAlpha ? static_cast<std::uint32_t>((weight + n / 2) / n) << 24 : 0xFF000000u;
            for (int c = 0; c < 3 && weight > 0; ++c)
                pixel |= static_cast<std::uint32_t>((sums[c] + weight / 2) / weight) << (8 * c);
            out[x] = pixel;
        }
    }
    return copy;
}

TFilePreview MakeFilePreview(const QString& path, int side, std::stop_token cancel,
                             const TMemoryLeft& memoryLeft) {
    const std::int64_t cacheBound = DefaultCacheBound();
    TReducingTarget target(
        side, std::move(cancel), [&](int width, int height, std::int64_t decoderBytes) {
            return WhyPreviewNotFits(width, height,
                                     TReducingTarget::HeldBytes(width, height, side) + decoderBytes,
                                     memoryLeft ? memoryLeft() : MemoryLeftBytes(), cacheBound);
        });
    TOutcome<TDecodeNotes> decoded = StreamImageFile(PathOf(path), target);
    TFilePreview preview;
    if (target.Cancelled()) { // a decoder may finish its last bands without asking
        preview.Failure = DecodingCancelled();
        return preview;
    }
    if (target.Refusal()) {
        preview.Failure = target.Refusal();
        preview.Refused = true;
        return preview;
    }
    if (!decoded.Ok()) {
        preview.Shown = target.Picture(); // as stored: the orientation comes with a decode's end
        preview.Failure = decoded.Error();
        return preview;
    }
    const TDisplayForm form(decoded->Meta, path);
    preview.Shown = form.ShownSize(target.Picture());
    preview.Picture = form.Apply(target.Finish());
    if (preview.Picture.isNull())
        preview.Failure = TFailure{"The preview could not be made", "rows missing"};
    return preview;
}

} // namespace tonalyx
