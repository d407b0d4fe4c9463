#include "reduced_copy.h"

#include <algorithm>
#include <cstring>

namespace tonalyx {

QSize ReducedCopySize(QSize image, int previewSide) {
    if (previewSide <= 0 || std::max(image.width(), image.height()) <= previewSide)
        return image;
    // At least a pixel across, however long and thin the picture.
    return image.scaled(previewSide, previewSide, Qt::KeepAspectRatio).expandedTo({1, 1});
}

QImage ReducedCopy(const QImage& image, int previewSide) {
    const QSize size = ReducedCopySize(image.size(), previewSide);
    if (size == image.size())
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

namespace {

// Where block i of n over length starts: the blocks tile [0, length) in near-equal parts.
int BlockStart(int i, int n, int length) {
    return static_cast<int>(std::int64_t{i} * length / n);
}

// Four 32-bit lanes, one pixel's blue, green and red sums and a lane that goes unused: the
// compiler's vector types (GCC and Clang), which become SSE or NEON instructions.
using TLanes = std::int32_t __attribute__((vector_size(16)));
using TFloatLanes = float __attribute__((vector_size(16)));

TLanes LoadLanes(const std::uint32_t* p) {
    TLanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The blocks' means of one result row from the column sums: out[i] = mean of the pixels of
// columns [start[i], start[i + 1]), Narrow or Narrow + 1 of them, over `rows` rows. Without
// a loop per block, whose varying length would cost a mispredicted branch every few blocks:
// the extra column is masked in (sums holds 4 more values past its last column for it and
// for the unused lane). Each mean is rounded half up, in single precision: exact while a
// block's sum stays below 2^24, which blocks of up to 65793 pixels do.
template <int Narrow>
void EmitBlocks(const std::uint32_t* sums, const int* start, int columns, std::uint64_t rows,
                std::uint32_t* out) {
    const float inverse[2] = {1.0f / static_cast<float>(Narrow * rows),
                              1.0f / static_cast<float>((Narrow + 1) * rows)};
    for (int i = 0; i < columns; ++i) {
        const std::uint32_t* p = sums + 3 * start[i];
        const int wide = start[i + 1] - start[i] - Narrow;
        TLanes sum = LoadLanes(p + 3 * Narrow) & -wide; // every bit set for a wide block
        for (int k = 0; k < Narrow; ++k)
            sum += LoadLanes(p + 3 * k);
        const TFloatLanes mean = __builtin_convertvector(sum, TFloatLanes) * inverse[wide] + 0.5f;
        const TLanes rounded = __builtin_convertvector(mean, TLanes);
        out[i] = 0xFF000000u | static_cast<std::uint32_t>(rounded[2]) << 16 |
                 static_cast<std::uint32_t>(rounded[1]) << 8 |
                 static_cast<std::uint32_t>(rounded[0]);
    }
}

// The same for blocks of any width, narrow or narrow + 1 columns.
void EmitAnyBlocks(const std::uint32_t* sums, const int* start, int columns, std::uint64_t rows,
                   int narrow, std::uint32_t* out) {
    const std::uint64_t narrowPixels = static_cast<std::uint64_t>(narrow) * rows;
    const std::uint64_t widePixels = narrowPixels + rows;
    const std::uint64_t inverse[2] = {(std::uint64_t{1} << 32) / narrowPixels + 1,
                                      (std::uint64_t{1} << 32) / widePixels + 1};
    for (int i = 0; i < columns; ++i) {
        const int x0 = start[i], x1 = start[i + 1];
        std::uint64_t s[3] = {0, 0, 0};
        for (const std::uint32_t* p = sums + 3 * x0; p < sums + 3 * x1; p += 3)
            for (int c = 0; c < 3; ++c)
                s[c] += p[c];
        const int wide = x1 - x0 > narrow ? 1 : 0;
        const std::uint64_t round = (wide ? widePixels : narrowPixels) / 2;
        std::uint32_t pixel = 0xFF000000u;
        for (int c = 0; c < 3; ++c)
            pixel |= static_cast<std::uint32_t>(((s[c] + round) * inverse[wide]) >> 32) << (8 * c);
        out[i] = pixel;
    }
}

// sums[k] = row[k] (first) or sums[k] += row[k] for k < n. In runs of a fixed length, which
// the compiler turns into vector instructions.
template <bool First>
void SumRow(std::uint32_t* __restrict sums, const std::uint8_t* __restrict row, std::size_t n) {
    constexpr std::size_t Run = 32;
    std::size_t k = 0;
    for (; k + Run <= n; k += Run)
        for (std::size_t j = 0; j < Run; ++j)
            sums[k + j] = (First ? 0u : sums[k + j]) + row[k + j];
    for (; k < n; ++k)
        sums[k] = (First ? 0u : sums[k]) + row[k];
}

// One row of the copy of a picture with alpha, from its rows [first, end): each block's
// colour is the mean of its pixels' colours weighted by their alpha, so that the colour hidden
// under a transparent pixel does not bleed into its neighbours, and its alpha the mean alpha
// (QImage::Format_ARGB32, not premultiplied). Plain loops: pictures with alpha are rarely
// large.
void EmitAlphaBlocks(const TRasterView& image, int first, int end, const std::vector<int>& start,
                     std::vector<std::uint64_t>& sums, std::uint32_t* out) {
    const auto width = static_cast<std::size_t>(image.Width);
    sums.assign(width * 4, 0);
    for (int y = first; y < end; ++y) {
        const std::uint8_t* px = image.Row(y);
        const std::uint8_t* alpha = image.AlphaRow(y);
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint64_t a = alpha[x];
            std::uint64_t* s = &sums[4 * x];
            s[0] += px[3 * x] * a;
            s[1] += px[3 * x + 1] * a;
            s[2] += px[3 * x + 2] * a;
            s[3] += a;
        }
    }
    const auto rows = static_cast<std::uint64_t>(end - first);
    for (std::size_t i = 0; i + 1 < start.size(); ++i) {
        std::uint64_t block[4] = {0, 0, 0, 0};
        for (auto x = static_cast<std::size_t>(start[i]);
             x < static_cast<std::size_t>(start[i + 1]); ++x)
            for (int c = 0; c < 4; ++c)
                block[c] += sums[4 * x + static_cast<std::size_t>(c)];
        const std::uint64_t pixels = static_cast<std::uint64_t>(start[i + 1] - start[i]) * rows;
        const std::uint64_t a = block[3];
        std::uint32_t pixel = static_cast<std::uint32_t>((a + pixels / 2) / pixels) << 24;
        for (int c = 0; c < 3 && a > 0; ++c)
            pixel |= static_cast<std::uint32_t>((block[c] + a / 2) / a) << (8 * c);
        out[i] = pixel;
    }
}

} // namespace

TRowReducer::TBoxes::TBoxes(int width, int height, QSize size, bool alpha)
    : FHeight(height), FResult(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32),
      FSumCount(static_cast<std::size_t>(width) * 3) {
    const int columns = size.width();
    FColumnStart.resize(static_cast<std::size_t>(columns) + 1);
    for (int i = 0; i <= columns; ++i)
        FColumnStart[static_cast<std::size_t>(i)] = BlockStart(i, columns, width);
}

int TRowReducer::TBoxes::RowEnd(int row) const {
    return BlockStart(row + 1, FResult.height(), FHeight);
}

void TRowReducer::TBoxes::MakeRows(const TRasterView& image, int from, int to,
                                   std::vector<std::uint32_t>& sums) {
    if (FResult.isNull())
        return;
    if (image.Alpha) {
        std::vector<std::uint64_t> weighted;
        for (int row = from; row < to; ++row)
            EmitAlphaBlocks(image, BlockStart(row, FResult.height(), FHeight), RowEnd(row),
                            FColumnStart, weighted,
                            reinterpret_cast<std::uint32_t*>(FResult.scanLine(row)));
        return;
    }
    sums.resize(FSumCount + 4); // 4 more for the masked column and the unused lane
    const int columns = FResult.width();
    const int narrow = FColumnStart[1] - FColumnStart[0];
    const int* start = FColumnStart.data();
    for (int row = from; row < to; ++row) {
        // The picture's rows are summed whole first, which vectorises; the columns are
        // summed once per row of the copy.
        const int first = BlockStart(row, FResult.height(), FHeight), end = RowEnd(row);
        SumRow<true>(sums.data(), image.Row(first), FSumCount);
        for (int y = first + 1; y < end; ++y)
            SumRow<false>(sums.data(), image.Row(y), FSumCount);
        const auto rows = static_cast<std::uint64_t>(end - first);
        auto* out = reinterpret_cast<std::uint32_t*>(FResult.scanLine(row));
        // Columns are of two widths only (the blocks tile the row in near-equal parts); the
        // common reductions, up to 4, have a loop of their own.
        switch (narrow) {
        case 1:
            EmitBlocks<1>(sums.data(), start, columns, rows, out);
            break;
        case 2:
            EmitBlocks<2>(sums.data(), start, columns, rows, out);
            break;
        case 3:
            EmitBlocks<3>(sums.data(), start, columns, rows, out);
            break;
        case 4:
            EmitBlocks<4>(sums.data(), start, columns, rows, out);
            break;
        default: // large reductions, where summing the columns costs less than the rows did
            EmitAnyBlocks(sums.data(), start, columns, rows, narrow, out);
        }
    }
}

QImage TRowReducer::Reduce(const TRasterView& image, int previewSide) {
    const QSize size = ReducedCopySize(QSize(image.Width, image.Height), previewSide);
    if (size == QSize(image.Width, image.Height) || image.Bits == nullptr)
        return {};
    TBoxes boxes(image.Width, image.Height, size, image.Alpha != nullptr);
    std::vector<std::uint32_t> sums;
    boxes.MakeRows(image, 0, boxes.Rows(), sums);
    return std::move(boxes.Result());
}

TRowReducer::TRowReducer(int previewSide) : FSide(previewSide) {}

TRowReducer::~TRowReducer() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_one();
}

void TRowReducer::Add(const TRaster& image, int firstRow, int count) {
    {
        std::lock_guard lock(FMutex);
        if (FBroken)
            return;
        if (firstRow != FReady) { // rows come in order; anything else is not reduced here
            FBroken = true;
            return;
        }
        if (FReady == 0) {
            const QSize size = ReducedCopySize(QSize(image.Width(), image.Height()), FSide);
            if (size == QSize(image.Width(), image.Height())) {
                FBroken = true; // small enough as it is
                return;
            }
            FView = image.View();
            FBoxes =
                std::make_unique<TBoxes>(image.Width(), image.Height(), size, image.HasAlpha());
            FBottom = FBoxes->Rows();
            FThread.Start([this] { Run(); }, TThreadPriority::Lowered);
        }
        FReady = firstRow + count;
        // Woken for a few rows of the copy at a time: each wake-up costs the decoder a
        // system call.
        if (ThreadRowsEnd() - FTop < MadeAtOnce && FReady < FView.Height)
            return;
    }
    FWake.notify_one();
}

int TRowReducer::ThreadRowsEnd() const {
    int end = FTop;
    while (end < FBottom && end - FTop < MadeAtOnce && FBoxes->RowEnd(end) <= FReady)
        ++end;
    return end;
}

void TRowReducer::Run() {
    std::vector<std::uint32_t> sums;
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || FBroken || ThreadRowsEnd() > FTop; });
        if (FStop || FBroken)
            return;
        const int from = FTop, to = ThreadRowsEnd();
        FTop = to;
        lock.unlock();
        FBoxes->MakeRows(FView, from, to, sums);
        lock.lock();
        if (FStop || FTop >= FBottom)
            return;
    }
}

QImage TRowReducer::Finish() {
    std::unique_lock lock(FMutex);
    if (FBroken || !FBoxes || FReady != FView.Height)
        return {};
    // The thread yields to every other one, so on a busy machine it may have fallen behind.
    // This thread, done with decoding, makes the rows left from the bottom up, while the
    // thread goes on from the top, until they meet.
    std::vector<std::uint32_t> sums;
    while (FTop < FBottom) {
        const int to = FBottom, from = std::max(FTop, FBottom - MadeAtOnce);
        FBottom = from;
        lock.unlock();
        FBoxes->MakeRows(FView, from, to, sums);
        lock.lock();
    }
    FStop = true;
    FWake.notify_one();
    lock.unlock();
    FThread.Join(); // the rows it was making; rethrows what it threw (std::bad_alloc)
    return std::move(FBoxes->Result());
}

} // namespace tonalyx
