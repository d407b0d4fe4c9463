#include "memory_room.h"

#include "histogram.h"
#include "open_reasons.h"
#include "reduced_copy.h"

#include <algorithm>

namespace tonalyx {

std::int64_t OpenBytes(int width, int height, int previewSide) {
    if (width <= 0 || height <= 0)
        return 0;
    const std::int64_t stride = (std::int64_t{width} * 3 + 3) / 4 * 4;
    const QSize reduced = ReducedCopySize(QSize(width, height), previewSide);
    const std::int64_t preview =
        reduced == QSize(width, height) ? 0 : std::int64_t{reduced.width()} * reduced.height() * 4;
    return stride * height + preview + static_cast<std::int64_t>(sizeof(TAllChanel));
}

std::optional<TFailure> WhyNotFits(int width, int height, int previewSide, const TRoom& room,
                                   std::int64_t decoderBytes) {
    const std::int64_t bytes = OpenBytes(width, height, previewSide);
    const std::int64_t peak = bytes + std::max<std::int64_t>(decoderBytes, 0);
    if (std::optional<TFailure> why = WhyOverMemoryLeft(width, height, peak, room.MemoryLeft))
        return why;
    if (room.CacheRoom && bytes > *room.CacheRoom)
        return PictureOverPictureMemory(width, height, bytes,
                                        std::max<std::int64_t>(*room.CacheRoom, 0));
    return std::nullopt;
}

std::optional<TFailure> WhyPreviewNotFits(int width, int height, std::int64_t bytes,
                                          std::uint64_t memoryLeft, std::int64_t cacheBound) {
    if (std::optional<TFailure> why = WhyOverMemoryLeft(width, height, bytes, memoryLeft))
        return why;
    const std::int64_t bound = std::max<std::int64_t>(cacheBound, 0) / 4;
    if (bytes > bound)
        return PreviewOverPreviewMemory(width, height, bytes, bound);
    return std::nullopt;
}

} // namespace tonalyx
