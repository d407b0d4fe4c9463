// The BMP decoder: hand-made files for every variant and corner case, the public suite
// against Qt's own reader and its reference pictures, and damaged input that must end in
// a clean failure or a picture.
#include "decoder_test_support.h"

using namespace tonalyx;
using namespace tonalyx::test;

// --- BMP: hand-made files ------------------------------------------------------------------------

// Every row padding case, both row orders.
TEST(BmpHandMade, TrueColourRowsAndOrder) {
    for (int width = 1; width <= 6; ++width)
        for (int height : {1, 2, 5})
            for (bool topDown : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << width << "x" << height << " top-down " << topDown);
                const TBytes rows = StoredRows(width, height, 24, topDown, [](int x, int y) {
                    const auto c = ColourAt(x, y);
                    return c[2] | c[1] << 8 | c[0] << 16; // stored blue, green, red
                });
                const TRgb p =
                    DecodeBmpOk(MakeBmp({width, topDown ? -height : height, 24, 0, {}, {}, rows}));
                ASSERT_EQ(p.Width, width);
                ASSERT_EQ(p.Height, height);
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        const auto c = ColourAt(x, y);
                        ExpectPixel(p, x, y, std::uint32_t(c[0] << 16 | c[1] << 8 | c[2]));
                    }
            }
}

TEST(BmpHandMade, PaletteDepths) {
    for (int bits : {1, 2, 4, 8})
        for (int width : {1, 3, 7, 9, 33}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
            const int colours = 1 << bits;
            std::vector<std::uint32_t> palette;
            for (int i = 0; i < colours; ++i)
                palette.push_back(std::uint32_t(i * 0x010203 + 0x400000 * (i & 1)));
            auto index = [colours](int x, int y) { return (x + 2 * y) % colours; };
            const int height = 3;
            const TRgb p = DecodeBmpOk(MakeBmp({width,
                                                height,
                                                bits,
                                                0,
                                                palette,
                                                {},
                                                StoredRows(width, height, bits, false, index)}));
            ASSERT_EQ(p.Width, width);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    ExpectPixel(p, x, y, palette[index(x, y)]);
        }
}

TEST(BmpHandMade, OutOfPaletteIndexIsBlack) {
    const TRgb p = DecodeBmpOk(MakeBmp({3, 1, 8, 0, {0xFF0000, 0x00FF00}, {}, {0, 1, 200, 0}}));
    ExpectPixel(p, 0, 0, 0xFF0000);
    ExpectPixel(p, 1, 0, 0x00FF00);
    ExpectPixel(p, 2, 0, 0x000000);
}

// The pixels start right after the header: no palette at all.
TEST(BmpHandMade, MissingPaletteIsBlack) {
    const TRgb p = DecodeBmpOk(MakeBmp({9, 2, 1, 0, {}, {}, TBytes(8, 0xA5)}));
    for (int x = 0; x < 9; ++x)
        ExpectPixel(p, x, 1, 0x000000);
}

TEST(BmpHandMade, Os2CoreHeader) {
    std::vector<std::uint32_t> palette{0x102030, 0xA0B0C0, 0xFFFFFF};
    auto index = [](int x, int y) { return (x + y) % 3; };
    TBmpLayout layout{5, 2, 8, 0, palette, {}, StoredRows(5, 2, 8, false, index)};
    layout.Os2Core = true;
    const TRgb p = DecodeBmpOk(MakeBmp(layout));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            ExpectPixel(p, x, y, palette[index(x, y)]);
}

struct TBitFieldsCase {
    const char* Name;
    int Bits;
    std::uint32_t Compression;
    std::vector<std::uint32_t> Masks;      // red, green, blue; none for the defaults
    std::uint32_t Red, Green, Blue, White; // stored pixels of full red, green, blue, white
};

class BmpBitFields : public testing::TestWithParam<TBitFieldsCase> {};

// Samples use the full 0..255 range whatever their width: full intensity is 255.
TEST_P(BmpBitFields, PrimariesAndWhite) {
    const TBitFieldsCase& c = GetParam();
    const std::uint32_t stored[] = {c.Red, c.Green, c.Blue, c.White, 0};
    const TRgb p = DecodeBmpOk(MakeBmp(
        {5, 1, c.Bits, c.Compression, {}, c.Masks, StoredRows(5, 1, c.Bits, false, [&](int x, int) {
             return stored[x];
         })}));
    ExpectPixel(p, 0, 0, 0xFF0000);
    ExpectPixel(p, 1, 0, 0x00FF00);
    ExpectPixel(p, 2, 0, 0x0000FF);
    ExpectPixel(p, 3, 0, 0xFFFFFF);
    ExpectPixel(p, 4, 0, 0x000000);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BmpBitFields,
    testing::Values(
        TBitFieldsCase{"Default555", 16, 0, {}, 0x7C00, 0x03E0, 0x001F, 0x7FFF},
        TBitFieldsCase{"Masks565", 16, 3, {0xF800, 0x07E0, 0x001F}, 0xF800, 0x07E0, 0x001F, 0xFFFF},
        // The spare bit set must not matter.
        TBitFieldsCase{"Default555SpareBit", 16, 0, {}, 0xFC00, 0x83E0, 0x801F, 0xFFFF},
        TBitFieldsCase{"Default32", 32, 0, {}, 0xFF0000, 0xFF00, 0xFF, 0xFFFFFF},
        TBitFieldsCase{"Default32Alpha", 32, 0, {}, 0xFFFF0000, 0x8000FF00, 0x110000FF, 0xFFFFFFFF},
        TBitFieldsCase{"Masks32Reordered",
                       32,
                       3,
                       {0xFF00, 0xFF000000, 0xFF0000},
                       0xFF00,
                       0xFF000000,
                       0xFF0000,
                       0xFFFFFF00},
        TBitFieldsCase{"Masks32Wide",
                       32,
                       3,
                       {0xFFE00000, 0x1FFC00, 0x3FF},
                       0xFFE00000,
                       0x1FFC00,
                       0x3FF,
                       0xFFFFFFFF},
        TBitFieldsCase{
            "Masks16Odd", 16, 3, {0xC000, 0x3800, 0x0400}, 0xC000, 0x3800, 0x0400, 0xFC00}),
    [](const testing::TestParamInfo<TBitFieldsCase>& i) { return std::string(i.param.Name); });

// RLE8: runs, a padded literal run, end of line, a delta skipping a row, end of bitmap.
TEST(BmpHandMade, Rle8) {
    const std::vector<std::uint32_t> palette{0x000000, 0x110000, 0x002200, 0x000033, 0x444444};
    const TBytes stream{3, 1,             // 1 1 1
                        0, 3, 2, 3, 2, 0, // 2 3 2, padded
                        0, 0,             // end of line
                        0, 2, 2, 1,       // delta: 2 right, 1 up
                        2, 4,             // 4 4
                        0, 1};            // end of bitmap
    const TRgb p = DecodeBmpOk(MakeBmp({6, 3, 8, 1, palette, {}, stream}));
    const int bottom[] = {1, 1, 1, 2, 3, 2};
    for (int x = 0; x < 6; ++x) {
        ExpectPixel(p, x, 2, palette[bottom[x]]);
        ExpectPixel(p, x, 1, 0x000000); // skipped
        ExpectPixel(p, x, 0, x == 2 || x == 3 ? palette[4] : 0x000000);
    }
}

TEST(BmpHandMade, Rle4) {
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back(std::uint32_t(i * 0x0F0F0F));
    const TBytes stream{5, 0x12,             // 1 2 1 2 1
                        0, 3,    0x34, 0x50, // 3 4 5
                        0, 0,    0,    1};
    const TRgb p = DecodeBmpOk(MakeBmp({8, 1, 4, 2, palette, {}, stream}));
    const int row[] = {1, 2, 1, 2, 1, 3, 4, 5};
    for (int x = 0; x < 8; ++x)
        ExpectPixel(p, x, 0, palette[row[x]]);
}

// Streams that try to write outside the picture are cut at its edges.
TEST(BmpHandMade, RleOverruns) {
    const std::vector<std::uint32_t> palette{0x000000, 0xFFFFFF};
    const std::vector<TBytes> streams{
        {255, 1, 255, 1, 0, 1},                             // runs far past the row
        {0, 2, 255, 255, 1, 1, 0, 1},                       // delta out of the picture
        {0, 255, 1, 1, 1},                                  // literal run beyond the data
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1},               // more lines than rows
        {0, 2, 3, 0, 4, 1, 0, 0, 3, 1, 0, 2, 250, 0, 9, 1}, // runs after skipping past the end
        {},                                                 // no data at all
    };
    for (std::uint32_t compression : {1u, 2u})
        for (const TBytes& stream : streams) {
            TBytes data = stream;
            if (data.empty())
                data.push_back(0); // pixel data must start inside the file
            const TBytes file =
                MakeBmp({4, 3, compression == 1 ? 8 : 4, compression, palette, {}, data});
            const TDecodeResult r = DecodeBmpMemory(file.data(), file.size());
            ExpectConsistent(r);
            if (r.Ok()) {
                EXPECT_EQ(std::pair(r->Width(), r->Height()), std::pair(4, 3));
            }
        }
    // The first case's first run still paints the whole bottom row.
    const TRgb p = DecodeBmpOk(MakeBmp({4, 3, 8, 1, palette, {}, streams[0]}));
    for (int x = 0; x < 4; ++x)
        ExpectPixel(p, x, 2, 0xFFFFFF);
}

TEST(BmpHandMade, LastRowWithoutPaddingIsEnough) {
    TBytes rows = StoredRows(3, 2, 24, false, [](int, int) { return 0x123456; });
    rows.resize(rows.size() - 3); // 9 bytes of pixels per row, 3 of padding
    const TRgb p = DecodeBmpOk(MakeBmp({3, 2, 24, 0, {}, {}, rows}));
    ExpectPixel(p, 2, 0, 0x123456);
}

struct TRefusedCase {
    const char* Name;
    TBytes File;
};

TBytes WithHeaderField(TBytes file, size_t offset, std::uint32_t value, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        file[offset + i] = std::uint8_t(value >> (8 * i));
    return file;
}

std::vector<TRefusedCase> RefusedBmps() {
    const TBytes good = MakeBmp({4, 4, 24, 0, {}, {}, TBytes(48, 0x80)});
    TBytes truncated = good;
    truncated.pop_back();
    return {
        {"Empty", {}},
        {"OnlyMagic", {'B', 'M'}},
        {"NotBmp", WithHeaderField(good, 0, 'P' | 'K' << 8, 2)},
        {"UnknownHeaderSize", WithHeaderField(good, 14, 66)},
        {"ZeroWidth", WithHeaderField(good, 18, 0)},
        {"NegativeWidth", WithHeaderField(good, 18, std::uint32_t(-4))},
        {"ZeroHeight", WithHeaderField(good, 22, 0)},
        {"MostNegativeHeight", WithHeaderField(good, 22, 0x80000000u)},
        // Headers announcing huge rasters over a few bytes of data.
        {"Huge", WithHeaderField(WithHeaderField(good, 18, 100000), 22, 100000)},
        {"JustOverLimit", WithHeaderField(WithHeaderField(good, 18, 20001), 22, 20000)},
        {"HugeTopDown",
         WithHeaderField(WithHeaderField(good, 18, 30000), 22, std::uint32_t(-30000))},
        {"HugeRle", MakeBmp({60000, 60000, 8, 1, {0, 0xFFFFFF}, {}, {0, 1}})},
        {"BadDepth", WithHeaderField(good, 28, 30000, 2)},
        {"SixtyFourBits", WithHeaderField(good, 28, 64, 2)},
        {"EmbeddedJpeg", WithHeaderField(good, 30, 4)},
        {"EmbeddedPng", WithHeaderField(good, 30, 5)},
        {"RleOfWrongDepth", WithHeaderField(good, 30, 1)},
        {"PixelsTruncated", truncated},
        {"PixelOffsetPastEnd", WithHeaderField(good, 10, 5000)},
    };
}

class BmpRefused : public testing::TestWithParam<TRefusedCase> {};

TEST_P(BmpRefused, FailsWithAReason) {
    const TBytes& f = GetParam().File;
    const TDecodeResult r = DecodeBmpMemory(f.data(), f.size());
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Reason().empty());
    EXPECT_THROW((void)r.Value(), std::bad_variant_access); // no picture handed out
}

INSTANTIATE_TEST_SUITE_P(Files, BmpRefused, testing::ValuesIn(RefusedBmps()),
                         [](const testing::TestParamInfo<TRefusedCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(BmpHandMade, MissingFileFails) {
    const TDecodeResult r = DecodeBmpFile(QDir::temp().filePath("no such dir/none.bmp"));
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Reason().empty());
}

// --- BMP: the suite's files
// -----------------------------------------------------------------------

QString Suite(const QString& file) {
    return TestData(QStringLiteral("bmpsuite/") + file);
}

TRgb DecodeSuite(const QString& file) {
    const TDecodeResult r = DecodeBmpFile(Suite(file));
    EXPECT_TRUE(r.Ok()) << file.toStdString() << ": " << r.Reason();
    return FromDecoded(*r);
}

struct TGoodCase {
    const char* File;
    int Width, Height;
};

class BmpGood : public testing::TestWithParam<TGoodCase> {};

// Each good file decodes, at its size, to what Qt's independent reader sees, except that
// Qt shifts 16-bit samples without scaling them to the full range (white as 248).
TEST_P(BmpGood, DecodesLikeAnIndependentReader) {
    const TGoodCase& c = GetParam();
    const QString path = Suite(QStringLiteral("g/") + c.File);
    REQUIRE_FILE(path);
    const TRgb p = DecodeSuite(QStringLiteral("g/") + c.File);
    ASSERT_EQ(p.Width, c.Width);
    ASSERT_EQ(p.Height, c.Height);
    QImageReader reader(path, "bmp");
    const TRgb qt = FromQt(reader.read());
    ASSERT_EQ(qt.Width, c.Width);
    const bool sixteen = QString(c.File).startsWith("rgb16");
    EXPECT_LE(MaxDifference(p, qt), sixteen ? 7 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpGood,
    testing::Values(TGoodCase{"pal1.bmp", 127, 64}, TGoodCase{"pal1bg.bmp", 127, 64},
                    TGoodCase{"pal1wb.bmp", 127, 64}, TGoodCase{"pal4.bmp", 127, 64},
                    TGoodCase{"pal4gs.bmp", 127, 64}, TGoodCase{"pal4rle.bmp", 127, 64},
                    TGoodCase{"pal8-0.bmp", 127, 64}, TGoodCase{"pal8.bmp", 127, 64},
                    TGoodCase{"pal8gs.bmp", 127, 64}, TGoodCase{"pal8nonsquare.bmp", 127, 32},
                    TGoodCase{"pal8os2.bmp", 127, 64}, TGoodCase{"pal8rle.bmp", 127, 64},
                    TGoodCase{"pal8topdown.bmp", 127, 64}, TGoodCase{"pal8v4.bmp", 127, 64},
                    TGoodCase{"pal8v5.bmp", 127, 64}, TGoodCase{"pal8w124.bmp", 124, 61},
                    TGoodCase{"pal8w125.bmp", 125, 62}, TGoodCase{"pal8w126.bmp", 126, 63},
                    TGoodCase{"rgb16-565.bmp", 127, 64}, TGoodCase{"rgb16-565pal.bmp", 127, 64},
                    TGoodCase{"rgb16.bmp", 127, 64}, TGoodCase{"rgb16bfdef.bmp", 127, 64},
                    TGoodCase{"rgb24.bmp", 127, 64}, TGoodCase{"rgb24pal.bmp", 127, 64},
                    TGoodCase{"rgb32.bmp", 127, 64}, TGoodCase{"rgb32bf.bmp", 127, 64},
                    TGoodCase{"rgb32bfdef.bmp", 127, 64}),
    [](const testing::TestParamInfo<TGoodCase>& i) {
        std::string name = i.param.File;
        name.resize(name.size() - 4);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(BmpSuite, EveryGoodFileIsListed) {
    const QDir dir(Suite("g"));
    if (!dir.exists())
        GTEST_SKIP() << "test data not present";
    EXPECT_EQ(dir.entryList({"*.bmp"}, QDir::Files).size(), 27);
}

struct TSameCase {
    const char* File;
    const char* Reference;
    int Tolerance; // largest sample difference, for files with narrower samples
};

class BmpSamePicture : public testing::TestWithParam<TSameCase> {};

// Files that store one picture in different ways decode to the same pixels.
TEST_P(BmpSamePicture, AsItsReference) {
    const TSameCase& c = GetParam();
    REQUIRE_FILE(Suite(c.File));
    REQUIRE_FILE(Suite(c.Reference));
    const TRgb p = DecodeSuite(c.File);
    const TRgb ref = DecodeSuite(c.Reference);
    ASSERT_EQ(p.Width, ref.Width);
    ASSERT_EQ(p.Height, ref.Height);
    EXPECT_LE(MaxDifference(p, ref), c.Tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpSamePicture,
    testing::Values(
        TSameCase{"g/rgb24pal.bmp", "g/rgb24.bmp", 0}, TSameCase{"g/rgb32.bmp", "g/rgb24.bmp", 0},
        TSameCase{"g/rgb32bf.bmp", "g/rgb24.bmp", 0},
        TSameCase{"g/rgb32bfdef.bmp", "g/rgb24.bmp", 0}, TSameCase{"g/pal8-0.bmp", "g/pal8.bmp", 0},
        TSameCase{"g/pal8os2.bmp", "g/pal8.bmp", 0}, TSameCase{"g/pal8rle.bmp", "g/pal8.bmp", 0},
        TSameCase{"g/pal8topdown.bmp", "g/pal8.bmp", 0}, TSameCase{"g/pal8v4.bmp", "g/pal8.bmp", 0},
        TSameCase{"g/pal8v5.bmp", "g/pal8.bmp", 0}, TSameCase{"g/pal4rle.bmp", "g/pal4.bmp", 0},
        TSameCase{"g/pal1wb.bmp", "g/pal1.bmp", 0}, TSameCase{"g/rgb16bfdef.bmp", "g/rgb16.bmp", 0},
        TSameCase{"g/rgb16-565pal.bmp", "g/rgb16-565.bmp", 0},
        // Five or six bits per sample: within half a step of the 24-bit picture.
        TSameCase{"g/rgb16.bmp", "g/rgb24.bmp", 5}, TSameCase{"g/rgb16-565.bmp", "g/rgb24.bmp", 5},
        // Questionable files this reader supports.
        TSameCase{"q/pal8offs.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8oversizepal.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8os2-hs.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8os2-sz.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8os2v2.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8os2v2-16.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8os2v2-sz.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/pal8os2v2-40sz.bmp", "g/pal8.bmp", 0},
        TSameCase{"q/rgb24largepal.bmp", "g/rgb24.bmp", 0},
        TSameCase{"q/rgb24prof.bmp", "g/rgb24.bmp", 0},
        TSameCase{"q/rgb24lprof.bmp", "g/rgb24.bmp", 0},
        TSameCase{"q/rgb32fakealpha.bmp", "g/rgb24.bmp", 0},
        TSameCase{"q/rgb32-xbgr.bmp", "g/rgb24.bmp", 0},
        TSameCase{"q/rgb32h52.bmp", "g/rgb24.bmp", 0},
        TSameCase{"q/rgb32-111110.bmp", "g/rgb24.bmp", 1},
        TSameCase{"q/rgb32-7187.bmp", "g/rgb24.bmp", 2},
        // With an alpha channel, which is ignored: transparent parts show their stored colour.
        TSameCase{"q/rgba32-2.bmp", "q/rgba32-1.bmp", 0},
        TSameCase{"q/rgba32h56.bmp", "q/rgba32-1.bmp", 0},
        TSameCase{"q/rgba32abf.bmp", "q/rgba32-1.bmp", 0},
        TSameCase{"q/rgba32-1010102.bmp", "q/rgba32-1.bmp", 1},
        TSameCase{"q/rgba32-81284.bmp", "q/rgba32-1.bmp", 1},
        TSameCase{"q/rgba32-61754.bmp", "q/rgba32-1.bmp", 4},
        TSameCase{"q/rgba16-4444.bmp", "q/rgba32-1.bmp", 9}),
    [](const testing::TestParamInfo<TSameCase>& i) {
        std::string name = i.param.File;
        name = name.substr(0, name.size() - 4);
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

// Known pixels of the suite's picture, read from the 24-bit file: red top-left and a
// grey-blue bottom-right; a mix-up of row order or channels shows here first.
TEST(BmpSuite, KnownCorners) {
    REQUIRE_FILE(Suite("g/rgb24.bmp"));
    const TRgb p = DecodeSuite("g/rgb24.bmp");
    ExpectPixel(p, 0, 0, 0xFF0000);
    ExpectPixel(p, 126, 63, 0x60607E);
}

TEST(BmpSuite, SixteenBitWhiteIsFullWhite) {
    for (const char* f : {"g/rgb16.bmp", "g/rgb16-565.bmp"}) {
        REQUIRE_FILE(Suite(f));
        const TRgb p = DecodeSuite(f);
        EXPECT_EQ(*std::max_element(p.Pixels.begin(), p.Pixels.end()), 255) << f;
    }
}

TEST(BmpSuite, GreyPalettesGiveGreys) {
    for (const char* f : {"g/pal4gs.bmp", "g/pal8gs.bmp"}) {
        REQUIRE_FILE(Suite(f));
        const TRgb p = DecodeSuite(f);
        for (size_t i = 0; i < p.Pixels.size(); i += 3) {
            ASSERT_EQ(p.Pixels[i], p.Pixels[i + 1]) << f;
            ASSERT_EQ(p.Pixels[i], p.Pixels[i + 2]) << f;
        }
    }
}

// Other BMP files beside the JPEG suite (an 8-bit palette of 256 colours, odd widths).
TEST(BmpSuite, LibjpegTurboBmpsAgreeWithQt) {
    for (const char* f : {"testimg.bmp", "shira_bird8.bmp", "vgl_5674_0098.bmp",
                          "vgl_6434_0018a.bmp", "vgl_6548_0026a.bmp"}) {
        const QString path = TestData(QStringLiteral("libjpeg-turbo/") + f);
        REQUIRE_FILE(path);
        const TDecodeResult r = DecodeBmpFile(path);
        ASSERT_TRUE(r.Ok()) << f << ": " << r.Reason();
        QImageReader reader(path, "bmp");
        EXPECT_TRUE(FromDecoded(*r) == FromQt(reader.read())) << f;
        const TBytes bytes = ReadBytes(path);
        EXPECT_TRUE(FromDecoded(*DecodeBmpMemory(bytes.data(), bytes.size())) == FromDecoded(*r))
            << f;
    }
}

// Bad and questionable files may decode or fail, but cleanly (the sanitizer build catches
// stray reads and writes); the clearly broken ones must fail.
TEST(BmpSuite, BadAndQuestionableFilesAreSafe) {
    for (const char* folder : {"b", "q"}) {
        const QDir dir(Suite(folder));
        if (!dir.exists())
            GTEST_SKIP() << "test data not present";
        for (const QString& f : dir.entryList({"*.bmp"}, QDir::Files)) {
            SCOPED_TRACE(f.toStdString());
            const TDecodeResult r = DecodeBmpFile(dir.filePath(f));
            ExpectConsistent(r);
            const TBytes bytes = ReadBytes(dir.filePath(f));
            const TDecodeResult m = DecodeBmpMemory(bytes.data(), bytes.size());
            EXPECT_EQ(m.Ok(), r.Ok());
            if (m.Ok() && r.Ok())
                EXPECT_TRUE(FromDecoded(*m) == FromDecoded(*r));
            else
                EXPECT_EQ(m.Reason(), r.Reason());
        }
    }
    for (const char* f :
         {"b/reallybig.bmp", "b/badwidth.bmp", "b/badbitcount.bmp", "b/badheadersize.bmp",
          "b/shortfile.bmp", "q/rgb24jpeg.bmp", "q/rgb24png.bmp"})
        EXPECT_FALSE(DecodeBmpFile(Suite(f)).Ok()) << f;
}

// Cutting and corrupting a good file anywhere but in its size fields (for those see the
// refusal cases; an RLE picture within the limit may rightly take 1.2 GB however short).
TEST(BmpDamaged, TruncatedAndCorrupted) {
    std::vector<TBytes> files{
        MakeBmp({7,
                 5,
                 8,
                 1,
                 {0, 0xFF, 0xFF00},
                 {},
                 {3, 1, 0, 4, 2, 1, 2, 0, 0, 0, 0, 2, 1, 1, 2, 2, 0, 1}}),
        MakeBmp({9, 4, 4, 0, {0, 0xFF}, {}, StoredRows(9, 4, 4, false, [](int x, int) {
                     return x & 1;
                 })})};
    for (const char* f : {"g/pal4rle.bmp", "g/rgb16-565.bmp", "g/pal8os2.bmp", "g/rgb32bf.bmp"})
        if (QFileInfo::exists(Suite(f)))
            files.push_back(ReadBytes(Suite(f)));
    std::mt19937 random(99);
    for (const TBytes& whole : files) {
        for (size_t length = 0; length < whole.size(); length += 1 + length / 8) {
            const TBytes cut(whole.begin(), whole.begin() + length);
            ExpectConsistent(DecodeBmpMemory(cut.data(), cut.size()));
        }
        const bool os2 = whole[14] == 12;
        const size_t sizeEnd = os2 ? 22 : 26;
        for (int round = 0; round < 300; ++round) {
            TBytes bad = whole;
            for (int i = 0; i < 3; ++i) {
                // Half the rounds hit the headers only.
                const size_t at =
                    random() % std::min<size_t>(bad.size(), round % 2 ? bad.size() : 80);
                if (at < 18 || at >= sizeEnd)
                    bad[at] = std::uint8_t(random());
            }
            ExpectConsistent(DecodeBmpMemory(bad.data(), bad.size()));
        }
    }
}
