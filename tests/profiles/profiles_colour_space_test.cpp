// Colour spaces judged against sRGB by what they are, named by what they call themselves,
// converted to sRGB; broken ones refused with a reason. The profiles are made with lcms2 here.
#include "colour_profile.h"
#include "decoder.h"

#include "colour_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>

namespace tonalyx::test {
namespace {

using TBytes = std::vector<std::uint8_t>;
using TPixel = std::array<int, 3>; // red, green, blue

TPictureMeta WithProfile(TBytes profile, TStoredModel model = TStoredModel::Rgb) {
    TPictureMeta meta;
    meta.IccProfile = std::move(profile);
    meta.Model = model;
    return meta;
}

// One pixel through the conversion.
TPixel Shown(const TColourSpace& space, TPixel stored) {
    const std::uint8_t in[3] = {std::uint8_t(stored[2]), std::uint8_t(stored[1]),
                                std::uint8_t(stored[0])};
    std::uint8_t out[3] = {};
    space.ToSrgb({1, 1, in, 3}, out, 3);
    return {out[2], out[1], out[0]};
}

void ExpectNear(TPixel got, TPixel want, int tolerance) {
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], want[c], tolerance)
            << "channel " << c << " of " << got[0] << "," << got[1] << "," << got[2];
}

const TRgbSpace DisplayP3Space{
    {0.3127, 0.3290, 1}, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 0};
const TRgbSpace SrgbGamma22Space{SrgbSpace.White, SrgbSpace.Primaries, 2.2};

TEST(ColourSpace, AnAdobeRgbPatchShowsAsAColourManagedViewerShowsIt) {
    const TOutcome<TColourSpace> adobe =
        TColourSpace::Of(WithProfile(RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)")));
    ASSERT_TRUE(adobe.Ok()) << DescribeFailure(adobe.Error());
    ASSERT_TRUE(adobe->Converts());
    ExpectNear(Shown(*adobe, {60, 160, 60}), {0, 161, 47}, 1);
    ExpectNear(Shown(*adobe, {255, 255, 255}), {255, 255, 255}, 1);
    ExpectNear(Shown(*adobe, {0, 0, 0}), {0, 0, 0}, 1);
}

TEST(ColourSpace, ProfilesAreNamedByWhatTheyDoNotByWhatTheyAreCalled) {
    const struct {
        const char* What;
        TBytes Profile;
        TStoredModel Model;
        std::string Name; // empty: sRGB, shown as stored
    } rows[] = {
        {"sRGB", RgbProfile(SrgbSpace, "sRGB IEC61966-2.1"), TStoredModel::Rgb, ""},
        {"sRGB calling itself Adobe", RgbProfile(SrgbSpace, "Adobe RGB (1998)"), TStoredModel::Rgb,
         ""},
        {"Adobe RGB", RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)"), TStoredModel::Rgb,
         "Adobe RGB (1998)"},
        {"Adobe RGB calling itself sRGB", RgbProfile(AdobeRgbSpace, "sRGB"), TStoredModel::Rgb,
         "sRGB"},
        {"Display P3: sRGB's curve, wider primaries", RgbProfile(DisplayP3Space, "Display P3"),
         TStoredModel::Rgb, "Display P3"},
        {"sRGB's primaries, gamma 2.2", RgbProfile(SrgbGamma22Space, "sRGB 2.2"), TStoredModel::Rgb,
         "sRGB 2.2"},
        {"a description in blanks", RgbProfile(AdobeRgbSpace, "  \t "), TStoredModel::Rgb,
         "Unnamed colour profile"},
        {"grey with sRGB's curve", GreyProfile(0, "Grey sRGB"), TStoredModel::Grey, ""},
        {"grey, gamma 1.8", GreyProfile(1.8, "Grey 1.8"), TStoredModel::Grey, "Grey 1.8"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        const TOutcome<TColourSpace> space = TColourSpace::Of(WithProfile(row.Profile, row.Model));
        ASSERT_TRUE(space.Ok()) << DescribeFailure(space.Error());
        EXPECT_EQ(space->Name(), row.Name);
        EXPECT_EQ(space->Converts(), !row.Name.empty());
    }
}

TEST(ColourSpace, GreyPicturesConvertThroughTheirGreyCurve) {
    const TOutcome<TColourSpace> linear =
        TColourSpace::Of(WithProfile(GreyProfile(1.0, "Linear grey"), TStoredModel::Grey));
    ASSERT_TRUE(linear.Ok()) << DescribeFailure(linear.Error());
    // Half the light is level 188 in sRGB.
    ExpectNear(Shown(*linear, {128, 128, 128}), {188, 188, 188}, 1);
}

TEST(ColourSpace, CalibratedRgbIsJudgedAsAProfileIs) {
    // Each primary's CIE XYZ under D65, as a BMP header stores them.
    const auto calibrated = [](TCalibratedRgb space) {
        TPictureMeta meta;
        meta.Calibrated = space;
        return TColourSpace::Of(meta);
    };
    const double adobeGamma = 563.0 / 256.0;
    const TOutcome<TColourSpace> adobe = calibrated(
        {{{{0.5767, 0.2974, 0.0270}, {0.1856, 0.6273, 0.0707}, {0.1882, 0.0753, 0.9911}}},
         {adobeGamma, adobeGamma, adobeGamma}});
    ASSERT_TRUE(adobe.Ok()) << DescribeFailure(adobe.Error());
    EXPECT_EQ(adobe->Name(), "Calibrated RGB");
    ExpectNear(Shown(*adobe, {60, 160, 60}), {0, 161, 47}, 2);
    const TOutcome<TColourSpace> srgbGamma22 = calibrated(
        {{{{0.4124, 0.2126, 0.0193}, {0.3576, 0.7152, 0.1192}, {0.1805, 0.0722, 0.9505}}},
         {2.2, 2.2, 2.2}});
    ASSERT_TRUE(srgbGamma22.Ok());
    EXPECT_TRUE(srgbGamma22->Converts());
}

TEST(ColourSpace, WhatCannotBeUsedIsRefusedWithAReason) {
    const TBytes adobe = RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)");
    TBytes noise(600);
    std::mt19937 random(7);
    for (auto& b : noise)
        b = std::uint8_t(random());
    TBytes unknownModel = adobe;
    for (int i = 16; i < 20; ++i) // the header's colour space: no signature at all
        unknownModel[i] = 0xAC;
    TPictureMeta announced;
    announced.ProfileProblem = "the embedded colour profile lies outside the file";
    const struct {
        const char* What;
        TPictureMeta Meta;
    } rows[] = {
        {"cut in half", WithProfile(TBytes(adobe.begin(), adobe.begin() + 300))},
        {"noise", WithProfile(noise)},
        {"L*a*b* for an RGB picture", WithProfile(LabProfile())},
        {"a colour space that does not exist", WithProfile(unknownModel)},
        {"RGB for a grey picture", WithProfile(adobe, TStoredModel::Grey)},
        {"grey for an RGB picture", WithProfile(GreyProfile(1.8, "Grey"))},
        {"announced but unreadable", announced},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        const TOutcome<TColourSpace> space = TColourSpace::Of(row.Meta);
        EXPECT_FALSE(space.Ok());
        EXPECT_FALSE(space.Reason().empty());
    }
    // CMYK pictures are shown as stored whatever their profile says.
    const TOutcome<TColourSpace> cmyk = TColourSpace::Of(WithProfile(adobe, TStoredModel::Cmyk));
    ASSERT_TRUE(cmyk.Ok());
    EXPECT_FALSE(cmyk->Converts());
}

TEST(ColourSpace, RowsConvertWithTheirStridesAndWithoutAProfileAreCopied) {
    const TOutcome<TColourSpace> adobe =
        TColourSpace::Of(WithProfile(RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)")));
    ASSERT_TRUE(adobe.Ok());
    // Two rows of two patches with padding after each row, in and out.
    const std::uint8_t in[2][8] = {{60, 160, 60, 60, 160, 60, 0xEE, 0xEE},
                                   {0, 0, 0, 255, 255, 255, 0xEE, 0xEE}};
    for (const TColourSpace& space : {*adobe, TColourSpace()}) {
        std::uint8_t out[2][9];
        std::memset(out, 0xAB, sizeof out);
        space.ToSrgb({2, 2, &in[0][0], 8}, &out[0][0], 9);
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(out[y][6], 0xAB); // padding untouched
            if (!space.Converts()) {
                EXPECT_EQ(0, std::memcmp(out[y], in[y], 6));
            }
        }
        if (space.Converts()) {
            EXPECT_TRUE(out[0][0] == out[0][3] && out[0][1] == out[0][4] && out[1][3] >= 254);
        }
    }
}

// The public BMP suite's picture whose red and green are stored swapped, with a profile that
// swaps them back: converted, it shows as the plain picture does.
TEST(ColourSpace, TheSuitesSwappingProfileSwapsTheChannelsBack) {
    const std::string dir = TONALYX_TESTDATA "/bmpsuite/";
    const TDecodeResult swapped = DecodeBmpFile(dir + "q/rgb24prof2.bmp");
    const TDecodeResult plain = DecodeBmpFile(dir + "g/rgb24.bmp");
    if (!swapped.Ok() || !plain.Ok())
        GTEST_SKIP() << "the BMP suite is not present";
    const TOutcome<TColourSpace> space = TColourSpace::Of(swapped->Meta());
    ASSERT_TRUE(space.Ok()) << DescribeFailure(space.Error());
    ASSERT_TRUE(space->Converts());
    const TRasterView in = swapped->View();
    ASSERT_EQ(in.Width, plain->Width());
    std::vector<std::uint8_t> out(std::size_t(in.Width) * 3 * in.Height);
    space->ToSrgb(in, out.data(), std::ptrdiff_t{in.Width} * 3);
    // The profile's curve is not quite sRGB's: dark levels move by a few steps.
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < in.Height; ++y)
        for (int x = 0; x < 3 * in.Width; ++x) {
            const int d = std::abs(int(out[std::size_t(y) * 3 * in.Width + x]) -
                                   int(plain->View().Row(y)[x]));
            worst = std::max(worst, d);
            sum += d;
        }
    EXPECT_LE(worst, 12);
    EXPECT_LE(sum / (3.0 * in.Width * in.Height), 2.0);
}

} // namespace
} // namespace tonalyx::test
