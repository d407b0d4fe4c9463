// What the decoders read beside the pixels: the Exif orientation, the embedded ICC profile
// and a BMP's colour space. None of it changes the pixels, and none of it fails a decode.
#include "colour_fixture.h"
#include "decoder_test_support.h"

#include <cstring>

namespace tonalyx::test {
namespace {

TBytes Jpeg(const TRgb& picture, TJpegEncoding e) {
    e.Quality = 90;
    return EncodeWithLibjpeg(picture.Width, picture.Height, picture.Pixels, e);
}

TRaster DecodedOk(const TBytes& file, bool jpeg = true) {
    TDecodeResult r = jpeg ? DecodeJpegMemory(file.data(), file.size())
                           : DecodeBmpMemory(file.data(), file.size());
    EXPECT_TRUE(r.Ok()) << r.Reason();
    return r.Ok() ? std::move(r).Value() : TRaster();
}

// The file without its first marker of this kind (0xE2: APP2).
TBytes WithoutFirstMarker(TBytes jpeg, std::uint8_t marker) {
    for (size_t i = 2; i + 4 < jpeg.size();) {
        const size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (jpeg[i + 1] == marker) {
            jpeg.erase(jpeg.begin() + std::ptrdiff_t(i),
                       jpeg.begin() + std::ptrdiff_t(i + 2 + length));
            return jpeg;
        }
        i += 2 + length;
    }
    ADD_FAILURE() << "no such marker";
    return jpeg;
}

struct TOrientationCase {
    int Stored; // as written into the Exif block
    bool BigEndian;
    int Read;
};

class ExifOrientation : public testing::TestWithParam<TOrientationCase> {};

TEST_P(ExifOrientation, IsReadBesideTheStoredPixels) {
    const TOrientationCase c = GetParam();
    const TRgb picture = TestPicture(48, 32);
    TJpegEncoding tagged;
    tagged.Exif = ExifWithOrientation(c.Stored, c.BigEndian);
    const TRaster plain = DecodedOk(Jpeg(picture, {}));
    const TRaster turned = DecodedOk(Jpeg(picture, tagged));
    EXPECT_EQ(plain.Meta().Orientation, 1);
    EXPECT_EQ(turned.Meta().Orientation, c.Read);
    EXPECT_EQ(tonalyx::ExifOrientation(tagged.Exif.data(), tagged.Exif.size()), c.Read);
    // The decoder never turns the picture: the engine counts it as stored.
    EXPECT_TRUE(FromDecoded(plain) == FromDecoded(turned));
}

std::vector<TOrientationCase> OrientationCases() {
    std::vector<TOrientationCase> cases;
    for (int o = 1; o <= 8; ++o)
        for (bool bigEndian : {false, true})
            cases.push_back({o, bigEndian, o});
    for (int outside : {0, 9, 0xFFFF})
        cases.push_back({outside, false, 1});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllValues, ExifOrientation, testing::ValuesIn(OrientationCases()));

TEST(ExifOrientationBlock, ACutBlockNeverGivesAnotherValue) {
    const TBytes block = ExifWithOrientation(6);
    for (size_t cut = 0; cut < block.size(); ++cut) {
        const int read = tonalyx::ExifOrientation(block.data(), cut);
        EXPECT_TRUE(read == 1 || read == 6) << "cut at " << cut;
    }
    EXPECT_EQ(tonalyx::ExifOrientation(nullptr, 0), 1);
}

TEST(EmbeddedProfile, JpegProfilesOfOneOrManyMarkersAreReadWhole) {
    const TRgb picture = TestPicture(24, 16);
    TBytes large(150000); // above one marker's 65519 bytes: written in three
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = std::uint8_t(i * 13 + i / 251);
    for (const TBytes& profile : {RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)"), large}) {
        TJpegEncoding e;
        e.Icc = profile;
        const TRaster r = DecodedOk(Jpeg(picture, e));
        EXPECT_TRUE(r.Meta().IccProfile == profile) << profile.size();
        EXPECT_TRUE(r.Meta().ProfileProblem.empty());
        EXPECT_TRUE(FromDecoded(r) == FromDecoded(DecodedOk(Jpeg(picture, {}))));
    }
}

TEST(EmbeddedProfile, AProfileMissingAPartIsSetAsideAndThePictureStillDecodes) {
    const TRgb picture = TestPicture(24, 16);
    TJpegEncoding e;
    e.Icc = TBytes(100000, 0x5A);
    const TRaster r = DecodedOk(WithoutFirstMarker(Jpeg(picture, e), 0xE2));
    EXPECT_TRUE(r.Meta().IccProfile.empty());
    EXPECT_FALSE(r.Meta().ProfileProblem.empty());
    EXPECT_EQ(r.Width(), 24);
}

TEST(EmbeddedProfile, TheStoredModelDecidesWhichProfilesCanApply) {
    const TRgb picture = TestPicture(16, 16);
    const struct {
        J_COLOR_SPACE Input;
        TStoredModel Model;
    } rows[] = {{JCS_RGB, TStoredModel::Rgb},
                {JCS_GRAYSCALE, TStoredModel::Grey},
                {JCS_CMYK, TStoredModel::Cmyk}};
    for (const auto& row : rows) {
        TJpegEncoding e;
        e.Input = row.Input;
        const int components = row.Input == JCS_GRAYSCALE ? 1 : row.Input == JCS_CMYK ? 4 : 3;
        TBytes samples(size_t(16) * 16 * components);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = std::uint8_t(i * 7);
        const TBytes jpeg = EncodeWithLibjpeg(16, 16, samples, e);
        EXPECT_EQ(DecodedOk(jpeg).Meta().Model, row.Model) << row.Input;
    }
}

// 2.30 fixed point.
std::int32_t Fixed30(double v) {
    return std::int32_t(std::lround(v * (1 << 30)));
}

TEST(BmpColourSpace, EveryKindOfTheV5HeaderIsReadOrLeftAsItShouldBe) {
    const int w = 5, h = 3;
    const TBytes rows = StoredRows(w, h, 24, false, [](int x, int y) {
        const auto c = ColourAt(x, y);
        return std::uint64_t(c[0]) << 16 | std::uint64_t(c[1]) << 8 | c[2];
    });
    const TBytes adobe = RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)");
    const std::string link = "/etc/hostname";
    TBmpV5Colour calibrated{0, {}, {}, {}, 0};
    const double xyz[9] = {0.4124, 0.2126, 0.0193, 0.3576, 0.7152, 0.1192, 0.1805, 0.0722, 0.9505};
    for (int i = 0; i < 9; ++i)
        calibrated.Endpoints[i] = Fixed30(xyz[i]);
    calibrated.Gamma = {0x23333, 0x23333, 0x23333}; // 2.2
    const struct {
        const char* What;
        TBmpV5Colour Colour;
        bool Profile, Calibrated, Problem;
    } rowsOfTable[] = {
        {"sRGB", {}, false, false, false},
        {"the system's space", {0x57696E20, {}, {}, {}, 0}, false, false, false},
        {"embedded", {0x4D424544, {}, {}, adobe, 0}, true, false, false},
        {"embedded, pointing past the end", {0x4D424544, {}, {}, adobe, 40}, false, false, true},
        {"linked: never followed",
         {0x4C494E4B, {}, {}, TBytes(link.begin(), link.end()), 0},
         false,
         false,
         false},
        {"calibrated", calibrated, false, true, false},
        {"calibrated with nothing filled in", {0, {}, {}, {}, 0}, false, false, false},
    };
    const TRgb expected = DecodeBmpOk(MakeBmpV5(w, h, rows, {}));
    for (const auto& row : rowsOfTable) {
        SCOPED_TRACE(row.What);
        const TRaster r = DecodedOk(MakeBmpV5(w, h, rows, row.Colour), false);
        const TPictureMeta& meta = r.Meta();
        EXPECT_EQ(!meta.IccProfile.empty(), row.Profile);
        if (row.Profile) {
            EXPECT_TRUE(meta.IccProfile == adobe);
        }
        EXPECT_EQ(meta.Calibrated.has_value(), row.Calibrated);
        EXPECT_EQ(!meta.ProfileProblem.empty(), row.Problem);
        EXPECT_EQ(meta.Orientation, 1);
        EXPECT_TRUE(FromDecoded(r) == expected);
    }
    const TRaster r = DecodedOk(MakeBmpV5(w, h, rows, calibrated), false);
    ASSERT_TRUE(r.Meta().Calibrated);
    EXPECT_NEAR(r.Meta().Calibrated->Primaries[1][1], 0.7152, 1e-6);
    EXPECT_NEAR(r.Meta().Calibrated->Gamma[2], 2.2, 1e-4);
}

TEST(BmpColourSpace, TheSuitesProfilesAreReadAndItsLinkedOneIsNot) {
    const QString embedded = TestData("bmpsuite/q/rgb24prof.bmp");
    const QString linked = TestData("bmpsuite/q/rgb24lprof.bmp");
    REQUIRE_FILE(embedded);
    REQUIRE_FILE(linked);
    const TDecodeResult withProfile = DecodeBmpFile(embedded);
    ASSERT_TRUE(withProfile.Ok()) << withProfile.Reason();
    EXPECT_GT(withProfile->Meta().IccProfile.size(), 128u);
    const TDecodeResult withLink = DecodeBmpFile(linked);
    ASSERT_TRUE(withLink.Ok()) << withLink.Reason();
    EXPECT_TRUE(withLink->Meta().IccProfile.empty());
    EXPECT_TRUE(withLink->Meta().ProfileProblem.empty());
}

} // namespace
} // namespace tonalyx::test
