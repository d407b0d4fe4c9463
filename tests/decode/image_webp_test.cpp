// WebP files made by cwebp and webpmux, lossy and lossless, with and without alpha, and an
// animation, counted against dwebp's decode (the animation against its first frame placed
// on its canvas); broken files refused in plain words; the profile and orientation read.
#include "colour_fixture.h"
#include "image_format.h"
#include "made_files.h"
#include "open_reasons.h"
#include "probe_target.h"
#include "reference_counts.h"

#include <QDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

// The folder the files are made in, with the pictures they start from (MakeBaseAndAlpha), a
// larger and noisier one whose lossy file is fed to the decoder in several parts, and an
// animation's two frames, the first smaller than the canvas.
const QDir& Made() {
    static const TSourceFolder folder([](const QDir& dir) {
        if (!HaveTool(Convert))
            return true; // the tests skip
        return MakeBaseAndAlpha(dir) &&
               !RunTool(Convert,
                        {"-size", "280x200", "gradient:#102030-#e0f0a0", "-seed", "5", "-attenuate",
                         "3", "+noise", "Gaussian", "-depth", "8", dir.filePath("large.png")}) &&
               !RunTool(Convert, {dir.filePath("alpha.png"), "-crop", "60x40+30+10", "+repage",
                                  "PNG32:" + dir.filePath("frame1.png")}) &&
               !RunTool(Convert, {"-size", "131x67", "xc:none", dir.filePath("frame1.png"),
                                  "-geometry", "+10+6", "-compose", "Copy", "-composite",
                                  "PNG32:" + dir.filePath("canvas1.png")});
    });
    return folder.Folder();
}

std::string MadePath(const QString& name) {
    return Made().filePath(name).toStdString();
}
QString Made(const char* name) {
    return Made().filePath(name);
}

// A file made by cwebp with these options from a source picture.
std::string Cwebp(const QString& name, const char* source, const QStringList& options) {
    const QString file = Made(qPrintable(name));
    if (!QFileInfo::exists(file)) {
        EXPECT_FALSE(
            RunTool("cwebp", QStringList{"-quiet"} << options << Made(source) << "-o" << file));
    }
    return file.toStdString();
}

// Two frames: the first, smaller, lossless, at (10, 6) on the canvas; the second fills it.
std::string Animation() {
    const QString file = Made("animation.webp");
    if (QFileInfo::exists(file))
        return file.toStdString();
    Cwebp("frame1.webp", "frame1.png", {"-lossless", "-exact"});
    Cwebp("frame2.webp", "base.png", {"-q", "60"});
    EXPECT_FALSE(RunTool("webpmux", {"-frame", Made("frame1.webp"), "+100+10+6+0-b", "-frame",
                                     Made("frame2.webp"), "+100+0+0", "-o", file}));
    return file.toStdString();
}

// --- variants against the reference decode -----------------------------------------------

struct TVariant {
    const char* Name;
    const char* Source;
    QStringList Options;
    bool Alpha;
};

class WebpVariant : public testing::TestWithParam<TVariant> {};

TEST_P(WebpVariant, CountsAsDwebpDecodesIt) {
    REQUIRE_TOOL(Convert);
    REQUIRE_TOOL("cwebp");
    REQUIRE_TOOL("dwebp");
    const TVariant& v = GetParam();
    const std::string file = Cwebp(QString(v.Name) + ".webp", v.Source, v.Options);
    const QString pam = QString::fromStdString(file) + ".pam";
    ASSERT_FALSE(RunTool("dwebp", {"-quiet", QString::fromStdString(file), "-pam", "-o", pam}));
    ExpectCountsAsReference(file, pam.toStdString(), 8, v.Alpha);
}

const TVariant Variants[] = {
    {"Lossy", "base.png", {"-q", "80"}, false},
    {"LossyLarge", "large.png", {"-q", "100"}, false}, // fed in several parts
    {"LossyAlpha", "alpha.png", {"-q", "80", "-alpha_q", "100"}, true},
    {"LossyLossyAlpha", "alpha.png", {"-q", "70", "-alpha_q", "40"}, true},
    {"LossyAlphaExact", "alpha.png", {"-q", "90", "-exact"}, true},
    {"Lossless", "base.png", {"-lossless"}, false},
    {"LosslessAlpha", "alpha.png", {"-lossless", "-exact"}, true},
    {"LosslessLarge", "large.png", {"-lossless", "-z", "3"}, false},
};

INSTANTIATE_TEST_SUITE_P(Files, WebpVariant, testing::ValuesIn(Variants),
                         [](const testing::TestParamInfo<TVariant>& i) {
                             return std::string(i.param.Name);
                         });

TEST(WebpAnimation, TheFirstFrameAsComposedOnItsCanvas) {
    REQUIRE_TOOL(Convert);
    REQUIRE_TOOL("webpmux");
    REQUIRE_TOOL("pngtopam");
    const std::string file = Animation();
    const QString pam = Made("canvas1.pam");
    ASSERT_FALSE(RunTool(
        "sh", {"-c", QString("pngtopam -alphapam '%1' > '%2'").arg(Made("canvas1.png"), pam)}));
    ExpectCountsAsReference(file, pam.toStdString(), 8, true);
}

// --- refused files -------------------------------------------------------------------------

std::string LossyFile() {
    return Cwebp("refusals-lossy.webp", "base.png", {"-q", "80"});
}
std::string LosslessFile() {
    return Cwebp("refusals-lossless.webp", "alpha.png", {"-lossless"});
}

void PutLe(TBytes& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// An extended header announcing a canvas of width × height (animated or not) before the
// lossy picture of 131 × 67.
TBytes Announcing(std::uint32_t width, std::uint32_t height, bool animated) {
    const TBytes lossy = ReadFileBytes(LossyFile());
    TBytes b{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    PutLe(b, 10, 4);
    b.push_back(animated ? 0x02 : 0);
    b.insert(b.end(), 3, 0);
    PutLe(b, width - 1, 3);
    PutLe(b, height - 1, 3);
    b.insert(b.end(), lossy.begin() + 12, lossy.end());
    const auto riff = std::uint32_t(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = std::uint8_t(riff >> (8 * i));
    return b;
}

// The lossless picture's bits scrambled past its header.
TBytes Scrambled() {
    TBytes b = ReadFileBytes(LosslessFile());
    for (std::size_t i = 40; i < b.size(); ++i)
        b[i] = std::uint8_t(b[i] * 73 + i);
    return b;
}

const TRefusal Refusals[] = {
    {"Empty", [] { return TBytes(); }, EmptyFile()},
    {"NotWebp", [] { return TBytes{137, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I'}; },
     NotPictureOf("WebP", "")},
    {"HeaderCut", [] { return CutShort(LossyFile(), 0.001); }, FileEndsEarly("")},
    {"LossyCutShort", [] { return CutShort(LossyFile(), 0.6); }, FileEndsEarly("")},
    {"LosslessCutShort", [] { return CutShort(LosslessFile(), 0.6); }, FileEndsEarly("")},
    {"AnimationCutShort", [] { return CutShort(Animation(), 0.8); }, FileEndsEarly("")},
    {"LosslessScrambled", Scrambled, BrokenPictureData("")},
    {"CanvasLargerThanPicture", [] { return Announcing(16000, 16000, false); }, BrokenHeader("")},
    {"CanvasTooLarge", [] { return Announcing(25000, 20000, true); },
     PictureTooLarge(25000, 20000)},
    {"CanvasBeyondWebp", [] { return Announcing(1 << 24, 1 << 24, true); }, BrokenHeader("")},
};

class WebpRefusal : public testing::TestWithParam<TRefusal> {};

TEST_P(WebpRefusal, InPlainWords) {
    REQUIRE_TOOL(Convert);
    REQUIRE_TOOL("cwebp");
    REQUIRE_TOOL("webpmux");
    const std::string file = MadePath(QString("refused-%1.webp").arg(GetParam().Name));
    WriteFileBytes(file, GetParam().Make());
    const TProbeTarget target = ExpectRefused(file, GetParam().Expected);
    EXPECT_LT(target.Holds, std::int64_t{1} << 32); // the header was believed no further
}

INSTANTIATE_TEST_SUITE_P(Files, WebpRefusal, testing::ValuesIn(Refusals),
                         [](const testing::TestParamInfo<TRefusal>& i) {
                             return std::string(i.param.Name);
                         });

TEST(WebpDecode, ACancelEndsTheDecodeAtTheNextBand) {
    REQUIRE_TOOL(Convert);
    REQUIRE_TOOL("cwebp");
    REQUIRE_TOOL("webpmux");
    for (const std::string& file :
         {Cwebp("cancel.webp", "large.png", {"-q", "100"}), LosslessFile(), Animation()})
        ExpectCancelledAfterTwoBands(file);
}

// --- what the chunks say -------------------------------------------------------------------

TEST(WebpMeta, TheProfileAndTheOrientationAreRead) {
    REQUIRE_TOOL(Convert);
    REQUIRE_TOOL("cwebp");
    REQUIRE_TOOL("webpmux");
    const TBytes profile = RgbProfile(AdobeRgbSpace, "wide");
    const std::string icc = MadePath("wide.icc");
    WriteFileBytes(icc, profile);
    // As most writers store it, a bare TIFF header; and with the JPEG block's name before it.
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named);
        TBytes exif = ExifWithOrientation(8);
        if (!named)
            exif.erase(exif.begin(), exif.begin() + 6);
        const std::string exifFile = MadePath("orientation.exif");
        WriteFileBytes(exifFile, exif);
        for (const std::string& plain : {LossyFile(), Animation()}) {
            const QString withIcc = Made("with-icc.webp"), withBoth = Made("with-both.webp");
            ASSERT_FALSE(RunTool("webpmux", {"-set", "icc", QString::fromStdString(icc),
                                             QString::fromStdString(plain), "-o", withIcc}));
            ASSERT_FALSE(RunTool("webpmux", {"-set", "exif", QString::fromStdString(exifFile),
                                             withIcc, "-o", withBoth}));
            TProbeTarget target;
            const auto r = StreamImageFile(withBoth.toStdString(), target);
            ASSERT_TRUE(r.Ok()) << r.Reason();
            EXPECT_EQ(r->Meta.IccProfile, profile);
            EXPECT_EQ(r->Meta.Orientation, 8);
            EXPECT_EQ(target.NextRow, 67);
        }
    }
}

} // namespace
