#include "whole_raster.h"

#include "open_reasons.h"

namespace tonalyx {

bool TWholeRaster::Start(int width, int height) {
    FPrefault.reset();
    const std::int64_t extra = FCovered ? std::int64_t{TRaster::CoveredExtra(width)} * height : 0;
    if (FAdmit && (FRefusal = FAdmit(width, height, FDecoderBytes + extra)))
        return false;
    FImage = TRaster::Allocate(width, height, FCovered);
    if (FImage.IsNull())
        return false;
    FPrefault = std::make_unique<TPrefault>(FImage.Bits(), FImage.SizeInBytes());
    return true;
}

TRowBand TWholeRaster::Rows(int firstRow, int) {
    return {FImage.Row(firstRow), FImage.Stride(),           FImage.CoverageRow(firstRow),
            FImage.Stride(),      FImage.AlphaRow(firstRow), FImage.Stride()};
}

void TWholeRaster::Written(int firstRow, int count) {
    if (FRowsReady)
        FRowsReady(FImage, firstRow, count);
}

TDecodeResult TWholeRaster::Finish(TOutcome<TDecodeNotes> decoded) {
    FPrefault.reset();
    TRaster image = std::move(FImage);
    if (FRefusal) // the decoder only knew that it could not start
        return *FRefusal;
    if (!decoded.Ok())
        return decoded.Error();
    if (image.IsNull()) // the decoder never started on it
        return BrokenPictureData("no picture came out");
    image.SetMeta(std::move(decoded->Meta));
    if (decoded->Incomplete)
        image.MarkIncomplete();
    return image;
}

} // namespace tonalyx
