// PNG files made by ImageMagick and libvips in every colour type, depth and interlacing,
// counted against netpbm's decode of them; hostile and broken files refused in plain words
// at bounded cost; what the chunks say about showing the picture.
#include "colour_fixture.h"
#include "image_format.h"
#include "made_files.h"
#include "open_reasons.h"
#include "peak_memory.h"
#include "probe_target.h"
#include "reference_counts.h"

#include <QDir>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

// The folder the files are made in, with the pictures every variant starts from.
const QDir& Made() {
    static const TSourceFolder folder(
        [](const QDir& dir) { return !HaveTool(Convert) || MakeBaseAndAlpha(dir); });
    return folder.Folder();
}

std::string MadePath(const QString& name) {
    return Made().filePath(name).toStdString();
}

// --- chunks -------------------------------------------------------------------------------

struct TChunk {
    std::string Type;
    TBytes Data;
};

void PutBe32(TBytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(std::uint8_t(v >> shift));
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::vector<TChunk> SplitChunks(const TBytes& png) {
    std::vector<TChunk> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = Be32(&png[at]);
        chunks.push_back({std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8),
                          TBytes(png.begin() + long(at) + 8, png.begin() + long(at + 8 + length))});
        at += 12 + length;
    }
    return chunks;
}

// One chunk as stored: its length, type, data and CRC (broken on request).
TBytes ChunkBytes(const TChunk& chunk, bool breakCrc = false) {
    TBytes b;
    PutBe32(b, std::uint32_t(chunk.Data.size()));
    b.insert(b.end(), chunk.Type.begin(), chunk.Type.end());
    b.insert(b.end(), chunk.Data.begin(), chunk.Data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.Type.data()), 4);
    crc = crc32(crc, chunk.Data.data(), uInt(chunk.Data.size()));
    PutBe32(b, std::uint32_t(crc) ^ (breakCrc ? 1u : 0u));
    return b;
}

TBytes JoinChunks(const std::vector<TChunk>& chunks) {
    TBytes png{137, 'P', 'N', 'G', 13, 10, 26, 10};
    for (const TChunk& chunk : chunks) {
        const TBytes b = ChunkBytes(chunk);
        png.insert(png.end(), b.begin(), b.end());
    }
    return png;
}

// The chunks of a file with more put right after its header chunk.
std::vector<TChunk> WithAfterHeader(const std::string& file, const std::vector<TChunk>& more) {
    std::vector<TChunk> chunks = SplitChunks(ReadFileBytes(file));
    chunks.insert(chunks.begin() + 1, more.begin(), more.end());
    return chunks;
}

TBytes Deflated(const TBytes& data) {
    uLongf size = compressBound(uLong(data.size()));
    TBytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), uLong(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

// A keyword, its terminator and the compression method, then the compressed bytes: the
// layout of iCCP and zTXt.
TChunk Compressed(const char* type, const TBytes& data) {
    TChunk chunk{type, {'x', 0, 0}};
    const TBytes packed = Deflated(data);
    chunk.Data.insert(chunk.Data.end(), packed.begin(), packed.end());
    return chunk;
}

TChunk Header(std::uint32_t width, std::uint32_t height, int depth, int colourType,
              bool interlaced) {
    TChunk ihdr{"IHDR", {}};
    PutBe32(ihdr.Data, width);
    PutBe32(ihdr.Data, height);
    ihdr.Data.insert(ihdr.Data.end(),
                     {std::uint8_t(depth), std::uint8_t(colourType), 0, 0, interlaced});
    return ihdr;
}

// A file whose header declares width × height over the compressed data of a few rows.
TBytes Declaring(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                 bool interlaced) {
    return JoinChunks({Header(width, height, depth, colourType, interlaced),
                       {"IDAT", Deflated(TBytes(65536, 0))},
                       {"IEND", {}}});
}

// --- variants against the reference decode -----------------------------------------------

struct TVariant {
    const char* Name;
    const char* Tool;   // "convert" or "vips"
    const char* Source; // base.png or alpha.png
    QStringList Options;
    int Depth, ColourType;
    bool Interlaced, Transparent; // with a tRNS chunk
};

// The stored sample's bits and alpha the counts line must tell: a palette's colours are 8-bit.
int StoredBits(const TVariant& v) {
    return v.ColourType == 3 ? 8 : v.Depth;
}
bool StoredAlpha(const TVariant& v) {
    return v.Transparent || v.ColourType == 4 || v.ColourType == 6;
}

class PngVariant : public testing::TestWithParam<TVariant> {};

TEST_P(PngVariant, CountsAsNetpbmDecodesIt) {
    const TVariant& v = GetParam();
    REQUIRE_TOOL(v.Tool);
    REQUIRE_TOOL("pngtopam");
    const std::string file = MadePath(QString(v.Name) + ".png");
    const QString source = Made().filePath(v.Source);
    // ImageMagick's options may end with a prefix of the output ("PNG8:"), libvips' are a
    // suffix of it ("[palette]").
    QStringList options = v.Options;
    const QString prefix = options.last().endsWith(':') ? options.takeLast() : QString();
    const QString output = QString::fromStdString(file);
    const auto made = QString(v.Tool) == "vips"
                          ? RunTool("vips", {"copy", source, output + options.join("")})
                          : RunTool(Convert, QStringList{source} << options << prefix + output);
    ASSERT_FALSE(made) << *made;
    // The tool made what the variant names.
    const TBytes png = ReadFileBytes(file);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], v.Depth);
    EXPECT_EQ(png[25], v.ColourType);
    EXPECT_EQ(png[28], v.Interlaced ? 1 : 0);
    bool transparent = false;
    for (const TChunk& chunk : SplitChunks(png))
        transparent = transparent || chunk.Type == "tRNS";
    EXPECT_EQ(transparent, v.Transparent);

    const std::string pam = file + ".pam";
    // netpbm's decoder leaves an 8-bit RGB file's transparent colour opaque: ImageMagick's
    // then, which brings every depth to 16 bits exactly.
    const QString reference = v.ColourType == 2 && v.Transparent
                                  ? Convert + " '%1' -depth 16 pam:'%2'"
                                  : "pngtopam -alphapam '%1' > '%2'";
    const auto decoded = RunTool("sh", {"-c", QString(reference).arg(QString::fromStdString(file),
                                                                     QString::fromStdString(pam))});
    ASSERT_FALSE(decoded) << *decoded;
    ExpectCountsAsReference(file, pam, StoredBits(v), StoredAlpha(v));
}

QStringList Png(int colourType, int depth) {
    return {"-define", QString("png:color-type=%1").arg(colourType), "-define",
            QString("png:bit-depth=%1").arg(depth)};
}
QStringList Grey(int depth) {
    return QStringList{"-colorspace", "Gray", "-depth", QString::number(depth)} << Png(0, depth);
}
// Grey or colour with a key: the strip on the left painted one colour, then made transparent.
QStringList Keyed(bool grey, int depth) {
    const QString key = grey ? (depth < 8 ? "black" : "gray(1)") : "#010203";
    QStringList o;
    if (grey)
        o << "-colorspace"
          << "Gray";
    return o << "-depth" << QString::number(depth) << "-fill" << key << "-draw"
             << "rectangle 0,0 20,66"
             << "-transparent" << key << Png(grey ? 0 : 2, depth);
}
QStringList Interlaced(const QStringList& options) {
    return QStringList{"-interlace", "PNG"} << options;
}

const TVariant Variants[] = {
    {"Grey1", "convert", "base.png", Grey(1), 1, 0, false, false},
    {"Grey2", "convert", "base.png", Grey(2), 2, 0, false, false},
    {"Grey4", "convert", "base.png", Grey(4), 4, 0, false, false},
    {"Grey8", "convert", "base.png", Grey(8), 8, 0, false, false},
    {"Grey16", "convert", "base.png", Grey(16), 16, 0, false, false},
    {"GreyKey2", "convert", "base.png", Keyed(true, 2), 2, 0, false, true},
    {"GreyKey16", "convert", "base.png", Keyed(true, 16), 16, 0, false, true},
    {"GreyAlpha8",
     "convert",
     "alpha.png",
     {"-colorspace", "Gray", "-depth", "8"},
     8,
     4,
     false,
     false},
    {"GreyAlpha16", "convert", "alpha.png", QStringList{"-colorspace", "Gray"} << Png(4, 16), 16, 4,
     false, false},
    {"Palette1", "vips", "alpha.png", {"[palette,bitdepth=1]"}, 1, 3, false, true},
    {"Palette2", "vips", "base.png", {"[palette,bitdepth=2]"}, 2, 3, false, false},
    {"Palette4", "vips", "alpha.png", {"[palette,bitdepth=4]"}, 4, 3, false, true},
    {"Palette8", "convert", "base.png", QStringList{"-colors", "200"} << Png(3, 8), 8, 3, false,
     false},
    {"PaletteAlpha8", "convert", "alpha.png", {"-colors", "100", "PNG8:"}, 8, 3, false, true},
    {"Rgb8", "convert", "base.png", {"-depth", "8", "PNG24:"}, 8, 2, false, false},
    {"Rgb16", "convert", "base.png", {"PNG48:"}, 16, 2, false, false},
    {"RgbKey8", "convert", "base.png", Keyed(false, 8), 8, 2, false, true},
    {"RgbKey16", "convert", "base.png", Keyed(false, 16), 16, 2, false, true},
    {"Rgba8", "convert", "alpha.png", {"-depth", "8", "PNG32:"}, 8, 6, false, false},
    {"Rgba16", "convert", "alpha.png", {"PNG64:"}, 16, 6, false, false},
    {"InterlacedGrey2", "convert", "base.png", Interlaced(Grey(2)), 2, 0, true, false},
    {"InterlacedRgb8", "convert", "base.png", Interlaced({"-depth", "8", "PNG24:"}), 8, 2, true,
     false},
    {"InterlacedRgb16", "vips", "base.png", {"[interlace]"}, 16, 2, true, false},
    {"InterlacedRgba16", "convert", "alpha.png", Interlaced({"PNG64:"}), 16, 6, true, false},
    {"InterlacedPalette4",
     "vips",
     "alpha.png",
     {"[palette,bitdepth=4,interlace]"},
     4,
     3,
     true,
     true},
    {"InterlacedGreyAlpha8", "convert", "alpha.png",
     Interlaced({"-colorspace", "Gray", "-depth", "8"}), 8, 4, true, false},
};

INSTANTIATE_TEST_SUITE_P(Files, PngVariant, testing::ValuesIn(Variants),
                         [](const testing::TestParamInfo<TVariant>& i) {
                             return std::string(i.param.Name);
                         });

// --- refused files -------------------------------------------------------------------------

std::string Rgb8File() {
    const std::string file = MadePath("refusals.png");
    if (!std::filesystem::exists(file)) {
        EXPECT_FALSE(RunTool(Convert, {Made().filePath("base.png"), "-depth", "8",
                                       "PNG24:" + QString::fromStdString(file)}));
    }
    return file;
}

std::string InterlacedFile() {
    const std::string file = MadePath("refusals-interlaced.png");
    if (!std::filesystem::exists(file)) {
        EXPECT_FALSE(RunTool(Convert, {Made().filePath("alpha.png"), "-interlace", "PNG",
                                       "PNG64:" + QString::fromStdString(file)}));
    }
    return file;
}

// The picture data ends early, yet its chunks are whole.
TBytes ShortPictureData() {
    std::vector<TChunk> chunks = SplitChunks(ReadFileBytes(Rgb8File()));
    for (TChunk& chunk : chunks)
        if (chunk.Type == "IDAT")
            chunk.Data.resize(chunk.Data.size() / 2);
    return JoinChunks(chunks);
}

TBytes BrokenIdatCrc() {
    TBytes png{137, 'P', 'N', 'G', 13, 10, 26, 10};
    for (const TChunk& chunk : SplitChunks(ReadFileBytes(Rgb8File()))) {
        const TBytes b = ChunkBytes(chunk, chunk.Type == "IDAT");
        png.insert(png.end(), b.begin(), b.end());
    }
    return png;
}

// A text chunk that says it holds 2 GB, in a file of a few kilobytes.
TBytes HugeTextChunk() {
    TBytes png = JoinChunks(WithAfterHeader(Rgb8File(), {}));
    TBytes chunk;
    PutBe32(chunk, 0x7FFFFFF0);
    chunk.insert(chunk.end(), {'z', 'T', 'X', 't', 'x', 0, 0});
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

const TRefusal Refusals[] = {
    {"Empty", [] { return TBytes(); }, EmptyFile()},
    {"NotPng", [] { return TBytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}; },
     NotPictureOf("PNG", "")},
    {"SignatureCut",
     [] {
         return TBytes{137, 'P', 'N'};
     },
     FileEndsEarly("")},
    {"HeaderCut", [] { return CutShort(Rgb8File(), 0.01); }, FileEndsEarly("")},
    {"CutShort", [] { return CutShort(Rgb8File(), 0.6); }, FileEndsEarly("")},
    {"InterlacedCutShort", [] { return CutShort(InterlacedFile(), 0.8); }, FileEndsEarly("")},
    {"PictureDataShort", ShortPictureData, FileEndsEarly("")},
    {"HugeTextChunk", HugeTextChunk, FileEndsEarly("")},
    {"PictureDataCrc", BrokenIdatCrc, BrokenPictureData("")},
    {"ZeroWidth", [] { return Declaring(0, 10, 8, 2, false); }, BrokenHeader("")},
    {"BadColourType", [] { return Declaring(10, 10, 8, 5, false); }, BrokenHeader("")},
    {"TooManyPixels", [] { return Declaring(30000, 30000, 8, 2, false); },
     PictureTooLarge(30000, 30000)},
    {"LongerThanPng", [] { return Declaring(0x80000000u, 1, 8, 2, false); }, BrokenHeader("")},
};

class PngRefusal : public testing::TestWithParam<TRefusal> {};

TEST_P(PngRefusal, InPlainWords) {
    REQUIRE_TOOL(Convert); // makes the files
    const std::string file = MadePath(QString("refused-%1.png").arg(GetParam().Name));
    WriteFileBytes(file, GetParam().Make());
    ExpectRefused(file, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Files, PngRefusal, testing::ValuesIn(Refusals),
                         [](const testing::TestParamInfo<TRefusal>& i) {
                             return std::string(i.param.Name);
                         });

// --- read around, at bounded cost ----------------------------------------------------------

// What a decode of these chunks says, and that it took little memory and time.
TOutcome<TDecodeNotes> DecodeCheaply(const std::vector<TChunk>& chunks) {
    const std::string file = MadePath("cheap.png");
    WriteFileBytes(file, JoinChunks(chunks));
    TProbeTarget target;
    const TPeakMemory memory;
    const auto start = std::chrono::steady_clock::now();
    TOutcome<TDecodeNotes> r = StreamImageFile(file, target);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_LT(memory.Growth(), 48 << 20);
    EXPECT_EQ(target.NextRow, r.Ok() ? 67 : target.NextRow);
    return r;
}

TEST(PngBounds, ATextBombIsSkippedUnread) {
    REQUIRE_TOOL(Convert); // makes the files
    const auto r =
        DecodeCheaply(WithAfterHeader(Rgb8File(), {Compressed("zTXt", TBytes(64 << 20, 0))}));
    EXPECT_TRUE(r.Ok()) << r.Reason();
}

TEST(PngBounds, AProfileBombIsDroppedWithAReason) {
    REQUIRE_TOOL(Convert); // makes the files
    TBytes profile = RgbProfile(AdobeRgbSpace, "bomb");
    profile[0] = 0x10; // declares 256 MB, holds 64
    profile.resize(64 << 20, 0);
    const auto r = DecodeCheaply(WithAfterHeader(Rgb8File(), {Compressed("iCCP", profile)}));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_TRUE(r->Meta.IccProfile.empty());
    EXPECT_FALSE(r->Meta.ProfileProblem.empty());
}

TEST(PngBounds, ThousandsOfChunksAreReadThrough) {
    REQUIRE_TOOL(Convert); // makes the files
    const std::vector<TChunk> many(20000, TChunk{"prVt", TBytes(16, 7)});
    const auto r = DecodeCheaply(WithAfterHeader(Rgb8File(), many));
    EXPECT_TRUE(r.Ok()) << r.Reason();
}

TEST(PngBounds, AnAncillaryChunkWithABadCrcIsDropped) {
    REQUIRE_TOOL(Convert); // makes the files
    const std::vector<TChunk> chunks = SplitChunks(ReadFileBytes(Rgb8File()));
    TBytes png{137, 'P', 'N', 'G', 13, 10, 26, 10};
    for (const TChunk& chunk : chunks) {
        const TBytes b = ChunkBytes(chunk, chunk.Type == "gAMA");
        png.insert(png.end(), b.begin(), b.end());
    }
    const std::string file = MadePath("bad-gama-crc.png");
    WriteFileBytes(file, png);
    TProbeTarget target;
    const auto r = StreamImageFile(file, target);
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_FALSE(r->Meta.Calibrated); // the gamma is gone with its chunk
    EXPECT_EQ(target.NextRow, 67);
}

// What the decoder holds beside the rows is told before the picture is started: an
// interlaced picture whole, a non-interlaced one a few rows.
TEST(PngBounds, AnInterlacedPictureIsHeldWholeAndSaysSo) {
    REQUIRE_TOOL(Convert); // makes the files
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced);
        const std::string file = MadePath("declared.png");
        WriteFileBytes(file, Declaring(9000, 7000, 16, 6, interlaced));
        TProbeTarget target;
        target.Refuse = true;
        const auto r = StreamImageFile(file, target);
        ASSERT_FALSE(r.Ok());
        EXPECT_EQ(r.Error(), NotEnoughMemory(9000, 7000));
        const std::int64_t picture = std::int64_t{9000} * 7000 * 8;
        if (interlaced)
            EXPECT_GE(target.Holds, picture);
        else
            EXPECT_LT(target.Holds, 4 << 20); // a few rows: libpng's and the adapter's band
    }
}

TEST(PngBounds, ACancelEndsTheDecodeAtTheNextBand) {
    REQUIRE_TOOL(Convert); // makes the files
    for (const std::string& file : {Rgb8File(), InterlacedFile()})
        ExpectCancelledAfterTwoBands(file);
}

// --- what the chunks say -------------------------------------------------------------------

TOutcome<TDecodeNotes> DecodeChunks(const std::vector<TChunk>& chunks) {
    const std::string file = MadePath("meta.png");
    WriteFileBytes(file, JoinChunks(chunks));
    TProbeTarget target;
    return StreamImageFile(file, target);
}

TEST(PngMeta, TheExifOrientationIsRead) {
    REQUIRE_TOOL(Convert); // makes the files
    for (const bool bigEndian : {false, true}) {
        TBytes exif = ExifWithOrientation(6, bigEndian);
        exif.erase(exif.begin(), exif.begin() + 6); // eXIf holds the TIFF header on
        const auto r = DecodeChunks(WithAfterHeader(Rgb8File(), {{"eXIf", exif}}));
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_EQ(r->Meta.Orientation, 6);
    }
}

TEST(PngMeta, TheProfileIsKeptAsStored) {
    REQUIRE_TOOL(Convert); // makes the files
    const TBytes profile = RgbProfile(AdobeRgbSpace, "wide");
    const auto r = DecodeChunks(WithAfterHeader(Rgb8File(), {Compressed("iCCP", profile)}));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta.IccProfile, profile);
    EXPECT_TRUE(r->Meta.ProfileProblem.empty());
    EXPECT_FALSE(r->Meta.Calibrated); // the profile rules over the gamma and chromaticities
}

TEST(PngMeta, ADamagedProfileNeverFailsTheDecode) {
    REQUIRE_TOOL(Convert); // makes the files
    TBytes profile = RgbProfile(AdobeRgbSpace, "damaged");
    for (std::size_t i = 128; i < profile.size(); i += 3)
        profile[i] ^= 0x5A;
    const auto r = DecodeChunks(WithAfterHeader(Rgb8File(), {Compressed("iCCP", profile)}));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_TRUE(r->Meta.IccProfile.empty() || r->Meta.IccProfile == profile);
    EXPECT_NE(r->Meta.IccProfile.empty(), r->Meta.ProfileProblem.empty());
}

// ImageMagick writes sRGB's gamma and chromaticities into an RGB file without a profile; with
// another gamma (1.8, 55556 in the chunk) they make a calibrated space.
TEST(PngMeta, GammaAndChromaticitiesMakeACalibratedSpace) {
    REQUIRE_TOOL(Convert); // makes the files
    std::vector<TChunk> chunks = SplitChunks(ReadFileBytes(Rgb8File()));
    for (TChunk& chunk : chunks)
        if (chunk.Type == "gAMA")
            chunk.Data = {0, 0, 0xD9, 0x04};
    const auto r = DecodeChunks(chunks);
    ASSERT_TRUE(r.Ok()) << r.Reason();
    ASSERT_TRUE(r->Meta.Calibrated);
    const double expected[3][2] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
    for (int p = 0; p < 3; ++p) {
        const auto& xyz = r->Meta.Calibrated->Primaries[p];
        const double sum = xyz[0] + xyz[1] + xyz[2];
        EXPECT_NEAR(xyz[0] / sum, expected[p][0], 1e-3);
        EXPECT_NEAR(xyz[1] / sum, expected[p][1], 1e-3);
        EXPECT_NEAR(r->Meta.Calibrated->Gamma[p], 1.8, 1e-3);
    }
}

TEST(PngMeta, NoCalibrationWhereItDoesNotApply) {
    REQUIRE_TOOL(Convert); // makes the files
    const std::vector<TChunk> base = SplitChunks(ReadFileBytes(Rgb8File()));
    std::vector<TChunk> srgb = base, implausible;
    srgb.insert(srgb.begin() + 1, TChunk{"sRGB", {0}});
    for (TChunk chunk : base) {
        if (chunk.Type == "gAMA")
            chunk.Data = {0, 0, 0, 1}; // a gamma of 1/100000
        implausible.push_back(chunk);
    }
    // sRGB's own primaries with its approximate gamma 1/2.2 are sRGB, as written.
    for (const auto& chunks : {base, srgb, implausible}) {
        const auto r = DecodeChunks(chunks);
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_FALSE(r->Meta.Calibrated);
        EXPECT_TRUE(r->Meta.ProfileProblem.empty());
    }
    // ImageMagick's grey file has them too; they make no grey space.
    const std::string greyFile = MadePath("grey-gamma.png");
    ASSERT_FALSE(RunTool(Convert, {Made().filePath("base.png"), "-colorspace", "Gray", "-depth",
                                   "8", QString::fromStdString(greyFile)}));
    const auto r = DecodeChunks(SplitChunks(ReadFileBytes(greyFile)));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(r->Meta.Model, TStoredModel::Grey);
    EXPECT_FALSE(r->Meta.Calibrated);
}

} // namespace
