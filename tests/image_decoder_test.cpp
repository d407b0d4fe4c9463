// The JPEG and BMP decoders: exact pixels against independent references (libjpeg driven
// directly, reference files, Qt's own BMP reader), hand-made files for the corner cases,
// and damaged or hostile input that must end in a clean failure or a picture.
#include "engine/accumulate.h"
#include "image/decoder.h"
#include "image/image_loader.h"
#include "image/prefault.h"
#include "image/qt_raster.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

using namespace tonalyx;

namespace {

using TBytes = std::vector<std::uint8_t>;

QString TestData(const QString& relative) {
    return QStringLiteral(TONALYX_TESTDATA "/") + relative;
}

#define REQUIRE_FILE(path)                                                                         \
    do {                                                                                           \
        if (!QFileInfo::exists(path)) {                                                            \
            GTEST_SKIP() << "test data not present: " << (path).toStdString();                     \
        }                                                                                          \
    } while (0)

TBytes ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return TBytes(all.begin(), all.end());
}

void WriteBytes(const QString& path, const TBytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())),
              qint64(bytes.size()));
}

// The decoders open files by path; the tests name them as Qt does.
TDecodeResult DecodeJpegFile(const QString& path, const TRowsReady& rowsReady = {}) {
    return tonalyx::DecodeJpegFile(PathOf(path), rowsReady);
}
TDecodeResult DecodeBmpFile(const QString& path) {
    return tonalyx::DecodeBmpFile(PathOf(path));
}

// A packed RGB raster, the common ground of every comparison below.
struct TRgb {
    int Width = 0;
    int Height = 0;
    TBytes Pixels;
    const std::uint8_t* At(int x, int y) const { return &Pixels[(size_t(y) * Width + x) * 3]; }
    bool operator==(const TRgb&) const = default;
};

TRgb FromDecoded(const TRaster& image) {
    EXPECT_GE(image.Stride(), 3 * std::ptrdiff_t{image.Width()});
    TRgb out{image.Width(), image.Height(), {}};
    out.Pixels.reserve(size_t(out.Width) * out.Height * 3);
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* row = image.View().Row(y);
        for (int x = 0; x < image.Width(); ++x)
            out.Pixels.insert(out.Pixels.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    return out;
}

TRgb FromQt(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    TRgb out{rgb.width(), rgb.height(), {}};
    for (int y = 0; y < rgb.height(); ++y)
        out.Pixels.insert(out.Pixels.end(), rgb.constScanLine(y),
                          rgb.constScanLine(y) + 3 * rgb.width());
    return out;
}

TRgb ReadPpm(const QString& path) {
    const TBytes b = ReadBytes(path);
    int w = 0, h = 0, maxval = 0, used = 0;
    const std::string head(b.begin(), b.begin() + std::min<size_t>(b.size(), 64));
    if (std::sscanf(head.c_str(), "P6 %d %d %d%n", &w, &h, &maxval, &used) != 3 || maxval != 255)
        return {};
    ++used; // the single whitespace after maxval
    return TRgb{w, h, TBytes(b.begin() + used, b.begin() + used + size_t(w) * h * 3)};
}

// Largest difference of any sample.
int MaxDifference(const TRgb& a, const TRgb& b) {
    int worst = 0;
    for (size_t i = 0; i < a.Pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.Pixels[i]) - int(b.Pixels[i])));
    return worst;
}

double MeanDifference(const TRgb& a, const TRgb& b) {
    double sum = 0;
    for (size_t i = 0; i < a.Pixels.size(); ++i)
        sum += std::abs(int(a.Pixels[i]) - int(b.Pixels[i]));
    return sum / double(a.Pixels.size());
}

// --- libjpeg driven directly, as references and to make test files --------------------------

struct TRefError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
};

void RefErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TRefError*>(cinfo->err)->Jump, 1);
}
void RefSilent(j_common_ptr) {}

enum class TRefMode {
    Plain,      // what `djpeg -dct fast` does: progressive files absorbed whole, then output
    ScanByScan, // buffered image mode showing every scan as it arrives, last picture kept
};

struct TRefState {
    jpeg_decompress_struct Info{};
    TRefError Error{};
    TRgb Out;
    ~TRefState() { jpeg_destroy_decompress(&Info); }
};

void RefReadPass(TRefState& s) {
    j_decompress_ptr cinfo = &s.Info;
    const int channels = cinfo->output_components;
    TBytes row(size_t(cinfo->output_width) * channels);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = int(cinfo->output_scanline);
        JSAMPROW p = row.data();
        if (jpeg_read_scanlines(cinfo, &p, 1) != 1)
            std::abort();
        for (JDIMENSION x = 0; x < cinfo->output_width; ++x)
            for (int c = 0; c < 3; ++c)
                s.Out.Pixels[(size_t(y) * s.Out.Width + x) * 3 + c] =
                    row[x * channels + (channels == 1 ? 0 : c)];
    }
}

// Decodes with libjpeg's fast integer IDCT into RGB; grey files are expanded here.
// Returns false on a libjpeg error.
bool ReferenceDecode(const TBytes& jpeg, TRgb& out, TRefMode mode = TRefMode::Plain) {
    auto s = std::make_unique<TRefState>();
    s->Info.err = jpeg_std_error(&s->Error.Mgr);
    s->Error.Mgr.error_exit = RefErrorExit;
    s->Error.Mgr.output_message = RefSilent;
    if (setjmp(s->Error.Jump))
        return false;
    jpeg_create_decompress(&s->Info);
    jpeg_mem_src(&s->Info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&s->Info, TRUE);
    s->Info.dct_method = JDCT_IFAST;
    s->Info.do_block_smoothing = TRUE;
    if (s->Info.jpeg_color_space != JCS_GRAYSCALE)
        s->Info.out_color_space = JCS_RGB;
    s->Info.buffered_image = mode == TRefMode::ScanByScan && jpeg_has_multiple_scans(&s->Info);
    jpeg_start_decompress(&s->Info);
    s->Out = TRgb{int(s->Info.output_width), int(s->Info.output_height),
                  TBytes(size_t(s->Info.output_width) * s->Info.output_height * 3)};
    if (!s->Info.buffered_image) {
        RefReadPass(*s);
    } else {
        while (!jpeg_input_complete(&s->Info)) {
            jpeg_start_output(&s->Info, s->Info.input_scan_number);
            RefReadPass(*s);
            jpeg_finish_output(&s->Info);
        }
    }
    jpeg_finish_decompress(&s->Info);
    out = std::move(s->Out);
    return true;
}

struct TEncodeOptions {
    bool Progressive = false;
    int Quality = 90;
    J_COLOR_SPACE Input = JCS_RGB; // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
    J_COLOR_SPACE Stored = JCS_YCbCr;
    bool AdobeMarker = true; // only for CMYK/YCCK; libjpeg writes one by default
    int ChromaSampling = 2;  // 2 = 4:2:0, 1 = 4:4:4 (YCbCr only)
};

// Samples are interleaved, input_components per pixel. libjpeg's default error handling
// applies: the inputs here are always valid.
TBytes EncodeJpeg(int width, int height, const TBytes& samples, const TEncodeOptions& o) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.in_color_space = o.Input;
    cinfo.input_components = o.Input == JCS_GRAYSCALE ? 1 : o.Input == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, o.Stored);
    if (o.Stored == JCS_YCbCr)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = o.ChromaSampling;
    if (o.Input == JCS_CMYK)
        cinfo.write_Adobe_marker = o.AdobeMarker;
    jpeg_set_quality(&cinfo, o.Quality, TRUE);
    if (o.Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(width) * cinfo.input_components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    TBytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// A test picture with smooth ramps, hard edges and texture, so every DCT path gets work.
TRgb TestPicture(int width, int height) {
    TRgb p{width, height, TBytes(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* q = &p.Pixels[(size_t(y) * width + x) * 3];
            q[0] = std::uint8_t(x * 255 / std::max(1, width - 1));
            q[1] = std::uint8_t(y * 255 / std::max(1, height - 1));
            q[2] = std::uint8_t(((x / 8 + y / 8) & 1) ? 220 : 30 + (x * y) % 40);
        }
    return p;
}

TBytes Grey(const TRgb& p) {
    TBytes g(size_t(p.Width) * p.Height);
    for (size_t i = 0; i < g.size(); ++i)
        g[i] = std::uint8_t((p.Pixels[3 * i] * 3 + p.Pixels[3 * i + 1] * 6 + p.Pixels[3 * i + 2]) /
                            10);
    return g;
}

TRgb DecodeOk(const TBytes& jpeg) {
    const TDecodeResult r = DecodeJpegMemory(jpeg.data(), jpeg.size());
    EXPECT_TRUE(r.Ok()) << r.Error;
    return FromDecoded(r.Image);
}

// Every row reported must already hold its final pixels, and the reports must cover the
// picture once, top to bottom.
struct TRowLog {
    std::vector<std::pair<int, int>> Calls;
    TBytes Snapshot; // the rows as they were when reported
    const std::uint8_t* Bits = nullptr;

    TRowsReady Callback() {
        return [this](const TRaster& image, int first, int count) {
            Calls.emplace_back(first, count);
            Bits = image.Bits();
            const size_t stride = size_t(image.Stride());
            Snapshot.resize(stride * image.Height());
            std::memcpy(Snapshot.data() + stride * first, image.View().Row(first), stride * count);
        };
    }

    void Check(const TDecodeResult& r) const {
        ASSERT_TRUE(r.Ok()) << r.Error;
        int next = 0;
        for (const auto& [first, count] : Calls) {
            EXPECT_EQ(first, next);
            EXPECT_GT(count, 0);
            next = first + count;
        }
        EXPECT_EQ(next, r.Image.Height());
        EXPECT_EQ(Bits, r.Image.Bits()); // the rows live in the result image
        ASSERT_EQ(Snapshot.size(), r.Image.SizeInBytes());
        EXPECT_EQ(0, std::memcmp(Snapshot.data(), r.Image.Bits(), Snapshot.size()));
    }
};

// Offset of the frame header's marker (SOF0..SOF2), or 0.
size_t FindFrameHeader(const TBytes& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2))
            return i;
    return 0;
}

// --- BMP files written by hand --------------------------------------------------------------

void Put16(TBytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void Put32(TBytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

struct TBmpSpec {
    std::int32_t Width = 0;
    std::int32_t Height = 0; // negative: top-down
    int Bits = 24;
    std::uint32_t Compression = 0;
    std::vector<std::uint32_t> Palette; // 0xRRGGBB
    std::vector<std::uint32_t> Masks;   // red, green, blue, written after a 40-byte header
    TBytes Pixels;                      // the stored rows or RLE stream
    bool Os2Core = false;               // 12-byte header with 16-bit sizes, 3-byte palette
};

TBytes MakeBmp(const TBmpSpec& s) {
    const std::uint32_t infoSize = s.Os2Core ? 12 : 40;
    const std::uint32_t entry = s.Os2Core ? 3 : 4;
    const std::uint32_t offset =
        14 + infoSize + 4 * std::uint32_t(s.Masks.size()) + entry * std::uint32_t(s.Palette.size());
    TBytes b{'B', 'M'};
    Put32(b, offset + std::uint32_t(s.Pixels.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, infoSize);
    if (s.Os2Core) {
        Put16(b, std::uint32_t(s.Width));
        Put16(b, std::uint32_t(s.Height));
        Put16(b, 1);
        Put16(b, std::uint32_t(s.Bits));
    } else {
        Put32(b, std::uint32_t(s.Width));
        Put32(b, std::uint32_t(s.Height));
        Put16(b, 1);
        Put16(b, std::uint32_t(s.Bits));
        Put32(b, s.Compression);
        Put32(b, std::uint32_t(s.Pixels.size()));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, std::uint32_t(s.Palette.size()));
        Put32(b, 0);
    }
    for (std::uint32_t m : s.Masks)
        Put32(b, m);
    for (std::uint32_t c : s.Palette) {
        b.insert(b.end(), {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16)});
        if (!s.Os2Core)
            b.push_back(0);
    }
    b.insert(b.end(), s.Pixels.begin(), s.Pixels.end());
    return b;
}

// Stored rows in file order (bottom-up unless topDown), each padded to 4 bytes.
template <typename PixelBytes>
TBytes StoredRows(int width, int height, int bits, bool topDown, PixelBytes pixelBits) {
    const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    TBytes out(stride * height);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        std::uint8_t* row = &out[stride * r];
        for (int x = 0; x < width; ++x) {
            const std::uint64_t v = pixelBits(x, y);
            if (bits >= 8) {
                for (int i = 0; i < bits / 8; ++i)
                    row[size_t(x) * bits / 8 + i] = std::uint8_t(v >> (8 * i));
            } else {
                const size_t bit = size_t(x) * bits;
                row[bit / 8] |= std::uint8_t(v << (8 - bits - bit % 8));
            }
        }
    }
    return out;
}

std::array<std::uint8_t, 3> ColourAt(int x, int y) {
    return {std::uint8_t(x * 37 + y * 11), std::uint8_t(x * 5 + y * 71),
            std::uint8_t(x * y * 3 + 9)};
}

TRgb DecodeBmpOk(const TBytes& bmp) {
    const TDecodeResult r = DecodeBmpMemory(bmp.data(), bmp.size());
    EXPECT_TRUE(r.Ok()) << r.Error;
    return FromDecoded(r.Image);
}

void ExpectPixel(const TRgb& p, int x, int y, std::uint32_t rgb) {
    const std::uint8_t* q = p.At(x, y);
    EXPECT_EQ((q[0] << 16 | q[1] << 8 | q[2]), int(rgb)) << "at " << x << "," << y;
}

// A failed decode says why and hands out no picture; a successful one is a sane picture.
void ExpectConsistent(const TDecodeResult& r) {
    if (r.Ok()) {
        EXPECT_GE(r.Image.Stride(), 3 * std::ptrdiff_t{r.Image.Width()});
        EXPECT_LE(std::int64_t(r.Image.Width()) * r.Image.Height(), MaxDecodePixels);
    } else {
        EXPECT_FALSE(r.Error.empty());
        EXPECT_TRUE(r.Image.IsNull());
    }
}

} // namespace

// --- JPEG: reference files ---------------------------------------------------------------------

class JpegFastIdctReference : public testing::TestWithParam<const char*> {};

// testimgfst.ppm is libjpeg's fast-IDCT output for testorig.jpg; testprog.jpg holds the same
// coefficients in progressive form. Block smoothing must leave a complete file alone.
TEST_P(JpegFastIdctReference, MatchesExactly) {
    const QString jpeg = TestData(QStringLiteral("libjpeg-turbo/") + GetParam());
    const QString ppm = TestData("libjpeg-turbo/testimgfst.ppm");
    REQUIRE_FILE(jpeg);
    REQUIRE_FILE(ppm);
    const TDecodeResult r = DecodeJpegFile(jpeg);
    ASSERT_TRUE(r.Ok()) << r.Error;
    EXPECT_TRUE(FromDecoded(r.Image) == ReadPpm(ppm));
}

INSTANTIATE_TEST_SUITE_P(Files, JpegFastIdctReference,
                         testing::Values("testorig.jpg", "testprog.jpg"));

class JpegSuiteFile : public testing::TestWithParam<const char*> {};

// Every 8-bit file of the suite, baseline, progressive, arithmetic, grey, decodes as libjpeg
// itself does with the same settings, from a file and from memory alike.
TEST_P(JpegSuiteFile, AgreesWithLibjpeg) {
    const QString path = TestData(QStringLiteral("libjpeg-turbo/") + GetParam());
    REQUIRE_FILE(path);
    const TBytes bytes = ReadBytes(path);
    TRgb expected;
    ASSERT_TRUE(ReferenceDecode(bytes, expected));
    const TDecodeResult fromFile = DecodeJpegFile(path);
    ASSERT_TRUE(fromFile.Ok()) << fromFile.Error;
    EXPECT_TRUE(FromDecoded(fromFile.Image) == expected);
    EXPECT_TRUE(DecodeOk(bytes) == expected);
    TRgb lastScan;
    ASSERT_TRUE(ReferenceDecode(bytes, lastScan, TRefMode::ScanByScan));
    EXPECT_TRUE(lastScan == expected);
}

INSTANTIATE_TEST_SUITE_P(Files, JpegSuiteFile,
                         testing::Values("testorig.jpg", "testimgint.jpg", "testimgfst.jpg",
                                         "testimgfst100.jpg", "testimgflt.jpg", "testimgcrop.jpg",
                                         "testimggray.jpg", "testprog.jpg", "testimgp.jpg",
                                         "testimgari.jpg", "testimgpa.jpg"));

// Sequential, progressive and arithmetic forms of the same coefficients are one picture.
TEST(JpegSuite, SameCoefficientsSamePixels) {
    const QString files[] = {TestData("libjpeg-turbo/testimgint.jpg"),
                             TestData("libjpeg-turbo/testimgp.jpg"),
                             TestData("libjpeg-turbo/testimgari.jpg")};
    for (const QString& f : files)
        REQUIRE_FILE(f);
    const TRgb first = DecodeOk(ReadBytes(files[0]));
    EXPECT_TRUE(DecodeOk(ReadBytes(files[1])) == first);
    EXPECT_TRUE(DecodeOk(ReadBytes(files[2])) == first);
}

TEST(JpegSuite, GreyFileGivesGreyLevels) {
    const QString path = TestData("libjpeg-turbo/testimggray.jpg");
    REQUIRE_FILE(path);
    const TRgb p = DecodeOk(ReadBytes(path));
    ASSERT_EQ(p.Width, 227);
    int distinct[256] = {};
    for (size_t i = 0; i < p.Pixels.size(); i += 3) {
        ASSERT_EQ(p.Pixels[i], p.Pixels[i + 1]);
        ASSERT_EQ(p.Pixels[i], p.Pixels[i + 2]);
        distinct[p.Pixels[i]] = 1;
    }
    EXPECT_GT(std::count(std::begin(distinct), std::end(distinct), 1), 100);
}

class JpegTwelveBit : public testing::TestWithParam<const char*> {};

TEST_P(JpegTwelveBit, FailsWithAReason) {
    const QString path = TestData(QStringLiteral("libjpeg-turbo/") + GetParam());
    REQUIRE_FILE(path);
    const TDecodeResult r = DecodeJpegFile(path);
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Error.empty());
    EXPECT_TRUE(r.Image.IsNull());
}

INSTANTIATE_TEST_SUITE_P(Files, JpegTwelveBit, testing::Values("testorig12.jpg", "monkey12.jpg"));

// --- JPEG: files made here -----------------------------------------------------------------------

struct TJpegCase {
    const char* Name;
    int Width, Height;
    TEncodeOptions Options;
};

class JpegEncoded : public testing::TestWithParam<TJpegCase> {};

// Our output equals libjpeg's own decode with the same settings, and is the encoded picture
// (so both cannot be wrong the same way, e.g. in channel order).
TEST_P(JpegEncoded, AgreesWithLibjpegAndSource) {
    const TJpegCase& c = GetParam();
    const TRgb source = TestPicture(c.Width, c.Height);
    const bool grey = c.Options.Input == JCS_GRAYSCALE;
    const TBytes jpeg =
        EncodeJpeg(c.Width, c.Height, grey ? Grey(source) : source.Pixels, c.Options);
    TRgb expected;
    ASSERT_TRUE(ReferenceDecode(jpeg, expected));
    const TRgb decoded = DecodeOk(jpeg);
    ASSERT_TRUE(decoded == expected);
    TRgb lastScan;
    ASSERT_TRUE(ReferenceDecode(jpeg, lastScan, TRefMode::ScanByScan));
    EXPECT_TRUE(lastScan == decoded);
    if (grey) {
        TRgb g = source;
        const TBytes levels = Grey(source);
        for (size_t i = 0; i < levels.size(); ++i)
            g.Pixels[3 * i] = g.Pixels[3 * i + 1] = g.Pixels[3 * i + 2] = levels[i];
        EXPECT_LT(MeanDifference(decoded, g), 3.0);
    } else {
        // Sharp colour edges under 4:2:0 sampling cost ~9 on average; swapped channels ~90.
        EXPECT_LT(MeanDifference(decoded, source), 15.0);
        TRgb swapped = decoded;
        for (size_t i = 0; i < swapped.Pixels.size(); i += 3)
            std::swap(swapped.Pixels[i], swapped.Pixels[i + 2]);
        if (c.Width >= 16 && c.Height >= 16) {
            EXPECT_GT(MeanDifference(swapped, source), 30.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegEncoded,
    testing::Values(TJpegCase{"Baseline420", 64, 48, {}},
                    TJpegCase{
                        "Baseline444OddSize", 37, 23, {false, 95, JCS_RGB, JCS_YCbCr, true, 1}},
                    TJpegCase{"Progressive420", 61, 45, {true, 90}},
                    TJpegCase{"Progressive444", 40, 40, {true, 95, JCS_RGB, JCS_YCbCr, true, 1}},
                    TJpegCase{"Grey", 33, 17, {false, 90, JCS_GRAYSCALE, JCS_GRAYSCALE}},
                    TJpegCase{"ProgressiveGrey", 50, 30, {true, 90, JCS_GRAYSCALE, JCS_GRAYSCALE}},
                    TJpegCase{"StoredAsRgb", 24, 16, {false, 95, JCS_RGB, JCS_RGB}},
                    TJpegCase{"OnePixel", 1, 1, {}}, TJpegCase{"OneRow", 300, 1, {true, 90}},
                    TJpegCase{"OneColumn", 1, 70, {}}, TJpegCase{"Tall", 20, 700, {true, 80}}),
    [](const testing::TestParamInfo<TJpegCase>& i) { return std::string(i.param.Name); });

struct TCmykCase {
    const char* Name;
    J_COLOR_SPACE Stored;
    bool AdobeMarker; // files with one store inverted inks
};

class JpegCmyk : public testing::TestWithParam<TCmykCase> {};

TEST_P(JpegCmyk, GivesTheInkColours) {
    const TCmykCase& c = GetParam();
    // Patches of ink amounts (0 = none) and the colour they print.
    struct TPatch {
        std::uint8_t C, M, Y, K;
        std::uint32_t Rgb;
    };
    const TPatch patches[] = {
        {0, 0, 0, 0, 0xFFFFFF},     {255, 0, 0, 0, 0x00FFFF},   {0, 255, 0, 0, 0xFF00FF},
        {0, 0, 255, 0, 0xFFFF00},   {0, 0, 0, 255, 0x000000},   {0, 0, 0, 128, 0x7F7F7F},
        {128, 0, 128, 0, 0x7FFF7F}, {255, 255, 0, 0, 0x0000FF},
    };
    constexpr int Patch = 16;
    const int width = Patch * int(std::size(patches));
    TBytes samples;
    for (int y = 0; y < Patch; ++y)
        for (const TPatch& p : patches)
            for (int x = 0; x < Patch; ++x)
                for (std::uint8_t ink : {p.C, p.M, p.Y, p.K})
                    samples.push_back(c.AdobeMarker ? std::uint8_t(255 - ink) : ink);
    TEncodeOptions o;
    o.Input = JCS_CMYK;
    o.Stored = c.Stored;
    o.AdobeMarker = c.AdobeMarker;
    o.Quality = 100;
    TRowLog log;
    const TBytes jpeg = EncodeJpeg(width, Patch, samples, o);
    const TDecodeResult r = DecodeJpegMemory(jpeg.data(), jpeg.size(), log.Callback());
    log.Check(r);
    const TRgb decoded = FromDecoded(r.Image);
    for (size_t i = 0; i < std::size(patches); ++i) {
        const std::uint8_t* q = decoded.At(int(i) * Patch + Patch / 2, Patch / 2);
        const std::uint32_t want = patches[i].Rgb;
        EXPECT_NEAR(q[0], int(want >> 16), 3) << "patch " << i;
        EXPECT_NEAR(q[1], int(want >> 8 & 255), 3) << "patch " << i;
        EXPECT_NEAR(q[2], int(want & 255), 3) << "patch " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegCmyk,
                         testing::Values(TCmykCase{"PlainCmyk", JCS_CMYK, false},
                                         TCmykCase{"AdobeCmyk", JCS_CMYK, true},
                                         TCmykCase{"AdobeYcck", JCS_YCCK, true}),
                         [](const testing::TestParamInfo<TCmykCase>& i) {
                             return std::string(i.param.Name);
                         });

struct TRowsCase {
    const char* Name;
    TEncodeOptions Options;
};

class JpegRowsReady : public testing::TestWithParam<TRowsCase> {};

TEST_P(JpegRowsReady, ReportsEveryFinalRowOnceInOrder) {
    const TRgb source = TestPicture(90, 203);
    const bool grey = GetParam().Options.Input == JCS_GRAYSCALE;
    const TBytes jpeg = EncodeJpeg(source.Width, source.Height, grey ? Grey(source) : source.Pixels,
                                   GetParam().Options);
    TRowLog log;
    log.Check(DecodeJpegMemory(jpeg.data(), jpeg.size(), log.Callback()));
    EXPECT_GT(log.Calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegRowsReady,
    testing::Values(TRowsCase{"Baseline", {}}, TRowsCase{"Progressive", {true}},
                    TRowsCase{"ProgressiveGrey", {true, 90, JCS_GRAYSCALE, JCS_GRAYSCALE}}),
    [](const testing::TestParamInfo<TRowsCase>& i) { return std::string(i.param.Name); });

TEST(JpegRowsReady, SuiteFilesFromDisk) {
    for (const char* name : {"testorig.jpg", "testprog.jpg"}) {
        const QString path = TestData(QStringLiteral("libjpeg-turbo/") + name);
        REQUIRE_FILE(path);
        TRowLog log;
        log.Check(DecodeJpegFile(path, log.Callback()));
    }
}

// A cut file may decode partly or fail, but must do so cleanly; a file that only lacks its
// end marker is whole.
TEST(JpegDamaged, TruncatedAtManyLengths) {
    std::vector<TBytes> files{EncodeJpeg(96, 80, TestPicture(96, 80).Pixels, {}),
                              EncodeJpeg(96, 80, TestPicture(96, 80).Pixels, {true})};
    for (const char* name : {"testorig.jpg", "testprog.jpg"})
        if (QFileInfo::exists(TestData(QStringLiteral("libjpeg-turbo/") + name)))
            files.push_back(ReadBytes(TestData(QStringLiteral("libjpeg-turbo/") + name)));
    for (const TBytes& whole : files) {
        const TRgb full = DecodeOk(whole);
        for (size_t length :
             {size_t(0), size_t(1), size_t(2), size_t(3), size_t(20), size_t(150), whole.size() / 4,
              whole.size() / 2, whole.size() * 3 / 4, whole.size() - 3}) {
            SCOPED_TRACE(length);
            const TBytes cut(whole.begin(), whole.begin() + length);
            TRowLog log;
            const TDecodeResult r = DecodeJpegMemory(cut.data(), cut.size(), log.Callback());
            ExpectConsistent(r);
            if (r.Ok()) {
                EXPECT_EQ(std::pair(r.Image.Width(), r.Image.Height()),
                          std::pair(full.Width, full.Height));
                log.Check(r);
            }
            // A progressive file cut short shows what its scans so far hold, as libjpeg would.
            TRgb partial;
            if (r.Ok() && ReferenceDecode(cut, partial, TRefMode::ScanByScan)) {
                EXPECT_TRUE(FromDecoded(r.Image) == partial);
            }
        }
        const TBytes noEnd(whole.begin(), whole.end() - 2);
        EXPECT_TRUE(DecodeOk(noEnd) == full);
    }
}

TEST(JpegDamaged, GarbageFails) {
    std::mt19937 random(20240601);
    for (size_t size : {1, 2, 7, 100, 5000, 100000}) {
        TBytes junk(size);
        for (auto& b : junk)
            b = std::uint8_t(random());
        junk[0] = 0x00; // whatever follows, this is no JPEG
        const TDecodeResult r = DecodeJpegMemory(junk.data(), junk.size());
        EXPECT_FALSE(r.Ok());
        ExpectConsistent(r);
        // Behind a start-of-image marker the junk reaches the marker parser.
        junk[0] = 0xFF;
        if (size > 1)
            junk[1] = 0xD8;
        ExpectConsistent(DecodeJpegMemory(junk.data(), junk.size()));
    }
    EXPECT_FALSE(DecodeJpegMemory(nullptr, 0).Ok());
}

// Flipped bytes in the entropy-coded data and in the headers. The frame size is left alone:
// sizes are the refusal tests' business, and one within the limit may rightly take 1.2 GB.
TEST(JpegDamaged, CorruptedBytes) {
    std::mt19937 random(7);
    for (bool progressive : {false, true}) {
        const TBytes whole = EncodeJpeg(64, 64, TestPicture(64, 64).Pixels, {progressive});
        const size_t sof = FindFrameHeader(whole);
        ASSERT_NE(sof, 0u);
        for (int round = 0; round < 200; ++round) {
            TBytes bad = whole;
            for (int i = 0; i < 4; ++i) {
                const size_t at = random() % bad.size();
                if (at < sof + 5 || at > sof + 8)
                    bad[at] = std::uint8_t(random());
            }
            TRowLog log;
            const TDecodeResult r = DecodeJpegMemory(bad.data(), bad.size(), log.Callback());
            ExpectConsistent(r);
            if (r.Ok()) {
                log.Check(r);
            }
        }
    }
}

TEST(JpegDamaged, BmpNamedJpgFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("picture.jpg");
    WriteBytes(path, MakeBmp({2, 2, 24, 0, {}, {}, StoredRows(2, 2, 24, false, [](int, int) {
                                  return 0x808080;
                              })}));
    const TDecodeResult r = DecodeJpegFile(path);
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Error.empty());
}

TEST(JpegDamaged, MissingFileFails) {
    const TDecodeResult r = DecodeJpegFile(QDir::temp().filePath("no such dir/none.jpg"));
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Error.empty());
}

// Sizes over the limit are refused from the header alone: a 60000 × 60000 picture would need
// 10.8 GB, and a decode that tried would run out of memory or fill it for minutes.
TEST(JpegLimits, HugeHeaderIsRefused) {
    const TBytes small = EncodeJpeg(16, 16, TestPicture(16, 16).Pixels, {});
    const size_t sof = FindFrameHeader(small);
    ASSERT_NE(sof, 0u);
    for (auto [w, h] : {std::pair{60000, 60000}, std::pair{20001, 20000}, std::pair{65535, 6200}}) {
        ASSERT_GT(std::int64_t(w) * h, MaxDecodePixels);
        TBytes big = small;
        big[sof + 5] = std::uint8_t(h >> 8);
        big[sof + 6] = std::uint8_t(h);
        big[sof + 7] = std::uint8_t(w >> 8);
        big[sof + 8] = std::uint8_t(w);
        TRowLog log;
        const TDecodeResult r = DecodeJpegMemory(big.data(), big.size(), log.Callback());
        EXPECT_FALSE(r.Ok());
        EXPECT_FALSE(r.Error.empty());
        EXPECT_TRUE(log.Calls.empty());
    }
}

// --- JPEG and BMP from files with non-ASCII names
// -------------------------------------------------

TEST(DecodeFile, UnicodeNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TRgb picture = TestPicture(30, 20);
    const TBytes jpeg = EncodeJpeg(30, 20, picture.Pixels, {});
    const QString jpegPath = dir.filePath(QStringLiteral("Ünïcödé картинка.jpg"));
    WriteBytes(jpegPath, jpeg);
    const TDecodeResult j = DecodeJpegFile(jpegPath);
    ASSERT_TRUE(j.Ok()) << j.Error;
    EXPECT_TRUE(FromDecoded(j.Image) == DecodeOk(jpeg));

    const TBytes bmp =
        MakeBmp({30, 20, 24, 0, {}, {}, StoredRows(30, 20, 24, false, [](int x, int y) {
                     const auto c = ColourAt(x, y);
                     return c[2] | c[1] << 8 | c[0] << 16;
                 })});
    const QString bmpPath = dir.filePath(QStringLiteral("Ünïcödé картинка.bmp"));
    WriteBytes(bmpPath, bmp);
    const TDecodeResult b = DecodeBmpFile(bmpPath);
    ASSERT_TRUE(b.Ok()) << b.Error;
    EXPECT_TRUE(FromDecoded(b.Image) == DecodeBmpOk(bmp));
}

// --- JPEG read from a file in large pieces ------------------------------------------------------

// A file read through the decoder's own buffer decodes exactly as the same bytes in memory:
// whole, with markers skipped across the buffer's end, cut short anywhere, or empty.
TEST(JpegFromFile, SameAsFromMemoryWholeCutAndSkipped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TRgb picture = TestPicture(720, 530);
    const TBytes plain = EncodeJpeg(picture.Width, picture.Height, picture.Pixels, {});
    // Two application segments libjpeg skips, of the largest size a segment can have: the
    // second begins in the first 64 KB and ends in the second. They are full of end-of-image
    // markers, so that landing anywhere inside them ends the picture before it began.
    TBytes padded(plain.begin(), plain.begin() + 2);
    for (int i = 0; i < 2; ++i) {
        padded.insert(padded.end(), {0xFF, 0xEF, 0xFF, 0xFF});
        for (int k = 0; k < (0xFFFF - 2) / 2; ++k)
            padded.insert(padded.end(), {0xFF, 0xD9});
        padded.push_back(0);
    }
    padded.insert(padded.end(), plain.begin() + 2, plain.end());
    ASSERT_GT(padded.size(), 3u * 65536);

    const QString path = dir.filePath("picture.jpg");
    const auto same = [&](const TBytes& bytes) {
        WriteBytes(path, bytes);
        const TDecodeResult fromFile = DecodeJpegFile(path);
        const TDecodeResult fromMemory = DecodeJpegMemory(bytes.data(), bytes.size());
        ExpectConsistent(fromFile);
        EXPECT_EQ(fromFile.Ok(), fromMemory.Ok());
        EXPECT_EQ(fromFile.Error, fromMemory.Error);
        if (fromFile.Ok() && fromMemory.Ok()) {
            EXPECT_TRUE(FromDecoded(fromFile.Image) == FromDecoded(fromMemory.Image));
        }
        return fromFile.Ok();
    };
    EXPECT_TRUE(same(plain));
    EXPECT_TRUE(same(padded));
    const std::size_t body = padded.size() - plain.size(); // where the picture's own bytes start
    for (std::size_t cut : {std::size_t(70000), body + 300, body + 20000, padded.size() / 2,
                            padded.size() - 65536, padded.size() - 2}) {
        SCOPED_TRACE(cut);
        same(TBytes(padded.begin(), padded.begin() + std::ptrdiff_t(cut)));
    }
    EXPECT_TRUE(same(TBytes(padded.begin(), padded.end() - 2))); // only the end marker missing

    WriteBytes(path, {});
    const TDecodeResult empty = DecodeJpegFile(path);
    EXPECT_FALSE(empty.Ok());
    EXPECT_FALSE(empty.Error.empty());
}

// --- JPEG counted while it decodes, and the pages made ready on the way -------------------------

// What the row counter gathers while the rows arrive is what a recount of the finished
// picture gives, down to the sampled models, for both decoding paths. The taller picture
// wakes the counter for many rows at a time, the shorter one for every batch.
TEST(DecodeAndCount, CountsWhileDecodingEqualARecount) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (auto [width, height] : {std::pair{720, 530}, std::pair{150, 100}})
        for (bool progressive : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << width << "x" << height << " progressive " << progressive);
            const TRgb picture = TestPicture(width, height);
            const QString path = dir.filePath(QStringLiteral("%1.jpg").arg(height + progressive));
            WriteBytes(path, EncodeJpeg(width, height, picture.Pixels, {progressive}));
            const TLoadedImage loaded = DecodeAndCount(PathOf(path));
            ASSERT_TRUE(loaded.Decoded.Ok()) << loaded.Decoded.Error;
            const TRasterView view = loaded.Decoded.Image.View();
            const TPrimaryCounts recount = CountPrimaries(view);
            EXPECT_EQ(loaded.Primaries.R(), recount.R());
            EXPECT_EQ(loaded.Primaries.G(), recount.G());
            EXPECT_EQ(loaded.Primaries.B(), recount.B());
            // L*a*b* is sampled in both; HSV only in the larger, at coarse level 6.
            const int n = CoarseLevel(width, height);
            EXPECT_NE(loaded.Primaries.Samples().Level(TSampledModel::Lab, n, width, height),
                      nullptr);
            EXPECT_EQ(loaded.Primaries.Samples().Level(TSampledModel::HSV, n, width, height) !=
                          nullptr,
                      n == 6);
            auto counted = std::make_unique<THist>(), recounted = std::make_unique<THist>();
            counted->CalcCounted(Origin, view, loaded.Primaries);
            recounted->Calc(Origin, view);
            EXPECT_EQ(counted->Data[Origin], recounted->Data[Origin]);
        }
}

// A picture's rows, all of its noise.
TRaster NoisePicture(int width, int height, unsigned seed) {
    TRaster image = TRaster::Allocate(width, height);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.Row(y);
        for (int x = 0; x < 3 * width; ++x)
            row[x] = std::uint8_t(rng());
    }
    return image;
}

// Rows handed over far faster than any decoder could: the background thread falls behind
// and Finish counts the rest on the calling thread. Whoever counted what, the counts are
// those of the whole picture.
TEST(RowCounter, RowsFasterThanTheBackgroundThreadCounts) {
    const TRaster image = NoisePicture(701, 1500, 3);
    const TRasterView view = image.View();
    for (int batch : {16, 1, 500}) {
        SCOPED_TRACE(batch);
        TRowCounter counter;
        for (int y = 0; y < image.Height(); y += batch)
            counter.Add(image, y, std::min(batch, image.Height() - y));
        const TPrimaryCounts counts = counter.Finish();
        EXPECT_TRUE(counter.Complete(image.Height()));
        const TPrimaryCounts recount = CountPrimaries(view);
        EXPECT_EQ(counts.R(), recount.R());
        EXPECT_EQ(counts.G(), recount.G());
        EXPECT_EQ(counts.B(), recount.B());
        auto counted = std::make_unique<THist>(), recounted = std::make_unique<THist>();
        ASSERT_NE(counts.Samples().Level(TSampledModel::Lab, 7, view.Width, view.Height), nullptr);
        counted->CalcCounted(Origin, view, counts);
        recounted->Calc(Origin, view);
        EXPECT_EQ(counted->Data[Origin], recounted->Data[Origin]);
    }
}

TEST(RowCounter, RowsOutOfOrderOrMissingAreNotComplete) {
    const TRaster image = NoisePicture(300, 400, 4);
    {
        TRowCounter counter;
        counter.Add(image, 0, 16);
        counter.Add(image, 32, 16); // 16..31 skipped
        counter.Add(image, 48, 352);
        counter.Finish();
        EXPECT_FALSE(counter.Complete(image.Height()));
    }
    {
        TRowCounter counter;
        counter.Add(image, 0, 200);
        counter.Finish();
        EXPECT_FALSE(counter.Complete(image.Height()));
        EXPECT_TRUE(counter.Complete(200));
    }
    {
        TRowCounter counter; // never given a row; its destructor finishes it
    }
}

// Making the pages of a fresh buffer resident never changes what is written into it, also
// while the writing goes on.
TEST(Prefault, WritesDuringAndBeforeAreKept) {
    const std::size_t size = TPrefault::MinimumSize * 3 + 12345;
    const auto pattern = [](std::size_t i) { return std::uint8_t(i * 131 + (i >> 12)); };
    std::unique_ptr<std::uint8_t[]> fresh(new std::uint8_t[size]); // untouched pages
    fresh[0] = pattern(0);
    {
        TPrefault prefault(fresh.get(), size);
        for (std::size_t i = 1; i < size; ++i)
            fresh[i] = pattern(i);
        prefault.Join();
        prefault.Join(); // a second join does nothing
    }
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < size; ++i)
        wrong += fresh[i] != pattern(i);
    EXPECT_EQ(wrong, 0u);

    // Too small to be worth a thread: nothing happens.
    std::vector<std::uint8_t> small(1000, 7);
    TPrefault(small.data(), small.size()).Join();
    EXPECT_EQ(std::count(small.begin(), small.end(), 7), 1000);
}

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
    TBmpSpec layout{5, 2, 8, 0, palette, {}, StoredRows(5, 2, 8, false, index)};
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
                EXPECT_EQ(std::pair(r.Image.Width(), r.Image.Height()), std::pair(4, 3));
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
    EXPECT_FALSE(r.Error.empty());
    EXPECT_TRUE(r.Image.IsNull());
}

INSTANTIATE_TEST_SUITE_P(Files, BmpRefused, testing::ValuesIn(RefusedBmps()),
                         [](const testing::TestParamInfo<TRefusedCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(BmpHandMade, MissingFileFails) {
    const TDecodeResult r = DecodeBmpFile(QDir::temp().filePath("no such dir/none.bmp"));
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Error.empty());
}

// --- BMP: the suite's files
// -----------------------------------------------------------------------

QString Suite(const QString& file) {
    return TestData(QStringLiteral("bmpsuite/") + file);
}

TRgb DecodeSuite(const QString& file) {
    const TDecodeResult r = DecodeBmpFile(Suite(file));
    EXPECT_TRUE(r.Ok()) << file.toStdString() << ": " << r.Error;
    return FromDecoded(r.Image);
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
        ASSERT_TRUE(r.Ok()) << f << ": " << r.Error;
        QImageReader reader(path, "bmp");
        EXPECT_TRUE(FromDecoded(r.Image) == FromQt(reader.read())) << f;
        const TBytes bytes = ReadBytes(path);
        EXPECT_TRUE(FromDecoded(DecodeBmpMemory(bytes.data(), bytes.size()).Image) ==
                    FromDecoded(r.Image))
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
            EXPECT_TRUE(FromDecoded(m.Image) == FromDecoded(r.Image));
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
