#include "clipping_mask.h"

#include "qt_raster.h"
#include "reduced_copy.h"

#include <algorithm>

namespace tonalyx {

std::vector<std::uint8_t> ClipBlocks(const TRasterView& stored, QSize reduced,
                                     std::stop_token stop) {
    const int w = stored.Width, h = stored.Height, rw = reduced.width(), rh = reduced.height();
    if (w <= 0 || h <= 0 || rw <= 0 || rh <= 0)
        return {};
    std::vector<int> column(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x)
        column[static_cast<std::size_t>(x)] =
            static_cast<int>(static_cast<std::int64_t>(x) * rw / w);
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rw) * static_cast<std::size_t>(rh), 0);
    for (int y = 0; y < h; ++y) {
        if (stop.stop_requested())
            return {};
        const std::uint8_t* p = stored.Row(y);
        std::uint8_t* out =
            bits.data() + static_cast<std::int64_t>(y) * rh / h * static_cast<std::int64_t>(rw);
        for (int x = 0; x < w; ++x, p += 3) {
            if (stored.Coverage && !stored.Coverage.Counted(x, y))
                continue; // transparent: nothing of it is shown, nothing clips
            const std::uint8_t lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
            const std::uint8_t clip = static_cast<std::uint8_t>((lo == 0 ? ClipShadow : 0) |
                                                                (hi == 255 ? ClipHighlight : 0));
            out[column[static_cast<std::size_t>(x)]] |= clip;
        }
    }
    return bits;
}

QRgb ClipColour(std::uint8_t bits) {
    switch (bits & (ClipShadow | ClipHighlight)) {
    case ClipShadow:
        return qRgb(0, 0, 255);
    case ClipHighlight:
        return qRgb(255, 0, 0);
    case ClipShadow | ClipHighlight:
        return qRgb(255, 0, 255);
    default:
        return qRgba(0, 0, 0, 0);
    }
}

QImage ClippingOverlay(const TRasterView& stored, int previewSide, const TDisplayForm& form,
                       std::stop_token stop) {
    if (stored.Bits == nullptr)
        return {};
    const QSize reduced = ReducedCopySize(QSize(stored.Width, stored.Height), previewSide);
    return OverlayOfClipBits(ClipBlocks(stored, reduced, stop), reduced, ClipColour, form);
}

QImage OverlayOfClipBits(const std::vector<std::uint8_t>& bits, QSize reduced,
                         QRgb (*colour)(std::uint8_t), const TDisplayForm& form) {
    if (bits.empty())
        return {};
    QImage overlay(reduced, QImage::Format_ARGB32);
    if (overlay.isNull())
        return {};
    for (int y = 0; y < reduced.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(overlay.scanLine(y));
        const std::uint8_t* in = bits.data() + static_cast<std::size_t>(y) * reduced.width();
        for (int x = 0; x < reduced.width(); ++x)
            row[x] = colour(in[x]);
    }
    return form.Upright(overlay);
}

} // namespace tonalyx
