#include "colour_profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include <lcms2.h>

namespace tonalyx {

// Each transform lives in a context of its own, whose error handler keeps lcms2's first
// complaint for the failure's detail. The transform is made without lcms2's one-pixel
// cache, so that threads may share it.
struct TColourSpace::TTransform {
    std::string FirstError; // the context's user data: its address must not change
    cmsContext Context = nullptr;
    cmsHTRANSFORM Handle = nullptr;

    TTransform() : Context(cmsCreateContext(nullptr, &FirstError)) {
        if (Context)
            cmsSetLogErrorHandlerTHR(Context, KeepFirst);
    }
    ~TTransform() {
        if (Handle)
            cmsDeleteTransform(Handle);
        if (Context)
            cmsDeleteContext(Context);
    }
    TTransform(const TTransform&) = delete;
    TTransform& operator=(const TTransform&) = delete;

    static void KeepFirst(cmsContext context, cmsUInt32Number, const char* text) {
        auto* first = static_cast<std::string*>(cmsGetContextUserData(context));
        if (first && first->empty() && text)
            *first = text;
    }
};

namespace {

struct TProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using TProfile = std::unique_ptr<void, TProfileCloser>;

struct TCurveFreer {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using TCurve = std::unique_ptr<cmsToneCurve, TCurveFreer>;

// Grey values are stored as three equal bytes: the first is read, the other two skipped.
constexpr cmsUInt32Number GreyAsBgr8 =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);

// The profile's description, as a status bar can show it: one line, at most 80 characters.
std::string Description(cmsHPROFILE profile) {
    std::array<char, 256> text{};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text.data(),
                           static_cast<cmsUInt32Number>(text.size()));
    std::string name(text.data(), strnlen(text.data(), text.size()));
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = ' ';
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return "Unnamed colour profile";
    name = name.substr(first, name.find_last_not_of(' ') - first + 1);
    return name.size() > 80 ? name.substr(0, 80) : name;
}

// sRGB's tone curve, IEC 61966-2-1.
TCurve SrgbCurve(cmsContext context) {
    const cmsFloat64Number params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return TCurve(cmsBuildParametricToneCurve(context, 4, params));
}

// Whether the curve takes every 8-bit level to within one level of where sRGB's takes it.
bool CurveIsSrgb(const cmsToneCurve* curve, const cmsToneCurve* srgbInverse) {
    if (!curve)
        return false;
    for (int v = 0; v <= 255; ++v) {
        const float linear = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255.0f);
        const float back = cmsEvalToneCurveFloat(srgbInverse, linear) * 255.0f;
        if (!(std::fabs(back - static_cast<float>(v)) <= 1.0f))
            return false;
    }
    return true;
}

// Whether a profile shows its values as sRGB does, judged by its colorants and tone curves
// (the name says nothing: "sRGB" is also written on profiles that are not). Profiles
// without colorants, made of lookup tables, are judged by what they do to a grid of colours.
bool IsSrgb(cmsContext context, cmsHPROFILE profile, cmsHPROFILE srgb) {
    const TCurve curve = SrgbCurve(context);
    const TCurve inverse(curve ? cmsReverseToneCurve(curve.get()) : nullptr);
    if (!inverse)
        return false;
    if (static_cast<cmsUInt32Number>(cmsGetColorSpace(profile)) == cmsSigGrayData)
        return CurveIsSrgb(static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag)),
                           inverse.get());
    if (cmsIsMatrixShaper(profile)) {
        constexpr cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                                  cmsSigBlueColorantTag};
        constexpr cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag,
                                               cmsSigBlueTRCTag};
        for (int c = 0; c < 3; ++c) {
            const auto* mine = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorants[c]));
            const auto* ref = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb, colorants[c]));
            // Writers round the matrix differently; 0.005 is far below any other
            // space's difference (Adobe RGB's red differs by 0.17, Display P3's by 0.08).
            if (!mine || !ref || std::fabs(mine->X - ref->X) > 0.005 ||
                std::fabs(mine->Y - ref->Y) > 0.005 || std::fabs(mine->Z - ref->Z) > 0.005)
                return false;
            if (!CurveIsSrgb(static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c])),
                             inverse.get()))
                return false;
        }
        return true;
    }
    const cmsHTRANSFORM probe =
        cmsCreateTransformTHR(context, profile, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    if (!probe)
        return false;
    bool same = true;
    for (int r = 0; r <= 255 && same; r += 51)
        for (int g = 0; g <= 255 && same; g += 51)
            for (int b = 0; b <= 255 && same; b += 51) {
                const std::uint8_t in[3] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
                std::uint8_t out[3] = {};
                cmsDoTransform(probe, in, out, 1);
                for (int c = 0; c < 3; ++c)
                    same = same && std::abs(int(in[c]) - int(out[c])) <= 2;
            }
    cmsDeleteTransform(probe);
    return same;
}

// A matrix-and-curves profile for a BMP's calibrated RGB; null when the values make none.
TProfile CalibratedProfile(cmsContext context, const TCalibratedRgb& space) {
    cmsCIEXYZ white{0, 0, 0};
    cmsCIExyYTRIPLE primaries{};
    cmsCIExyY* xyY[3] = {&primaries.Red, &primaries.Green, &primaries.Blue};
    for (int p = 0; p < 3; ++p) {
        const cmsCIEXYZ xyz{space.Primaries[p][0], space.Primaries[p][1], space.Primaries[p][2]};
        cmsXYZ2xyY(xyY[p], &xyz);
        white.X += xyz.X;
        white.Y += xyz.Y;
        white.Z += xyz.Z;
    }
    cmsCIExyY whitePoint{};
    cmsXYZ2xyY(&whitePoint, &white);
    whitePoint.Y = 1;
    TCurve curves[3];
    cmsToneCurve* raw[3] = {};
    for (int c = 0; c < 3; ++c) {
        curves[c].reset(cmsBuildGamma(context, space.Gamma[c]));
        if (!curves[c])
            return nullptr;
        raw[c] = curves[c].get();
    }
    return TProfile(cmsCreateRGBProfileTHR(context, &whitePoint, &primaries, raw));
}

} // namespace

TOutcome<TColourSpace> TColourSpace::Of(const TPictureMeta& meta) {
    using TResult = TOutcome<TColourSpace>;
    if (!meta.ProfileProblem.empty())
        return TResult::Failure(meta.ProfileProblem);
    if (meta.Model == TStoredModel::Cmyk || (meta.IccProfile.empty() && !meta.Calibrated))
        return TColourSpace();
    auto transform = std::make_shared<TTransform>();
    if (!transform->Context)
        return TResult::Failure("no colour management is available", "cmsCreateContext failed");
    const cmsContext context = transform->Context;
    const auto failure = [&transform](const char* reason) {
        return TResult::Failure(reason, transform->FirstError);
    };

    TProfile profile;
    TColourSpace space;
    if (!meta.IccProfile.empty()) {
        profile.reset(cmsOpenProfileFromMemTHR(
            context, meta.IccProfile.data(), static_cast<cmsUInt32Number>(meta.IccProfile.size())));
        if (!profile)
            return failure("the embedded colour profile cannot be read");
        space.FName = Description(profile.get());
    } else {
        profile = CalibratedProfile(context, *meta.Calibrated);
        if (!profile)
            return failure("the calibrated colour space cannot be used");
        space.FName = "Calibrated RGB";
    }
    // As a number: a profile may hold any, and not every one is a value of the enumeration.
    const auto model = static_cast<cmsUInt32Number>(cmsGetColorSpace(profile.get()));
    const bool grey = meta.Model == TStoredModel::Grey;
    if (model != (grey ? cmsSigGrayData : cmsSigRgbData))
        return failure(grey ? "the embedded colour profile is not for a grey picture"
                            : "the embedded colour profile is not for an RGB picture");
    const TProfile srgb(cmsCreate_sRGBProfileTHR(context));
    if (!srgb)
        return failure("no colour management is available");
    if (IsSrgb(context, profile.get(), srgb.get()))
        return TColourSpace();
    transform->Handle =
        cmsCreateTransformTHR(context, profile.get(), grey ? GreyAsBgr8 : TYPE_BGR_8, srgb.get(),
                              TYPE_BGR_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!transform->Handle)
        return failure("the embedded colour profile cannot be used");
    space.FTransform = std::move(transform);
    return space;
}

void TColourSpace::ToSrgb(const TRasterView& in, std::uint8_t* out,
                          std::ptrdiff_t outStride) const {
    if (in.Width <= 0 || in.Height <= 0)
        return;
    if (!FTransform) {
        for (int y = 0; y < in.Height; ++y)
            std::memcpy(out + outStride * y, in.Row(y), static_cast<std::size_t>(in.Width) * 3);
        return;
    }
    cmsDoTransformLineStride(
        FTransform->Handle, in.Bits, out, static_cast<cmsUInt32Number>(in.Width),
        static_cast<cmsUInt32Number>(in.Height), static_cast<cmsUInt32Number>(in.Stride),
        static_cast<cmsUInt32Number>(outStride), 0, 0);
}

} // namespace tonalyx
