#include "current_hist.h"

#include "accumulate.h"
#include "render.h"

namespace tonalyx {

TCurrentHist::TCurrentHist(int levelIndex) : FHist(std::make_unique<THist>()) {
    FHist->SmoothRepeatCnt = SmoothLevels[static_cast<std::size_t>(levelIndex)].RepCnt;
}

TCurrentHist::TCurrentHist(TCurrentHist&&) noexcept = default;
TCurrentHist& TCurrentHist::operator=(TCurrentHist&&) noexcept = default;
TCurrentHist::~TCurrentHist() = default;

int TCurrentHist::SmoothLevel() const {
    for (std::size_t i = 0; i < SmoothLevels.size(); ++i)
        if (SmoothLevels[i].RepCnt == FHist->SmoothRepeatCnt)
            return static_cast<int>(i);
    return SmoothLevelOff; // a pass count of no level (written through Engine()) reads as off
}

bool TCurrentHist::SetSmoothLevel(int levelIndex) {
    const std::uint8_t repCnt = SmoothLevels[static_cast<std::size_t>(levelIndex)].RepCnt;
    if (repCnt == FHist->SmoothRepeatCnt)
        return false;
    FHist->SmoothRepeatCnt = repCnt;
    RemakeDisplay();
    return true;
}

void TCurrentHist::Count(const TRasterView& raster) {
    FHist->Calc(Origin, raster);
    RemakeDisplay();
}

void TCurrentHist::Count(const TRasterView& raster, const TPrimaryCounts& primaries) {
    FHist->CalcCounted(Origin, raster, primaries);
    RemakeDisplay();
}

void TCurrentHist::Count(const TStreamedCounts& counts) {
    FHist->CalcStreamed(Origin, counts);
    RemakeDisplay();
}

void TCurrentHist::Adopt(const TAllChanel& counts) {
    FHist->Adopt(Origin, counts);
    RemakeDisplay();
}

bool TCurrentHist::Restore(const std::function<bool(TAllChanel& raw)>& fill) {
    if (!fill(FHist->Data[Origin]))
        return false;
    RemakeDisplay();
    return true;
}

void TCurrentHist::Show(THistSurfaces& surfaces) {
    FHist->Show(Origin4Show, surfaces);
}

void TCurrentHist::RemakeDisplay() {
    FHist->Calc4Show(Origin, Origin4Show);
}

} // namespace tonalyx
