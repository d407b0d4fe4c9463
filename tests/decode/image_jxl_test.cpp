// JPEG XL files made by cjxl: counted as djxl decodes them, grey and colour, 8 and 16 bits,
// with alpha; the orientation and profile read, an animation's first frame taken; damaged
// files refused in plain words.
#include "tool_pictures.h"

#include "colour_fixture.h"
#include "jpeg_encoder.h"

#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

class JxlFiles : public testing::Test {
  protected:
    void SetUp() override {
        REQUIRE_TOOL("cjxl");
        REQUIRE_TOOL("djxl");
        REQUIRE_TOOL("pngtopam");
        ASSERT_TRUE(Dir.isValid());
    }
    std::string In(const std::string& name) const {
        return Dir.filePath(QString::fromStdString(name)).toStdString();
    }
    static QString Q(const std::string& s) { return QString::fromStdString(s); }
    void Cjxl(const std::string& from, const QStringList& args, const std::string& to) {
        ASSERT_EQ(RunTool("cjxl", QStringList{Q(from), Q(to)} << args), std::nullopt);
    }
    // A PNG as a PAM file, with its alpha when it has one.
    void ToPam(const std::string& png, bool alpha, const std::string& pam) {
        const std::string toPam = alpha ? "pngtopam -alphapam '" : "pngtopam '";
        ASSERT_EQ(RunTool("sh", {"-c", Q(toPam + png + "' > '" + pam + "'")}), std::nullopt);
    }
    QTemporaryDir Dir;
};

enum class TReference { Djxl, Source };

struct TJxlCase {
    const char* File;
    TSource Source;
    QStringList Args;
    int Bits;
    bool Alpha;
    TReference Reference;
};

class JxlVariants : public JxlFiles, public testing::WithParamInterface<TJxlCase> {};

} // namespace

// Lossy files too are compared exactly: djxl writes its PNG through the same integer output
// of libjxl. djxl 0.7 cannot write 16-bit pictures with alpha at all; those are lossless here
// and compared with their source.
TEST_P(JxlVariants, CountAsDjxlDecodes) {
    const TJxlCase& c = GetParam();
    const std::string source = In("source.png");
    const std::string file = In(c.File);
    const std::string pam = In("reference.pam");
    ASSERT_EQ(MakeSourcePng(c.Source, source), std::nullopt);
    Cjxl(source, c.Args, file);
    std::string png = source;
    if (c.Reference == TReference::Djxl) {
        png = In("reference.png");
        ASSERT_EQ(RunTool("djxl", {Q(file), Q(png)}), std::nullopt);
    }
    ToPam(png, c.Alpha, pam);
    ExpectCountsAsReference(file, pam, c.Bits, c.Alpha);
}

INSTANTIATE_TEST_SUITE_P(
    Cjxl, JxlVariants,
    testing::Values(
        TJxlCase{"rgb8.jxl", TSource::Rgb8, {"-d", "0"}, 8, false, TReference::Djxl},
        TJxlCase{"rgba8.jxl", TSource::Rgba8, {"-d", "0"}, 8, true, TReference::Djxl},
        TJxlCase{"lossy8.jxl", TSource::Rgba8, {"-d", "1"}, 8, true, TReference::Djxl},
        TJxlCase{"grey8.jxl", TSource::Grey8, {"-d", "0"}, 8, false, TReference::Djxl},
        TJxlCase{"greyalpha8.jxl", TSource::GreyAlpha8, {"-d", "0"}, 8, true, TReference::Djxl},
        TJxlCase{"rgb16.jxl", TSource::Rgb16, {"-d", "0"}, 16, false, TReference::Djxl},
        TJxlCase{"lossy16.jxl", TSource::Rgb16, {"-d", "1"}, 16, false, TReference::Djxl},
        TJxlCase{"rgba16.jxl", TSource::Rgba16, {"-d", "0"}, 16, true, TReference::Source}),
    [](const testing::TestParamInfo<TJxlCase>& param) {
        std::string name = param.param.File;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

// The orientation is kept for the display (the rows stay as stored), the profile reaches the
// metadata unless the file is sRGB, and an animation gives its first frame.
TEST_F(JxlFiles, MetadataAndTheFirstFrame) {
    // A JPEG with an Exif orientation, which cjxl carries into the codestream.
    std::vector<std::uint8_t> samples(std::size_t(40) * 24 * 3, 90);
    TJpegEncoding e;
    e.Exif = ExifWithOrientation(6);
    PutFile(In("turned.jpg"), EncodeWithLibjpeg(40, 24, samples, e));
    Cjxl(In("turned.jpg"), {}, In("turned.jxl"));
    TDecodeResult r = DecodeWhole(In("turned.jxl"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta().Orientation, 6);
    EXPECT_EQ(r->Width(), 40);
    EXPECT_EQ(r->Height(), 24);

    ASSERT_EQ(MakeSourcePng(TSource::Rgb8, In("plain.png")), std::nullopt);
    Cjxl(In("plain.png"), {"-d", "0"}, In("plain.jxl"));
    r = DecodeWhole(In("plain.jxl"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_TRUE(r->Meta().IccProfile.empty());
    EXPECT_EQ(r->Meta().Model, TStoredModel::Rgb);

    const std::vector<std::uint8_t> adobe = RgbProfile(AdobeRgbSpace, "Adobe RGB");
    PutFile(In("adobe.icc"), adobe);
    ASSERT_EQ(RunTool("/usr/bin/convert",
                      {Q(In("plain.png")), "-profile", Q(In("adobe.icc")), Q(In("adobe.png"))}),
              std::nullopt);
    Cjxl(In("adobe.png"), {"-d", "0"}, In("adobe.jxl"));
    r = DecodeWhole(In("adobe.jxl"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta().IccProfile, adobe);

    ASSERT_EQ(MakeSourcePng(TSource::Grey8, In("grey.png")), std::nullopt);
    Cjxl(In("grey.png"), {"-d", "0"}, In("grey.jxl"));
    r = DecodeWhole(In("grey.jxl"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta().Model, TStoredModel::Grey);

    ASSERT_EQ(RunTool("/usr/bin/convert",
                      {"-delay", "10", "-size", "33x21", "xc:red", "xc:blue", Q(In("two.gif"))}),
              std::nullopt);
    Cjxl(In("two.gif"), {"-d", "0"}, In("two.jxl"));
    r = DecodeWhole(In("two.jxl"));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    for (int y = 0; y < r->Height(); ++y)
        for (int x = 0; x < r->Width(); ++x)
            ASSERT_EQ(r->Row(y)[3 * x + 2], 255) << "not the first frame at " << x << "," << y;
}

namespace {

// A bare codestream whose header declares width × height (each at most 2^30) with default
// metadata, and nothing after it.
std::vector<std::uint8_t> DeclaringCodestream(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> b{0xff, 0x0a};
    int used = 0; // bits of the header written, least significant first
    const auto put = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i, ++used) {
            if (used % 8 == 0)
                b.push_back(0);
            b.back() = std::uint8_t(b.back() | ((v >> i) & 1) << (used % 8));
        }
    };
    put(0, 1); // sides not given in eighths
    put(3, 2); // height - 1 in 30 bits
    put(height - 1, 30);
    put(0, 3); // width given apart from height
    put(3, 2); // width - 1 in 30 bits
    put(width - 1, 30);
    put(1, 1); // default metadata
    put(0, 16);
    return b;
}

} // namespace

// Damaged files and files that are something else give a plain reason, never rows.
TEST_F(JxlFiles, DamagedFilesAreRefusedInPlainWords) {
    ASSERT_EQ(MakeSourcePng(TSource::Rgb8, In("plain.png")), std::nullopt);
    Cjxl(In("plain.png"), {"-d", "1"}, In("good.jxl"));
    const std::vector<std::uint8_t> jxl = FileBytes(In("good.jxl"));
    struct TBad {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        const char* Reason;
    } bad[] = {
        {"cut.jxl",
         {jxl.begin(), jxl.begin() + std::ptrdiff_t(jxl.size() * 2 / 3)},
         "The file ends early"},
        {"cut-header.jxl", {jxl.begin(), jxl.begin() + 12}, "The file ends early"},
        {"png.jxl", FileBytes(In("plain.png")), "This file is not a JPEG XL picture"},
        {"huge.jxl", DeclaringCodestream(30000, 30000), "larger than"},
        {"empty.jxl", {}, "empty"},
    };
    for (const TBad& b : bad) {
        SCOPED_TRACE(b.Name);
        PutFile(In(b.Name), b.Bytes);
        EXPECT_NE(WhyRefused(In(b.Name)).find(b.Reason), std::string::npos)
            << WhyRefused(In(b.Name));
    }
}

TEST_F(JxlFiles, ACancelledDecodeEndsBeforeItsNextBand) {
    ASSERT_EQ(MakeSourcePng(TSource::Rgba16, In("source.png")), std::nullopt);
    Cjxl(In("source.png"), {"-d", "0"}, In("cancel.jxl"));
    for (const int bands : {0, 1}) {
        TCancellingTarget target(bands);
        const TOutcome<TDecodeNotes> r = StreamJxlFile(In("cancel.jxl"), target);
        ASSERT_FALSE(r.Ok());
        EXPECT_EQ(r.Reason(), DecodingCancelled().Reason);
        EXPECT_EQ(target.Bands(), bands);
    }
}
