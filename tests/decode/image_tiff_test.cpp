// The TIFF decoder: files of every kind it reads made by independent tools and counted
// against the reference decoder's pixels; hand-made files for what no tool writes (kinds
// refused, lying tags, files cut short, thousands of pages), the metadata, a cancelled decode.
#include "byte_source.h"
#include "image_format.h"
#include "image_loader.h"
#include "open_reasons.h"
#include "whole_raster.h"

#include "reference_counts.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tiffio.h> // the tags' numbers

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes ReadFileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return TBytes(all.begin(), all.end());
}

void WriteFileBytes(const QString& path, const TBytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

// --- Files made by the tools, against the reference decode -----------------------------------

// In a variant's steps: %rgba and %rgb are the source pictures (noise-like colour, alpha 0
// over a band of coloured pixels on the left), %tmp a file between two steps, %out the TIFF.
struct TToolVariant {
    const char* Name;
    std::vector<QStringList> Steps;
    int Bits;
    bool Alpha;
    int Orientation = 1;
    QStringList ReferenceOptions = {"-depth", "16"};
    int ExtraSamplesAs = -1; // the first extra sample's kind rewritten in the file made
};

const QString Convert = "/usr/bin/convert";

const TToolVariant ToolVariants[] = {
    {"Rgb8Uncompressed", {{Convert, "%rgb", "-depth", "8", "-compress", "None", "%out"}}, 8, false},
    {"Rgb8LzwStripsOf7Rows",
     {{Convert, "%rgb", "-depth", "8", "-compress", "LZW", "-define", "tiff:rows-per-strip=7",
       "%out"}},
     8,
     false},
    {"Rgb8DeflateTiles",
     {{Convert, "%rgb", "-depth", "8", "-compress", "Zip", "-define", "tiff:tile-geometry=64x64",
       "%out"}},
     8,
     false},
    {"Rgb8JpegYCbCr",
     {{"vips", "tiffsave", "%rgb", "%out", "--compression", "jpeg", "--Q", "90"}},
     8,
     false},
    {"Rgb8JpegTiles",
     {{Convert, "%rgb", "-depth", "8", "%tmp"},
      {"tiffcp", "-c", "jpeg", "-t", "-w", "32", "-l", "16", "%tmp", "%out"}},
     8,
     false},
    {"Rgb16Deflate", {{Convert, "%rgb", "-depth", "16", "-compress", "Zip", "%out"}}, 16, false},
    {"Rgb16PlanesBigEndian",
     {{Convert, "%rgb", "-depth", "16", "-interlace", "Plane", "-compress", "LZW", "%tmp"},
      {"tiffcp", "-B", "%tmp", "%out"}},
     16,
     false},
    {"Rgba8PackBits",
     {{Convert, "%rgba", "-depth", "8", "-define", "tiff:alpha=unassociated", "-compress", "RLE",
       "%out"}},
     8,
     true},
    {"Rgba8Planes",
     {{Convert, "%rgba", "-depth", "8", "-define", "tiff:alpha=unassociated", "%tmp"},
      {"tiffcp", "-p", "separate", "-c", "packbits", "%tmp", "%out"}},
     8,
     true},
    {"Rgba16PlanarTiles",
     {{Convert, "%rgba", "-depth", "16", "-define", "tiff:alpha=unassociated", "-interlace",
       "Plane", "-compress", "None", "%tmp"},
      {"tiffcp", "-t", "-w", "32", "-l", "48", "-c", "zip", "%tmp", "%out"}},
     16,
     true},
    // Premultiplied colour is counted as stored: the same samples as unassociated alpha.
    {"Rgba8AssociatedAsStored",
     {{Convert, "%rgba", "-depth", "8", "-define", "tiff:alpha=unassociated", "%out"}},
     8,
     true,
     1,
     {"-depth", "16"},
     EXTRASAMPLE_ASSOCALPHA},
    {"Rgb8ExtraSampleNotAlpha",
     {{Convert, "%rgba", "-depth", "8", "-define", "tiff:alpha=unassociated", "%out"}},
     8,
     false,
     1,
     {"-depth", "16", "-alpha", "off"},
     EXTRASAMPLE_UNSPECIFIED},
    {"Grey8PackBits",
     {{Convert, "%rgb", "-colorspace", "Gray", "-depth", "8", "-compress", "RLE", "%out"}},
     8,
     false},
    {"Grey16BigTiff",
     {{Convert, "%rgb", "-colorspace", "Gray", "-depth", "16", "%tmp"},
      {"tiffcp", "-8", "-c", "zip", "%tmp", "%out"}},
     16,
     false},
    {"Grey4", {{Convert, "%rgb", "-colorspace", "Gray", "-depth", "4", "%out"}}, 4, false},
    {"Grey2Tiles",
     {{Convert, "%rgb", "-colorspace", "Gray", "-depth", "2", "%tmp"},
      {"tiffcp", "-t", "-w", "48", "-l", "32", "%tmp", "%out"}},
     2,
     false},
    {"Grey1", {{Convert, "%rgb", "-colorspace", "Gray", "-depth", "1", "%out"}}, 1, false},
    {"Grey8MinIsWhite",
     {{Convert, "%rgb", "-colorspace", "Gray", "-depth", "8", "-define",
       "tiff:photometric=min-is-white", "%out"}},
     8,
     false},
    {"GreyAlpha8",
     {{Convert, "%rgba", "-colorspace", "Gray", "-depth", "8", "-define", "tiff:alpha=unassociated",
       "-compress", "LZW", "%out"}},
     8,
     true},
    {"GreyAlpha16Planes",
     {{Convert, "%rgba", "-colorspace", "Gray", "-depth", "16", "-define",
       "tiff:alpha=unassociated", "-interlace", "Plane", "%tmp"},
      {"tiffcp", "-r", "5", "%tmp", "%out"}},
     16,
     true},
    // A palette's colours are 16-bit.
    {"Palette8",
     {{Convert, "%rgb", "-colors", "200", "-type", "Palette", "-compress", "LZW", "%out"}},
     16,
     false},
    {"Palette4",
     {{Convert, "%rgb", "-colors", "12", "-type", "Palette", "-depth", "4", "%out"}},
     16,
     false},
    {"Orientation6",
     {{Convert, "%rgb", "-depth", "8", "-orient", "RightTop", "%out"}},
     8,
     false,
     6},
};

// The value of a SHORT tag held in its entry, rewritten in a little-endian classic TIFF's
// first directory.
bool RewriteShortTag(TBytes& file, std::uint16_t tag, std::uint16_t value) {
    const auto u16 = [&](std::size_t at) { return std::uint16_t(file[at] | file[at + 1] << 8); };
    if (file.size() < 8 || file[0] != 'I')
        return false;
    const std::size_t ifd = file[4] | file[5] << 8 | file[6] << 16 | std::size_t(file[7]) << 24;
    for (std::size_t i = 0, n = u16(ifd); i < n; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (u16(entry) == tag) {
            file[entry + 8] = std::uint8_t(value);
            file[entry + 9] = std::uint8_t(value >> 8);
            return true;
        }
    }
    return false;
}

class TiffByTools : public testing::TestWithParam<TToolVariant> {
  protected:
    static void SetUpTestSuite() {
        Sources = new QTemporaryDir;
        // Plasma gives every sample value its neighbours differ from; 131 × 67: odd, and
        // more than one band of rows. The alpha is 0 over 20 columns of coloured pixels.
        SourceError = RunTool(Convert, {"-size", "131x67", "-seed", "3", "plasma:red-blue",
                                        "-alpha", "set", "-channel", "A", "-fx", "i<20?0:(j+1)/h",
                                        "+channel", Source("rgba.png")});
        if (!SourceError)
            SourceError =
                RunTool(Convert, {Source("rgba.png"), "-alpha", "off", Source("rgb.png")});
    }
    static void TearDownTestSuite() { delete Sources; }
    static QString Source(const QString& name) { return Sources->filePath(name); }

    static inline QTemporaryDir* Sources = nullptr;
    static inline std::optional<std::string> SourceError;
    QTemporaryDir Dir;
};

TEST_P(TiffByTools, CountsAsTheReferenceDecoder) {
    REQUIRE_TOOL(Convert);
    REQUIRE_TOOL("vips");
    REQUIRE_TOOL("tiffcp");
    ASSERT_FALSE(SourceError) << *SourceError;
    const TToolVariant& v = GetParam();
    const QString out = Dir.filePath("picture.tif"), tmp = Dir.filePath("between.tif");
    const std::map<QString, QString> names = {
        {"%rgba", Source("rgba.png")}, {"%rgb", Source("rgb.png")}, {"%tmp", tmp}, {"%out", out}};
    for (const QStringList& step : v.Steps) {
        QStringList arguments = step.mid(1);
        for (QString& a : arguments)
            if (names.count(a))
                a = names.at(a);
        const std::optional<std::string> failed = RunTool(step[0], arguments);
        ASSERT_FALSE(failed) << *failed;
    }
    const QString reference = Dir.filePath("reference.pam");
    const std::optional<std::string> failed = RunTool(
        Convert, QStringList{out + "[0]"} + v.ReferenceOptions + QStringList{"pam:" + reference});
    ASSERT_FALSE(failed) << *failed;
    if (v.ExtraSamplesAs >= 0) {
        TBytes file = ReadFileBytes(out);
        ASSERT_TRUE(RewriteShortTag(file, TIFFTAG_EXTRASAMPLES, std::uint16_t(v.ExtraSamplesAs)));
        WriteFileBytes(out, file);
    }
    ExpectCountsAsReference(out.toStdString(), reference.toStdString(), v.Bits, v.Alpha,
                            v.Orientation);
}

INSTANTIATE_TEST_SUITE_P(Variants, TiffByTools, testing::ValuesIn(ToolVariants),
                         [](const auto& variant) { return std::string(variant.param.Name); });

// --- Hand-made files -----------------------------------------------------------------------------

struct TEntry {
    std::uint16_t Tag, Type; // 3 SHORT, 4 LONG, 7 UNDEFINED
    std::vector<std::uint32_t> Values;
    std::uint32_t LyingCount = 0; // when set, the count told, Values holding the offset told
};

// A little-endian classic TIFF: the directory first, then its values, then one strip of
// data (StripOffsets and, unless given, StripByteCounts filled in); with pages > 1 a chain
// of copies of the directory, all on the same data.
struct TMadeTiff {
    std::uint32_t Width = 64, Height = 40;
    std::uint16_t Bits = 8, Samples = 1, Photometric = PHOTOMETRIC_MINISBLACK;
    std::vector<TEntry> More; // further tags, or ones replacing the above
    TBytes Data = TBytes(64 * 40);
    int Pages = 1;

    TBytes Bytes() const {
        std::map<std::uint16_t, TEntry> tags = {
            {TIFFTAG_IMAGEWIDTH, {TIFFTAG_IMAGEWIDTH, 4, {Width}}},
            {TIFFTAG_IMAGELENGTH, {TIFFTAG_IMAGELENGTH, 4, {Height}}},
            {TIFFTAG_BITSPERSAMPLE,
             {TIFFTAG_BITSPERSAMPLE, 3, std::vector<std::uint32_t>(Samples, Bits)}},
            {TIFFTAG_COMPRESSION, {TIFFTAG_COMPRESSION, 3, {COMPRESSION_NONE}}},
            {TIFFTAG_PHOTOMETRIC, {TIFFTAG_PHOTOMETRIC, 3, {Photometric}}},
            {TIFFTAG_STRIPOFFSETS, {TIFFTAG_STRIPOFFSETS, 4, {0}}},
            {TIFFTAG_SAMPLESPERPIXEL, {TIFFTAG_SAMPLESPERPIXEL, 3, {Samples}}},
            {TIFFTAG_ROWSPERSTRIP, {TIFFTAG_ROWSPERSTRIP, 4, {Height}}},
            {TIFFTAG_STRIPBYTECOUNTS, {TIFFTAG_STRIPBYTECOUNTS, 4, {std::uint32_t(Data.size())}}},
        };
        for (const TEntry& e : More)
            tags[e.Tag] = e;
        TBytes out = {'I', 'I', 42, 0, 8, 0, 0, 0};
        const auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                out[at + i] = std::uint8_t(v >> (8 * i));
        };
        const auto width = [](const TEntry& e) { return e.Type == 3 ? 2 : e.Type == 4 ? 4 : 1; };
        const std::size_t directoryBytes = 2 + 12 * tags.size() + 4;
        std::vector<std::size_t> directories;
        std::vector<std::size_t> stripOffsetPlaces;
        for (int page = 0; page < Pages; ++page) {
            const std::size_t at = out.size();
            directories.push_back(at);
            out.resize(at + directoryBytes);
            put(at, std::uint32_t(tags.size()), 2);
            std::size_t entry = at + 2;
            for (const auto& [tag, e] : tags) {
                put(entry, tag, 2);
                put(entry + 2, e.Type, 2);
                put(entry + 4, e.LyingCount ? e.LyingCount : std::uint32_t(e.Values.size()), 4);
                const int w = width(e);
                std::size_t valueAt = entry + 8;
                if (e.Values.size() * w > 4 && !e.LyingCount) {
                    valueAt = out.size();
                    put(entry + 8, std::uint32_t(valueAt), 4);
                    out.resize(valueAt + e.Values.size() * w + 1); // word aligned
                }
                for (std::size_t i = 0; i < e.Values.size(); ++i)
                    put(valueAt + i * w, e.Values[i], w);
                if (tag == TIFFTAG_STRIPOFFSETS)
                    stripOffsetPlaces.push_back(valueAt);
                entry += 12;
            }
        }
        for (std::size_t p = 0; p + 1 < directories.size(); ++p)
            put(directories[p] + directoryBytes - 4, std::uint32_t(directories[p + 1]), 4);
        const std::size_t data = out.size();
        for (const std::size_t place : stripOffsetPlaces)
            if (tags.at(TIFFTAG_STRIPOFFSETS).Values == std::vector<std::uint32_t>{0})
                put(place, std::uint32_t(data), 4);
        out.insert(out.end(), Data.begin(), Data.end());
        return out;
    }
};

class TiffMade : public testing::Test {
  protected:
    // The file decoded as the window decodes it.
    TOutcome<TLoadedImage> Open(const TBytes& bytes, const QString& name = "made.tif") {
        const QString path = Dir.filePath(name);
        WriteFileBytes(path, bytes);
        return DecodeAndCount(path.toStdString());
    }
    QTemporaryDir Dir;
};

TBytes Ramp(std::size_t n) {
    TBytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = std::uint8_t(i * 7 + i / 64);
    return b;
}

TEST_F(TiffMade, RefusedWithAPlainReason) {
    const std::string kind = "This kind of TIFF picture cannot be opened";
    const std::string damaged = "The file is damaged: its start cannot be read";
    const std::string dataDamaged = "The picture is damaged: its data cannot be decoded";
    const std::string ends = "The file ends early: the picture in it is incomplete";
    const TBytes good = TMadeTiff{}.Bytes();
    TBytes truncated = good;
    truncated.resize(good.size() - 100);
    TMadeTiff lzw;
    lzw.More = {{TIFFTAG_COMPRESSION, 3, {COMPRESSION_LZW}}};
    lzw.Data = TBytes(200, 0xff); // no LZW stream
    TMadeTiff lyingStrips;        // more strips than the one there is
    lyingStrips.More = {{TIFFTAG_ROWSPERSTRIP, 4, {8}}};
    TMadeTiff lyingTiles; // tiles, but the data of one strip
    lyingTiles.More = {{TIFFTAG_TILEWIDTH, 4, {16}}, {TIFFTAG_TILELENGTH, 4, {16}}};
    const auto made = [](std::uint16_t bits, std::uint16_t samples, std::uint16_t photometric,
                         std::vector<TEntry> more = {}) {
        TMadeTiff m;
        m.Bits = bits;
        m.Samples = samples;
        m.Photometric = photometric;
        m.More = std::move(more);
        m.Data = TBytes(std::size_t(64) * 40 * samples * ((bits + 7) / 8));
        return m.Bytes();
    };
    const struct {
        const char* Name;
        TBytes File;
        std::string Reason, Detail; // an empty detail is not compared
    } cases[] = {
        {"empty", {}, "The file is empty", ""},
        {"a JPEG",
         {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0},
         "This file is not a TIFF picture",
         ""},
        {"header cut", {'I', 'I', 42, 0, 8}, ends, ""},
        {"data cut", truncated, ends, ""},
        {"no directory", TBytes{'M', 'M', 0, 42, 0, 0, 0, 200}, ends, ""},
        {"CMYK", made(8, 4, PHOTOMETRIC_SEPARATED), kind, "CMYK"},
        {"Lab", made(8, 3, PHOTOMETRIC_CIELAB), kind, "Lab"},
        {"floating point", made(32, 1, 1, {{TIFFTAG_SAMPLEFORMAT, 3, {SAMPLEFORMAT_IEEEFP}}}), kind,
         "floating-point samples"},
        {"signed", made(16, 1, 1, {{TIFFTAG_SAMPLEFORMAT, 3, {SAMPLEFORMAT_INT}}}), kind,
         "signed samples"},
        {"12 bits", made(12, 1, 1), kind, "12 bits a sample"},
        {"YCbCr uncompressed", made(8, 3, PHOTOMETRIC_YCBCR), kind, "YCbCr colour"},
        {"huge",
         made(8, 1, 1, {{TIFFTAG_IMAGEWIDTH, 4, {100000}}, {TIFFTAG_IMAGELENGTH, 4, {100000}}}),
         "The picture is larger than 400 megapixels", ""},
        {"no size", made(8, 1, 1, {{TIFFTAG_IMAGEWIDTH, 4, {0}}}), damaged, ""},
        {"lying strips", lyingStrips.Bytes(), dataDamaged, ""},
        {"lying tiles", lyingTiles.Bytes(), dataDamaged, ""},
        {"broken LZW", lzw.Bytes(), dataDamaged, ""},
        {"strip past the end",
         made(8, 1, 1,
              {{TIFFTAG_COMPRESSION, 3, {COMPRESSION_LZW}},
               {TIFFTAG_STRIPBYTECOUNTS, 4, {1u << 30}}}),
         ends, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TOutcome<TLoadedImage> r = Open(c.File);
        ASSERT_FALSE(r.Ok());
        EXPECT_EQ(r.Reason(), c.Reason) << r.Detail();
        if (!c.Detail.empty()) {
            EXPECT_EQ(r.Detail(), c.Detail);
        }
    }
}

TEST_F(TiffMade, OrientationProfileAndStoredSamplesReachTheMeta) {
    // Profiles are bytes as stored: whether they make sense is the display's to judge.
    const TBytes profile = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'r', 'o', 'f', 'i', 'l', 'e'};
    TMadeTiff m;
    m.Bits = 16;
    m.Samples = 2;
    m.Data = Ramp(std::size_t(64) * 40 * 4);
    m.More = {{TIFFTAG_ORIENTATION, 3, {8}},
              {TIFFTAG_EXTRASAMPLES, 3, {EXTRASAMPLE_ASSOCALPHA}},
              {TIFFTAG_ICCPROFILE, 7, std::vector<std::uint32_t>(profile.begin(), profile.end())}};
    const TOutcome<TLoadedImage> r = Open(m.Bytes());
    ASSERT_TRUE(r.Ok()) << r.Reason() << " " << r.Detail();
    const TPictureMeta& meta = r->Image.Meta();
    EXPECT_EQ(meta.Orientation, 8);
    EXPECT_EQ(meta.IccProfile, profile);
    EXPECT_EQ(meta.StoredBits, 16);
    EXPECT_TRUE(meta.StoredAlpha);
    EXPECT_EQ(meta.Model, TStoredModel::Grey);
}

// A profile that cannot be read never fails the decode.
TEST_F(TiffMade, AProfileOutsideTheFileIsAProblemNotAFailure) {
    TMadeTiff m;
    m.More = {{TIFFTAG_ICCPROFILE, 7, {1'000'000}, 5000}};
    const TOutcome<TLoadedImage> r = Open(m.Bytes());
    ASSERT_TRUE(r.Ok()) << r.Reason() << " " << r.Detail();
    EXPECT_TRUE(r->Image.Meta().IccProfile.empty());
    EXPECT_FALSE(r->Image.Meta().ProfileProblem.empty());
}

// Only the first page is read: ten thousand more are never walked.
TEST_F(TiffMade, ThousandsOfPagesOpenAsFastAsOne) {
    TMadeTiff m;
    m.Data = Ramp(64 * 40);
    m.Pages = 10'000;
    const auto start = std::chrono::steady_clock::now();
    const TOutcome<TLoadedImage> r = Open(m.Bytes());
    ASSERT_TRUE(r.Ok()) << r.Reason() << " " << r.Detail();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r->Image.Width(), 64);
}

TEST_F(TiffMade, ACancelledDecodeEndsAtItsNextBand) {
    class TStopAfterOneBand final : public TRowTarget {
      public:
        bool Start(int width, int) override {
            Band.resize(std::size_t(width) * 3 * StreamBandRows);
            Stride = std::ptrdiff_t(width) * 3;
            return true;
        }
        TRowBand Rows(int, int) override { return {Band.data(), Stride}; }
        void Written(int, int) override { ++Bands; }
        bool Cancelled() const override { return Bands > 0; }
        int Bands = 0;

      private:
        std::vector<std::uint8_t> Band;
        std::ptrdiff_t Stride = 0;
    };
    const TBytes file = TMadeTiff{}.Bytes(); // 40 rows: three bands
    TMemoryBytes bytes(file.data(), file.size());
    TStopAfterOneBand target;
    const TOutcome<TDecodeNotes> r = StreamTiffBytes(bytes, target);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error(), DecodingCancelled());
    EXPECT_EQ(target.Bands, 1);
}

} // namespace
