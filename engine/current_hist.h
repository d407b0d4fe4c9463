// The histogram of the picture in view: the engine's raw counts, the smoothing level the
// user chose, and the display copy made from the two. The window, tonalyx-render and
// tonalyx-cli each hold one, so the display copy is made the same way everywhere.
// One thread at a time; the counters (360 KB) live on the heap.
#pragma once

#include "histogram.h"

#include <functional>
#include <memory>

namespace tonalyx {

class TPrimaryCounts;  // accumulate.h
class TStreamedCounts; // accumulate.h
class THistSurfaces;   // render.h

// The level the smoothing switch selects: Medium when on, Off when off.
constexpr int SmoothLevelOfSwitch(bool on) {
    return on ? SmoothLevelMedium : SmoothLevelOff;
}

class TCurrentHist {
  public:
    // levelIndex indexes SmoothLevels.
    explicit TCurrentHist(int levelIndex = SmoothLevelOff);
    TCurrentHist(TCurrentHist&&) noexcept;
    TCurrentHist& operator=(TCurrentHist&&) noexcept;
    ~TCurrentHist();

    // The index into SmoothLevels of the engine's smoothing passes.
    int SmoothLevel() const;
    // A new level remakes the display copy from the raw counts; the picture is not counted
    // again. False, changing nothing, when the level is the current one.
    bool SetSmoothLevel(int levelIndex);

    // The raw counts of a raster (with its primaries already counted, where a decoder
    // counted them row by row), then the display copy.
    void Count(const TRasterView& raster);
    void Count(const TRasterView& raster, const TPrimaryCounts& primaries);
    // The raw counts of a picture counted pass by pass over its rows (the tools, which never
    // hold it); the same as a count of the whole raster.
    void Count(const TStreamedCounts& counts);
    // Raw counts another engine made of a raster, as if counted here; then the display copy.
    void Adopt(const TAllChanel& counts);
    // Raw counts kept elsewhere (the image cache), written in place by fill; when fill
    // returns true the display copy is remade from them. Returns what fill returned.
    bool Restore(const std::function<bool(TAllChanel& raw)>& fill);

    const TAllChanel& Raw() const { return FHist->Data[Origin]; }
    const TAllChanel& Display() const { return FHist->Data[Origin4Show]; }
    bool IsCalculated() const { return FHist->IsCalculated(); }
    // Draws the display copy into the ten targets.
    void Show(THistSurfaces& surfaces);

    // The engine itself, for readers of its records and for tests.
    THist& Engine() { return *FHist; }
    const THist& Engine() const { return *FHist; }

  private:
    void RemakeDisplay();

    std::unique_ptr<THist> FHist;
};

} // namespace tonalyx
