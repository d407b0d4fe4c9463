#include "reduced_copy.h"

#include "prefault.h"

#include <algorithm>

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

// The blocks' means of one result row from the column sums: out[i] = mean of the pixels of
// columns [start[i], start[i + 1]), Narrow or Narrow + 1 of them, over `rows` rows. Without
// a loop per block, whose varying length would cost a mispredicted branch every few blocks:
// the extra column is masked in (sums holds 3 more values past its last column for it).
// Each mean is rounded, (sum + n / 2) / n, by a multiplication with 2^32 / n (exact for
// blocks of fewer than 4096 pixels, off by one at worst above); blocks of more than
// 2^24 pixels would overflow.
template <int Narrow>
void EmitBlocks(const std::uint32_t* sums, const int* start, int columns, std::uint64_t rows,
                std::uint32_t* out) {
    std::uint64_t inverse[2], round[2];
    for (int wide = 0; wide < 2; ++wide) {
        const std::uint64_t pixels = static_cast<std::uint64_t>(Narrow + wide) * rows;
        inverse[wide] = (std::uint64_t{1} << 32) / pixels + 1;
        round[wide] = pixels / 2;
    }
    for (int i = 0; i < columns; ++i) {
        const std::uint32_t* p = sums + 3 * start[i];
        const auto wide = static_cast<std::uint32_t>(start[i + 1] - start[i] - Narrow);
        const std::uint32_t extra = 0u - wide; // every bit set for a wide block
        std::uint64_t s0 = p[3 * Narrow] & extra, s1 = p[3 * Narrow + 1] & extra,
                      s2 = p[3 * Narrow + 2] & extra;
        for (int k = 0; k < Narrow; ++k) {
            s0 += p[3 * k];
            s1 += p[3 * k + 1];
            s2 += p[3 * k + 2];
        }
        const std::uint64_t inv = inverse[wide], r = round[wide];
        const auto blue = static_cast<std::uint32_t>(((s0 + r) * inv) >> 32);
        const auto green = static_cast<std::uint32_t>(((s1 + r) * inv) >> 32);
        const auto red = static_cast<std::uint32_t>(((s2 + r) * inv) >> 32);
        out[i] = 0xFF000000u | red << 16 | green << 8 | blue;
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

} // namespace

TRowReducer::TBoxes::TBoxes(int width, int height, QSize size)
    : FWidth(width), FHeight(height), FResult(size, QImage::Format_RGB32),
      FSums(static_cast<std::size_t>(width) * 3 + 3) {
    const int columns = size.width();
    FColumnStart.resize(static_cast<std::size_t>(columns) + 1);
    for (int i = 0; i <= columns; ++i)
        FColumnStart[static_cast<std::size_t>(i)] = BlockStart(i, columns, width);
    FRowEnd = BlockStart(1, FResult.height(), FHeight);
}

void TRowReducer::TBoxes::AddRows(const TRasterView& image, int from, int to) {
    for (int y = from; y < to && !FResult.isNull(); ++y) {
        // Whole rows first, which vectorises; the columns are summed once per row of the
        // result.
        if (FRowsSummed++ == 0)
            SumRow<true>(FSums.data(), image.Row(y), FSums.size() - 3);
        else
            SumRow<false>(FSums.data(), image.Row(y), FSums.size() - 3);
        if (y + 1 == FRowEnd)
            EmitRow();
    }
}

void TRowReducer::TBoxes::EmitRow() {
    // Columns are of two widths only (the blocks tile the row in near-equal parts); the
    // common reductions, up to 4, have a loop of their own.
    const int columns = FResult.width();
    const int narrow = FColumnStart[1] - FColumnStart[0];
    const auto rows = static_cast<std::uint64_t>(FRowsSummed);
    auto* out = reinterpret_cast<std::uint32_t*>(FResult.scanLine(FRow));
    const std::uint32_t* sums = FSums.data();
    const int* start = FColumnStart.data();
    switch (narrow) {
    case 1:
        EmitBlocks<1>(sums, start, columns, rows, out);
        break;
    case 2:
        EmitBlocks<2>(sums, start, columns, rows, out);
        break;
    case 3:
        EmitBlocks<3>(sums, start, columns, rows, out);
        break;
    case 4:
        EmitBlocks<4>(sums, start, columns, rows, out);
        break;
    default: // large reductions, where summing the columns costs less than the rows did
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
                pixel |= static_cast<std::uint32_t>(((s[c] + round) * inverse[wide]) >> 32)
                         << (8 * c);
            out[i] = pixel;
        }
    }
    ++FRow;
    FRowsSummed = 0;
    if (FRow < FResult.height())
        FRowEnd = BlockStart(FRow + 1, FResult.height(), FHeight);
}

QImage TRowReducer::Reduce(const TRasterView& image, int previewSide) {
    const QSize size = ReducedCopySize(QSize(image.Width, image.Height), previewSide);
    if (size == QSize(image.Width, image.Height) || image.Bits == nullptr)
        return {};
    TBoxes boxes(image.Width, image.Height, size);
    boxes.AddRows(image, 0, image.Height);
    return std::move(boxes.Result());
}

TRowReducer::TRowReducer(int previewSide) : FSide(previewSide) {}

TRowReducer::~TRowReducer() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_one();
    if (FThread.joinable())
        FThread.join();
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
            FBoxes = std::make_unique<TBoxes>(image.Width(), image.Height(), size);
            FThread = std::thread([this] { Run(); });
        }
        FReady = firstRow + count;
        // Woken for a few batches at a time: each wake-up costs the decoder a system call.
        constexpr int WakeRows = 64;
        if (FReady - FDone < WakeRows && FReady < FView.Height)
            return;
    }
    FWake.notify_one();
}

void TRowReducer::Run() {
    MakeBackgroundThread();
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || FDone < FReady; });
        if (FStop || FBroken)
            return;
        const int from = FDone, to = std::min(FReady, FDone + ChunkRows);
        FBusy = true;
        lock.unlock();
        FBoxes->AddRows(FView, from, to);
        lock.lock();
        FBusy = false;
        FDone = to;
        if (FStop) {
            FFinished.notify_one();
            return;
        }
    }
}

QImage TRowReducer::Finish() {
    std::unique_lock lock(FMutex);
    if (FBroken || !FBoxes || FReady != FView.Height)
        return {};
    // The thread yields to every other one, so on a busy machine it may have fallen behind:
    // this thread, done with decoding, takes over after the rows at hand.
    FStop = true;
    FWake.notify_one();
    FFinished.wait(lock, [this] { return !FBusy; });
    const int from = FDone;
    lock.unlock();
    FThread.join();
    FBoxes->AddRows(FView, from, FView.Height);
    return std::move(FBoxes->Result());
}

} // namespace tonalyx
