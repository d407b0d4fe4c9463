#include "whole_raster.h"

namespace tonalyx {

bool TWholeRaster::Start(int width, int height) {
    FPrefault.reset();
    FImage = TRaster::Allocate(width, height);
    if (FImage.IsNull())
        return false;
    FPrefault = std::make_unique<TPrefault>(FImage.Bits(), FImage.SizeInBytes());
    return true;
}

TRowBand TWholeRaster::Rows(int firstRow, int) {
    return {FImage.Row(firstRow), FImage.Stride()};
}

void TWholeRaster::Written(int firstRow, int count) {
    if (FRowsReady)
        FRowsReady(FImage, firstRow, count);
}

TRaster TWholeRaster::Take() {
    FPrefault.reset();
    return std::move(FImage);
}

} // namespace tonalyx
