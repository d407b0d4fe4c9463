// HEIF and AVIF files made by heif-enc: counted as heif-convert decodes them, at 8, 10 and
// 12 bits, with alpha; damaged files refused in plain words; the colour description read.
#include "tool_pictures.h"

#include <lcms2.h>

#include <QDir>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

class HeifFiles : public testing::Test {
  protected:
    void SetUp() override {
        REQUIRE_TOOL("heif-enc");
        REQUIRE_TOOL("heif-convert");
        REQUIRE_TOOL("pngtopam");
        ASSERT_TRUE(Dir.isValid());
    }
    std::string In(const std::string& name) const {
        return Dir.filePath(QString::fromStdString(name)).toStdString();
    }
    // source made with ImageMagick and encoded by heif-enc with args into name.
    void Encode(TSource source, const QStringList& args, const std::string& name) {
        const std::string png = In(name + ".png");
        ASSERT_EQ(MakeSourcePng(source, png), std::nullopt);
        ASSERT_EQ(RunTool("heif-enc", QStringList(args) << QString::fromStdString(png) << "-o"
                                                        << QString::fromStdString(In(name))),
                  std::nullopt);
    }
    QTemporaryDir Dir;
};

struct THeifCase {
    const char* File;
    TSource Source;
    QStringList Args;
    int Bits;
    bool Alpha;
};

class HeifVariants : public HeifFiles, public testing::WithParamInterface<THeifCase> {};

} // namespace

// heif-convert writes samples of more than 8 bits widened to 16 by a shift (v << (16 − n)):
// the test shifts them back, and fails should a sample not be such a shift, so the counts
// are compared with the stored values, which libheif gives both.
TEST_P(HeifVariants, CountAsHeifConvertDecodes) {
    const THeifCase& c = GetParam();
    const std::string file = In(c.File);
    Encode(c.Source, c.Args, c.File);
    const std::string png = In("reference.png");
    const std::string pam = In("reference.pam");
    ASSERT_EQ(RunTool("heif-convert", {QString::fromStdString(file), QString::fromStdString(png)}),
              std::nullopt);
    const std::string toPam = c.Alpha ? "pngtopam -alphapam '" : "pngtopam '";
    ASSERT_EQ(RunTool("sh", {"-c", QString::fromStdString(toPam + png + "' > '" + pam + "'")}),
              std::nullopt);
    if (c.Bits > 8) {
        const std::optional<TReferencePicture> wide = ReadNetpbm(pam);
        ASSERT_TRUE(wide && wide->Bits() == 16);
        ASSERT_TRUE(WriteNarrowedPam(*wide, c.Bits, pam)) << "heif-convert no longer shifts";
    }
    ExpectCountsAsReference(file, pam, c.Bits, c.Alpha);
}

INSTANTIATE_TEST_SUITE_P(
    HeifEnc, HeifVariants,
    testing::Values(THeifCase{"rgb8.heic", TSource::Rgb8, {}, 8, false},
                    THeifCase{"rgba8.heic", TSource::Rgba8, {}, 8, true},
                    THeifCase{"lossless.heif",
                              TSource::Rgba8,
                              {"-L", "-p", "chroma=444", "--matrix_coefficients=0"},
                              8,
                              true},
                    THeifCase{"rgb10.heic", TSource::Rgb16, {"-b", "10"}, 10, false},
                    THeifCase{"rgba12.hif", TSource::Rgba16, {"-b", "12"}, 12, true},
                    THeifCase{"grey.heic", TSource::Grey8, {}, 8, false},
                    // heif-enc aborts on AVIF of more than 8 bits here; libheif's path for
                    // wide samples is the same for both.
                    THeifCase{"rgb8.avif", TSource::Rgb8, {}, 8, false},
                    THeifCase{"rgba444.avif", TSource::Rgba8, {"-p", "chroma=444"}, 8, true}),
    [](const testing::TestParamInfo<THeifCase>& param) {
        std::string name = param.param.File;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

// Damaged files and files that are something else give a plain reason, never rows.
TEST_F(HeifFiles, DamagedFilesAreRefusedInPlainWords) {
    Encode(TSource::Rgb8, {}, "good.heic");
    Encode(TSource::Rgb8, {}, "good.avif");
    const std::vector<std::uint8_t> heic = FileBytes(In("good.heic"));
    const auto ispe =
        std::search(heic.begin(), heic.end(), std::begin("ispe"), std::end("ispe") - 1) -
        heic.begin();
    ASSERT_LT(std::size_t(ispe), heic.size());
    // Every ispe box's width and height, big-endian, after its version and flags.
    const auto withSize = [&](std::uint32_t w, std::uint32_t h) {
        std::vector<std::uint8_t> b = heic;
        for (auto at = b.begin() + ispe; at != b.end();
             at = std::search(at + 4, b.end(), std::begin("ispe"), std::end("ispe") - 1))
            for (int i = 0; i < 4; ++i) {
                at[8 + i] = std::uint8_t(w >> (24 - 8 * i));
                at[12 + i] = std::uint8_t(h >> (24 - 8 * i));
            }
        return b;
    };
    const std::vector<std::uint8_t> png = FileBytes(In("good.heic.png"));
    struct TBad {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        const char* Reason;
    } bad[] = {
        {"cut.heic",
         {heic.begin(), heic.begin() + std::ptrdiff_t(heic.size() * 2 / 3)},
         "The file ends early"},
        {"cut-header.heic", {heic.begin(), heic.begin() + 40}, "The file ends early"},
        {"cut-type.heic", {heic.begin(), heic.begin() + 10}, "The file ends early"},
        {"png.heic", png, "This file is not a HEIF picture"},
        {"png.avif", png, "This file is not an AVIF picture"},
        {"huge.heic", withSize(30000, 30000), "larger than"},
        {"endless.heic", withSize(1u << 30, 16), "too wide or too tall"},
        {"empty.hif", {}, "empty"},
    };
    for (const TBad& b : bad) {
        SCOPED_TRACE(b.Name);
        PutFile(In(b.Name), b.Bytes);
        EXPECT_NE(WhyRefused(In(b.Name)).find(b.Reason), std::string::npos)
            << WhyRefused(In(b.Name));
    }
}

// A file whose coded data is far larger than its header declares (a grid's output size, a
// coded frame's size) is refused before libheif allocates its planes: the grid file, 950
// bytes, would otherwise take gigabytes.
TEST_F(HeifFiles, CodedDataLargerThanTheHeaderIsRefusedBeforeItsPlanes) {
    Encode(TSource::Rgb8, {}, "frame.heic");
    std::vector<std::uint8_t> frame = FileBytes(In("frame.heic"));
    const char ispe[] = "ispe";
    int boxes = 0;
    for (auto at = std::search(frame.begin(), frame.end(), ispe, ispe + 4); at != frame.end();
         at = std::search(at + 4, frame.end(), ispe, ispe + 4), ++boxes) {
        std::fill(at + 8, at + 16, std::uint8_t{0});
        at[11] = at[15] = 16; // 16×16 pixels declared, 150×37 coded
    }
    ASSERT_GT(boxes, 0);
    PutFile(In("small-header.heic"), frame);
    for (const std::string& file :
         {In("small-header.heic"),
          std::string(TONALYX_HEIF_DATA "/grid-larger-than-its-header.heic")}) {
        SCOPED_TRACE(file);
        TWholeRaster target({}, {}, {});
        const TOutcome<TDecodeNotes> r = StreamHeifFile(file, target);
        ASSERT_FALSE(r.Ok());
        EXPECT_EQ(r.Reason(), BrokenPictureData({}).Reason);
        EXPECT_NE(r.Detail().find("larger than the file's header declares"), std::string::npos)
            << r.Detail();
    }
}

// A phone's HEIC turns its picture by an irot property (and mirrors it by imir) rather than
// by Exif: libheif applies them, so the rows arrive upright and the orientation stays 1.
// heif-enc writes neither; its pixi property, 16 bytes, is overwritten with one of them
// (padded: libheif skips what a property leaves unread), so no offset in the file moves.
TEST_F(HeifFiles, ItsTransformationsTurnThePictureUpright) {
    Encode(TSource::Rgb8, {}, "upright.heic"); // red at the top, blue at the bottom
    const std::vector<std::uint8_t> upright = FileBytes(In("upright.heic"));
    const char pixi[] = "pixi";
    const auto at = std::search(upright.begin(), upright.end(), pixi, pixi + 4) - upright.begin();
    ASSERT_LT(std::size_t(at), upright.size());
    ASSERT_EQ(upright[std::size_t(at) - 1], 16);
    const auto with = [&](const char* box, std::uint8_t value) {
        std::vector<std::uint8_t> b = upright;
        std::copy(box, box + 4, b.begin() + at);
        std::fill(b.begin() + at + 4, b.begin() + at + 12, std::uint8_t{0});
        b[std::size_t(at) + 4] = value;
        return b;
    };
    // How red the rows' first and last columns and first and last rows are.
    struct TSides {
        int Left, Right, Top, Bottom;
    };
    const auto redness = [](const TRasterView& r) {
        const auto red = [&](int x, int y) { return r.Row(y)[3 * x + 2] - r.Row(y)[3 * x]; };
        TSides s{};
        for (int y = 0; y < r.Height; ++y) {
            s.Left += red(0, y);
            s.Right += red(r.Width - 1, y);
        }
        for (int x = 0; x < r.Width; ++x) {
            s.Top += red(x, 0);
            s.Bottom += red(x, r.Height - 1);
        }
        return s;
    };
    const struct {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        int Width, Height;
        bool RedLeft, RedTop;
    } turned[] = {
        {"a quarter turn anticlockwise", with("irot", 1), 37, 150, true, false},
        {"a half turn", with("irot", 2), 150, 37, false, false},
        {"three quarters", with("irot", 3), 37, 150, false, false},
        {"mirrored top to bottom", with("imir", 0), 150, 37, false, false},
    };
    for (const auto& t : turned) {
        SCOPED_TRACE(t.Name);
        PutFile(In("turned.heic"), t.Bytes);
        const TDecodeResult r = DecodeWhole(In("turned.heic"));
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_EQ(r->Meta().Orientation, 1);
        ASSERT_EQ(r->Width(), t.Width);
        ASSERT_EQ(r->Height(), t.Height);
        const TSides s = redness(r->View());
        if (t.Width < t.Height) {
            EXPECT_EQ(s.Left > s.Right, t.RedLeft) << s.Left << " " << s.Right;
        } else {
            EXPECT_EQ(s.Top > s.Bottom, t.RedTop) << s.Top << " " << s.Bottom;
        }
    }
}

// libheif decodes the whole picture before the first band; the target's cancel is still
// heard before each band, and before the decode itself.
TEST_F(HeifFiles, ACancelledDecodeEndsBeforeItsNextBand) {
    Encode(TSource::Rgba16, {"-b", "10"}, "cancel.heic");
    for (const int bands : {0, 1}) {
        TCancellingTarget target(bands);
        const TOutcome<TDecodeNotes> r = StreamHeifFile(In("cancel.heic"), target);
        ASSERT_FALSE(r.Ok());
        EXPECT_EQ(r.Reason(), DecodingCancelled().Reason);
        EXPECT_EQ(target.Bands(), bands);
    }
}

// An embedded ICC profile reaches the metadata as stored, a damaged one too (the display
// judges it); an nclx description is made a profile unless it is sRGB's, and one for high
// dynamic range is named as a problem.
TEST_F(HeifFiles, ColourProfilesReachTheMetadata) {
    REQUIRE_TOOL("/usr/bin/convert");
    const QString icc = "/usr/share/color/icc/ghostscript/a98.icc";
    if (!QFileInfo::exists(icc))
        GTEST_SKIP() << "no ICC profile to embed";
    const std::vector<std::uint8_t> profile = FileBytes(icc.toStdString());
    ASSERT_EQ(MakeSourcePng(TSource::Rgb8, In("plain.png")), std::nullopt);
    ASSERT_EQ(RunTool("/usr/bin/convert", {QString::fromStdString(In("plain.png")), "-profile", icc,
                                           QString::fromStdString(In("icc.png"))}),
              std::nullopt);
    ASSERT_EQ(RunTool("heif-enc", {QString::fromStdString(In("icc.png")), "-o",
                                   QString::fromStdString(In("icc.heic"))}),
              std::nullopt);
    TDecodeResult r = DecodeWhole(In("icc.heic"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta().IccProfile, profile);

    std::vector<std::uint8_t> damaged = FileBytes(In("icc.heic"));
    const auto at =
        std::search(damaged.begin(), damaged.end(), profile.begin(), profile.begin() + 64);
    ASSERT_NE(at, damaged.end());
    std::fill(at + 36, at + 40, std::uint8_t{'X'}); // the 'acsp' signature
    PutFile(In("damaged-icc.heic"), damaged);
    r = DecodeWhole(In("damaged-icc.heic"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta().IccProfile.size(), profile.size());

    // heif-enc here writes every AVIF with an nclx box of unspecified primaries and curve,
    // whatever it is told: the box's code points are set in the file.
    ASSERT_EQ(RunTool("heif-enc", {QString::fromStdString(In("plain.png")), "-o",
                                   QString::fromStdString(In("plain.avif"))}),
              std::nullopt);
    const std::vector<std::uint8_t> avif = FileBytes(In("plain.avif"));
    const char colr[] = "colrnclx";
    const auto codes = std::search(avif.begin(), avif.end(), colr, colr + 8) - avif.begin() + 8;
    ASSERT_LT(std::size_t(codes), avif.size());
    struct TNclx {
        std::uint8_t Primaries;
        std::uint8_t Transfer;
        bool Profile;
        const char* Problem;
    } nclx[] = {
        {1, 13, false, ""},   {2, 2, false, ""},     {9, 13, true, ""},           {1, 1, true, ""},
        {9, 16, false, "PQ"}, {9, 18, false, "HLG"}, {1, 17, false, "tone curve"}};
    for (const TNclx& n : nclx) {
        SCOPED_TRACE(std::to_string(n.Primaries) + "/" + std::to_string(n.Transfer));
        std::vector<std::uint8_t> coded = avif;
        coded[std::size_t(codes) + 1] = n.Primaries; // big-endian 16 bits each
        coded[std::size_t(codes) + 3] = n.Transfer;
        PutFile(In("nclx.avif"), coded);
        r = DecodeWhole(In("nclx.avif"));
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_EQ(!r->Meta().IccProfile.empty(), n.Profile);
        EXPECT_NE(r->Meta().ProfileProblem.find(n.Problem), std::string::npos);
        EXPECT_EQ(r->Meta().ProfileProblem.empty(), *n.Problem == 0);
        if (!n.Profile)
            continue;
        // The profile made converts as its description says: BT.709's curve lightens mid
        // grey in sRGB; BT.2020's primaries make a colour more saturated there.
        cmsHPROFILE from = cmsOpenProfileFromMem(r->Meta().IccProfile.data(),
                                                 cmsUInt32Number(r->Meta().IccProfile.size()));
        ASSERT_NE(from, nullptr);
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHTRANSFORM t =
            cmsCreateTransform(from, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
        ASSERT_NE(t, nullptr);
        const std::uint8_t in[6] = {128, 128, 128, 200, 100, 100};
        std::uint8_t out[6] = {};
        cmsDoTransform(t, in, out, 2);
        cmsDeleteTransform(t);
        cmsCloseProfile(srgb);
        cmsCloseProfile(from);
        if (n.Transfer == 1) {
            EXPECT_NEAR(out[0], 139, 2);
        } else {
            EXPECT_NEAR(out[1], 128, 1);
            EXPECT_GT(out[3], 200);
            EXPECT_LT(out[4], 100);
        }
    }
}
