// What the JPEG and BMP decoder tests share: files read and written, pictures compared as
// packed RGB, libjpeg driven directly as a reference and (through jpeg_encoder.h) to make
// test files, BMP files written by hand.
#pragma once

#include "accumulate.h"
#include "decoder.h"
#include "image_loader.h"
#include "prefault.h"
#include "qt_raster.h"

#include "jpeg_encoder.h"

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

namespace tonalyx::test {

using TBytes = std::vector<std::uint8_t>;

inline QString TestData(const QString& relative) {
    return QStringLiteral(TONALYX_TESTDATA "/") + relative;
}

// The pictures made in folder, and the suites' good and questionable files when present.
inline QStringList MadeAndSuitePictures(const QDir& folder) {
    QStringList all;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
        all << folder.filePath(name);
    for (const char* suite : {"bmpsuite/g", "bmpsuite/q", "libjpeg-turbo"}) {
        const QDir dir(TestData(suite));
        for (const QString& name : dir.entryList({"*.bmp", "*.jpg"}, QDir::Files, QDir::Name))
            all << dir.filePath(name);
    }
    return all;
}

#define REQUIRE_FILE(path)                                                                         \
    do {                                                                                           \
        if (!QFileInfo::exists(path)) {                                                            \
            GTEST_SKIP() << "test data not present: " << (path).toStdString();                     \
        }                                                                                          \
    } while (0)

inline TBytes ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return TBytes(all.begin(), all.end());
}

inline void WriteBytes(const QString& path, const TBytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())),
              qint64(bytes.size()));
}

// The decoders open files by path; the tests name them as Qt does.
inline TDecodeResult DecodeJpegFile(const QString& path, const TRowsReady& rowsReady = {}) {
    return tonalyx::DecodeJpegFile(PathOf(path), rowsReady);
}
inline TDecodeResult DecodeBmpFile(const QString& path) {
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

inline TRgb FromDecoded(const TRaster& image) {
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

inline TRgb FromQt(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    TRgb out{rgb.width(), rgb.height(), {}};
    for (int y = 0; y < rgb.height(); ++y)
        out.Pixels.insert(out.Pixels.end(), rgb.constScanLine(y),
                          rgb.constScanLine(y) + 3 * rgb.width());
    return out;
}

inline TRgb ReadPpm(const QString& path) {
    const TBytes b = ReadBytes(path);
    int w = 0, h = 0, maxval = 0, used = 0;
    const std::string head(b.begin(), b.begin() + std::min<size_t>(b.size(), 64));
    if (std::sscanf(head.c_str(), "P6 %d %d %d%n", &w, &h, &maxval, &used) != 3 || maxval != 255)
        return {};
    ++used; // the single whitespace after maxval
    return TRgb{w, h, TBytes(b.begin() + used, b.begin() + used + size_t(w) * h * 3)};
}

// Largest difference of any sample.
inline int MaxDifference(const TRgb& a, const TRgb& b) {
    int worst = 0;
    for (size_t i = 0; i < a.Pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.Pixels[i]) - int(b.Pixels[i])));
    return worst;
}

inline double MeanDifference(const TRgb& a, const TRgb& b) {
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

inline void RefErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TRefError*>(cinfo->err)->Jump, 1);
}
inline void RefSilent(j_common_ptr) {}

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

inline void RefReadPass(TRefState& s) {
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
inline bool ReferenceDecode(const TBytes& jpeg, TRgb& out, TRefMode mode = TRefMode::Plain) {
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

// The decoder tests' encodings: quality 90, YCbCr stored, 4:2:0 unless said otherwise.
struct TEncodeOptions {
    bool Progressive = false;
    int Quality = 90;
    J_COLOR_SPACE Input = JCS_RGB; // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
    J_COLOR_SPACE Stored = JCS_YCbCr;
    bool AdobeMarker = true; // only for CMYK/YCCK; libjpeg writes one by default
    int ChromaSampling = 2;  // 2 = 4:2:0, 1 = 4:4:4 (YCbCr only)
};

inline TBytes EncodeJpeg(int width, int height, const TBytes& samples, const TEncodeOptions& o) {
    TJpegEncoding e;
    e.Input = o.Input;
    e.Stored = o.Stored;
    e.Quality = o.Quality;
    e.Progressive = o.Progressive;
    if (o.Input == JCS_CMYK)
        e.AdobeMarker = o.AdobeMarker;
    if (o.Stored == JCS_YCbCr)
        e.LumaSampling = o.ChromaSampling;
    return EncodeWithLibjpeg(width, height, samples, e);
}

// A test picture with smooth ramps, hard edges and texture, so every DCT path gets work.
inline TRgb TestPicture(int width, int height) {
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

inline TBytes Grey(const TRgb& p) {
    TBytes g(size_t(p.Width) * p.Height);
    for (size_t i = 0; i < g.size(); ++i)
        g[i] = std::uint8_t((p.Pixels[3 * i] * 3 + p.Pixels[3 * i + 1] * 6 + p.Pixels[3 * i + 2]) /
                            10);
    return g;
}

inline TRgb DecodeOk(const TBytes& jpeg) {
    const TDecodeResult r = DecodeJpegMemory(jpeg.data(), jpeg.size());
    EXPECT_TRUE(r.Ok()) << r.Reason();
    return FromDecoded(*r);
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
        ASSERT_TRUE(r.Ok()) << r.Reason();
        int next = 0;
        for (const auto& [first, count] : Calls) {
            EXPECT_EQ(first, next);
            EXPECT_GT(count, 0);
            next = first + count;
        }
        EXPECT_EQ(next, r->Height());
        EXPECT_EQ(Bits, r->Bits()); // the rows live in the result image
        ASSERT_EQ(Snapshot.size(), r->SizeInBytes());
        EXPECT_EQ(0, std::memcmp(Snapshot.data(), r->Bits(), Snapshot.size()));
    }
};

// Offset of the frame header's marker (SOF0..SOF2), or 0.
inline size_t FindFrameHeader(const TBytes& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2))
            return i;
    return 0;
}

// --- BMP files written by hand --------------------------------------------------------------

inline void Put16(TBytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(TBytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

struct TBmpLayout {
    std::int32_t Width = 0;
    std::int32_t Height = 0; // negative: top-down
    int Bits = 24;
    std::uint32_t Compression = 0;
    std::vector<std::uint32_t> Palette; // 0xRRGGBB
    std::vector<std::uint32_t> Masks;   // red, green, blue, written after a 40-byte header
    TBytes Pixels;                      // the stored rows or RLE stream
    bool Os2Core = false;               // 12-byte header with 16-bit sizes, 3-byte palette
};

inline TBytes MakeBmp(const TBmpLayout& s) {
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

// The colour space fields of a BITMAPV5HEADER.
struct TBmpV5Colour {
    std::uint32_t Type = 0x73524742;         // "sRGB"; 0 calibrated, "MBED" embedded, "LINK"
    std::array<std::int32_t, 9> Endpoints{}; // red, green, blue CIE XYZ in 2.30 fixed point
    std::array<std::uint32_t, 3> Gamma{};    // 16.16 fixed point
    TBytes Profile;                          // after the pixels: the profile or a linked path
    std::int64_t ProfileShift = 0;           // added to the profile's recorded offset
};

// A 24-bit bottom-up picture (rows as StoredRows writes them) with a 124-byte V5 header.
inline TBytes MakeBmpV5(int width, int height, const TBytes& rows, const TBmpV5Colour& c) {
    const std::uint32_t offset = 14 + 124;
    const std::uint32_t profileAt = offset + std::uint32_t(rows.size());
    TBytes b{'B', 'M'};
    Put32(b, profileAt + std::uint32_t(c.Profile.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 124);
    Put32(b, std::uint32_t(width));
    Put32(b, std::uint32_t(height));
    Put16(b, 1);
    Put16(b, 24);
    for (std::uint32_t v : {0u, std::uint32_t(rows.size()), 2835u, 2835u, 0u, 0u})
        Put32(b, v); // compression, image size, resolution, colours
    for (int i = 0; i < 4; ++i)
        Put32(b, 0); // masks: not used at 24 bits
    Put32(b, c.Type);
    for (std::int32_t e : c.Endpoints)
        Put32(b, std::uint32_t(e));
    for (std::uint32_t g : c.Gamma)
        Put32(b, g);
    Put32(b, 4); // LCS_GM_IMAGES
    Put32(b, c.Profile.empty() ? 0 : std::uint32_t(profileAt - 14 + c.ProfileShift));
    Put32(b, std::uint32_t(c.Profile.size()));
    Put32(b, 0);
    b.insert(b.end(), rows.begin(), rows.end());
    b.insert(b.end(), c.Profile.begin(), c.Profile.end());
    return b;
}

// Stored rows in file order (bottom-up unless topDown), each padded to 4 bytes.
template <typename PixelBytes>
inline TBytes StoredRows(int width, int height, int bits, bool topDown, PixelBytes pixelBits) {
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

inline std::array<std::uint8_t, 3> ColourAt(int x, int y) {
    return {std::uint8_t(x * 37 + y * 11), std::uint8_t(x * 5 + y * 71),
            std::uint8_t(x * y * 3 + 9)};
}

inline TRgb DecodeBmpOk(const TBytes& bmp) {
    const TDecodeResult r = DecodeBmpMemory(bmp.data(), bmp.size());
    EXPECT_TRUE(r.Ok()) << r.Reason();
    return FromDecoded(*r);
}

inline void ExpectPixel(const TRgb& p, int x, int y, std::uint32_t rgb) {
    const std::uint8_t* q = p.At(x, y);
    EXPECT_EQ((q[0] << 16 | q[1] << 8 | q[2]), int(rgb)) << "at " << x << "," << y;
}

// A failed decode says why and hands out no picture; a successful one is a sane picture.
inline void ExpectConsistent(const TDecodeResult& r) {
    if (r.Ok()) {
        EXPECT_GE(r->Stride(), 3 * std::ptrdiff_t{r->Width()});
        EXPECT_LE(std::int64_t(r->Width()) * r->Height(), MaxDecodePixels);
    } else {
        EXPECT_FALSE(r.Reason().empty());
        EXPECT_THROW((void)r.Value(), std::bad_variant_access); // no picture handed out
    }
}

} // namespace tonalyx::test
