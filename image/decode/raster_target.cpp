#include "raster_target.h"

namespace tonalyx {

bool TRasterTarget::Start(int width, int height) {
    FPrefault.reset();
    FImage = TRaster::Allocate(width, height);
    if (FImage.IsNull())
        return false;
    FPrefault = std::make_unique<TPrefault>(FImage.Bits(), FImage.SizeInBytes());
    return true;
}

TRowBand TRasterTarget::Rows(int firstRow, int) {
    return {FImage.Row(firstRow), FImage.Stride()};
}

void TRasterTarget::Written(int firstRow, int count) {
    if (FRowsReady)
        FRowsReady(FImage, firstRow, count);
}

TRaster TRasterTarget::Take() {
    FPrefault.reset();
    return std::move(FImage);
}

} // namespace tonalyx
