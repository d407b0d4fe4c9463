// The colour space a picture's values are in, judged against sRGB, named, and converted to
// sRGB for showing it (with lcms2). Only the shown copy is converted: the histograms count
// the values as stored. No Qt: the decoder fuzzers drive it too.
#pragma once

#include "histogram.h"
#include "outcome.h"
#include "picture_meta.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tonalyx {

class TColourSpace {
  public:
    TColourSpace() = default; // sRGB: nothing to convert, nothing to name

    // The space of a picture with this metadata. No profile, a profile that is sRGB in all
    // but its name, and CMYK pictures (their values are a plain conversion of the inks) give
    // sRGB. A profile that cannot be used (broken, cut short, or for another colour model)
    // gives a failure saying why, with lcms2's words as the detail; the caller then shows
    // the stored values. Any thread; a few milliseconds at most.
    static TOutcome<TColourSpace> Of(const TPictureMeta& meta);

    bool Converts() const { return FTransform != nullptr; }
    // The profile's own description ("Adobe RGB (1998)"), or a plain name when it has none;
    // empty for sRGB.
    const std::string& Name() const { return FName; }

    // Rows of blue, green, red bytes converted to sRGB into out, a buffer of in's size apart
    // from it; a copy when nothing converts. Any thread, also at once on several.
    void ToSrgb(const TRasterView& in, std::uint8_t* out, std::ptrdiff_t outStride) const;

    struct TTransform; // lcms2's, with the context it lives in

  private:
    std::string FName;
    std::shared_ptr<const TTransform> FTransform; // null: sRGB
};

} // namespace tonalyx
