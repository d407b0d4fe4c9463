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
      FSums(static_cast<std::size_t>(width) * 3) {
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
            SumRow<true>(FSums.data(), image.Row(y), FSums.size());
        else
            SumRow<false>(FSums.data(), image.Row(y), FSums.size());
        if (y + 1 == FRowEnd)
            EmitRow();
    }
}

void TRowReducer::TBoxes::EmitRow() {
    // Each block's mean, rounded: (sum + n / 2) / n, by a multiplication with 2^32 / n
    // (exact for blocks of fewer than 4096 pixels, off by one at worst above). Columns are
    // of two widths only, so the divisions are made once per row.
    const int columns = FResult.width();
    const int narrow = FColumnStart[1] - FColumnStart[0];
    const auto rows = static_cast<std::uint64_t>(FRowsSummed);
    std::uint64_t inverse[2];
    for (int wide = 0; wide < 2; ++wide) {
        const std::uint64_t pixels = static_cast<std::uint64_t>(narrow + wide) * rows;
        inverse[wide] = pixels ? ((std::uint64_t{1} << 32) / pixels + 1) : 0;
    }
    auto* out = reinterpret_cast<std::uint32_t*>(FResult.scanLine(FRow));
    const std::uint32_t* sums = FSums.data();
    for (int i = 0; i < columns; ++i, ++out) {
        const int x0 = FColumnStart[static_cast<std::size_t>(i)];
        const int x1 = FColumnStart[static_cast<std::size_t>(i) + 1];
        std::uint64_t s0 = 0, s1 = 0, s2 = 0;
        for (const std::uint32_t* p = sums + 3 * x0; p < sums + 3 * x1; p += 3) {
            s0 += p[0];
            s1 += p[1];
            s2 += p[2];
        }
        const std::uint64_t inv = inverse[x1 - x0 > narrow ? 1 : 0];
        const std::uint64_t round = static_cast<std::uint64_t>(x1 - x0) * rows / 2;
        const auto blue = static_cast<std::uint32_t>(((s0 + round) * inv) >> 32);
        const auto green = static_cast<std::uint32_t>(((s1 + round) * inv) >> 32);
        const auto red = static_cast<std::uint32_t>(((s2 + round) * inv) >> 32);
        *out = 0xFF000000u | red << 16 | green << 8 | blue;
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
