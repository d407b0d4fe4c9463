// Exif blocks made with libexif and ICC profiles made with lcms2, for the tests and the
// fuzzers' seeds: no file is downloaded. No Qt and no test framework.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <lcms2.h>
#include <libexif/exif-data.h>

namespace tonalyx::test {

// An APP1 payload ("Exif\0\0", then TIFF) whose first directory holds this orientation
// (any number, also outside 1..8).
inline std::vector<std::uint8_t> ExifWithOrientation(int orientation, bool bigEndian = false) {
    ExifData* exif = exif_data_new();
    const ExifByteOrder order = bigEndian ? EXIF_BYTE_ORDER_MOTOROLA : EXIF_BYTE_ORDER_INTEL;
    exif_data_set_byte_order(exif, order);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, order, static_cast<ExifShort>(orientation));
    exif_entry_unref(entry);
    unsigned char* data = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &data, &size);
    std::vector<std::uint8_t> out(data, data + size);
    std::free(data);
    exif_data_unref(exif);
    return out;
}

struct TRgbSpace {
    cmsCIExyY White;
    cmsCIExyYTRIPLE Primaries;
    double Gamma; // 0: sRGB's own curve
};

inline const TRgbSpace SrgbSpace{
    {0.3127, 0.3290, 1}, {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, 0};
// Adobe RGB (1998): wider greens, gamma 563/256.
inline const TRgbSpace AdobeRgbSpace{
    {0.3127, 0.3290, 1}, {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, 563.0 / 256.0};

inline std::vector<std::uint8_t> SavedProfile(cmsHPROFILE profile, const std::string& name) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", name.c_str());
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> out(size);
    cmsSaveProfileToMem(profile, out.data(), &size);
    cmsCloseProfile(profile);
    return out;
}

inline cmsToneCurve* CurveOf(double gamma) {
    if (gamma > 0)
        return cmsBuildGamma(nullptr, gamma);
    const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, srgb);
}

// A matrix-and-curves RGB profile of this space, described as name.
inline std::vector<std::uint8_t> RgbProfile(const TRgbSpace& space, const std::string& name) {
    cmsToneCurve* curve = CurveOf(space.Gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&space.White, &space.Primaries, curves);
    cmsFreeToneCurve(curve);
    return SavedProfile(profile, name);
}

// A grey profile with this gamma (0: sRGB's curve) and a D65 white.
inline std::vector<std::uint8_t> GreyProfile(double gamma, const std::string& name) {
    cmsToneCurve* curve = CurveOf(gamma);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return SavedProfile(profile, name);
}

// The CIE L*a*b* space as a profile: one no RGB or grey picture can be in.
inline std::vector<std::uint8_t> LabProfile() {
    return SavedProfile(cmsCreateLab4Profile(nullptr), "Lab");
}

} // namespace tonalyx::test
