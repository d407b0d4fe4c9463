#include "coded_colour.h"

#include <lcms2.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonalyx {
namespace {

constexpr int PrimariesBt709 = 1;
constexpr int Unspecified = 2;
constexpr int TransferSrgb = 13;
constexpr int TransferPq = 16;
constexpr int TransferHlg = 18;

struct TLcmsFree {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};

// The decoding curve (stored value to linear light) of a transfer code point, as an lcms2
// parametric curve: its type and parameters (type 1: gamma; type 4: sRGB's shape).
struct TCurve {
    int Type;
    std::vector<double> Params;
};

std::optional<TCurve> CurveOf(int transfer) {
    switch (transfer) {
    case Unspecified:
    case TransferSrgb:
        return TCurve{4, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}};
    case 1:
    case 6:
    case 14:
    case 15: // BT.709's and BT.601's curve, whose BT.2020 versions differ only in precision
        return TCurve{4, {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081}};
    case 4:
        return TCurve{1, {2.2}};
    case 5:
        return TCurve{1, {2.8}};
    case 8:
        return TCurve{1, {1.0}};
    default:
        return std::nullopt;
    }
}

bool Plausible(const std::array<double, 8>& xy) {
    for (std::size_t i = 0; i < xy.size(); i += 2)
        if (!(xy[i] >= 0 && xy[i] <= 1 && xy[i + 1] > 0 && xy[i + 1] <= 1))
            return false;
    return true;
}

std::vector<std::uint8_t> SavedProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0)
        return {};
    std::vector<std::uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
        return {};
    bytes.resize(size);
    return bytes;
}

} // namespace

void DescribeCodedColour(const TCodedColour& colour, TPictureMeta& meta) {
    const bool srgbPrimaries =
        colour.Primaries == PrimariesBt709 || colour.Primaries == Unspecified;
    const bool srgbCurve = colour.Transfer == TransferSrgb || colour.Transfer == Unspecified;
    if (srgbPrimaries && srgbCurve)
        return;
    if (colour.Transfer == TransferPq || colour.Transfer == TransferHlg) {
        meta.ProfileProblem = std::string("The picture is coded for high dynamic range (") +
                              (colour.Transfer == TransferPq ? "PQ" : "HLG") +
                              "), which is shown as stored";
        return;
    }
    const std::optional<TCurve> curve = CurveOf(colour.Transfer);
    if (!curve) {
        meta.ProfileProblem = "The picture's tone curve (code " + std::to_string(colour.Transfer) +
                              ") is not one this program converts";
        return;
    }
    // Unspecified primaries are sRGB's (BT.709's), with D65 white.
    const std::array<double, 8> xy =
        colour.Primaries == Unspecified
            ? std::array<double, 8>{0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290}
            : colour.Chromaticities;
    if (!Plausible(xy)) {
        meta.ProfileProblem =
            "The picture's primaries (code " + std::to_string(colour.Primaries) + ") are not known";
        return;
    }
    const std::unique_ptr<cmsToneCurve, TLcmsFree> tone(
        cmsBuildParametricToneCurve(nullptr, curve->Type, curve->Params.data()));
    const cmsCIExyY white{xy[6], xy[7], 1.0};
    const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
    cmsToneCurve* curves[3] = {tone.get(), tone.get(), tone.get()};
    const std::unique_ptr<void, TLcmsFree> profile(
        tone ? cmsCreateRGBProfile(&white, &primaries, curves) : nullptr);
    meta.IccProfile = profile ? SavedProfile(profile.get()) : std::vector<std::uint8_t>{};
    if (meta.IccProfile.empty())
        meta.ProfileProblem = "The picture's colour description cannot be made a profile";
}

} // namespace tonalyx
