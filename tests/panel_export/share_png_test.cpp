// The PNG of the histogram export, read back chunk by chunk.
#include "png_encoder.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace tonalyx;

namespace {

struct TChunk {
    std::string Type;
    std::vector<std::uint8_t> Data;
};

std::uint32_t BigEndian(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// Splits a PNG file into its chunks, checking the signature and every CRC.
std::vector<TChunk> Chunks(const std::vector<std::uint8_t>& png) {
    static const std::uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<TChunk> chunks;
    EXPECT_GE(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), Signature, 8), 0);
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = BigEndian(&png[at]);
        EXPECT_LE(at + 12 + length, png.size());
        TChunk c;
        c.Type.assign(reinterpret_cast<const char*>(&png[at + 4]), 4);
        c.Data.assign(png.begin() + long(at + 8), png.begin() + long(at + 8 + length));
        const uLong crc = crc32(0, &png[at + 4], 4 + length);
        EXPECT_EQ(crc, BigEndian(&png[at + 8 + length])) << c.Type;
        chunks.push_back(std::move(c));
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    return chunks;
}

struct TPicture {
    int Width, Height;
    std::vector<std::uint8_t> Pixels;
    TRgbRows Rows() const { return {Pixels.data(), Width, Height, std::ptrdiff_t(Width) * 3}; }
};

// Noise compresses badly, so the data needs several IDAT chunks.
TPicture Noise(int w, int h) {
    TPicture p{w, h, std::vector<std::uint8_t>(std::size_t(w) * h * 3)};
    std::mt19937 random(7);
    for (auto& b : p.Pixels)
        b = static_cast<std::uint8_t>(random());
    return p;
}

} // namespace

TEST(PngExport, ChunksRowFiltersAndCompression) {
    // (libpng writes a one-pixel-wide row unfiltered: Sub would change nothing in it.)
    for (const TPicture& picture : {Noise(400, 300), Noise(2, 1), Noise(243, 456)}) {
        const TPngResult png = EncodePng(picture.Rows());
        ASSERT_TRUE(png.Ok()) << png.Reason();
        const std::vector<TChunk> chunks = Chunks(*png);
        ASSERT_GE(chunks.size(), 3u);
        // IHDR, one or more IDAT, IEND, and nothing else.
        EXPECT_EQ(chunks.front().Type, "IHDR");
        EXPECT_EQ(chunks.back().Type, "IEND");
        std::vector<std::uint8_t> zdata;
        for (std::size_t i = 1; i + 1 < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i].Type, "IDAT");
            EXPECT_LE(chunks[i].Data.size(), PngMaxIdatBytes);
            zdata.insert(zdata.end(), chunks[i].Data.begin(), chunks[i].Data.end());
        }
        const std::vector<std::uint8_t>& ihdr = chunks.front().Data;
        ASSERT_EQ(ihdr.size(), 13u);
        EXPECT_EQ(BigEndian(&ihdr[0]), std::uint32_t(picture.Width));
        EXPECT_EQ(BigEndian(&ihdr[4]), std::uint32_t(picture.Height));
        EXPECT_EQ(ihdr[8], 8);  // bits per channel
        EXPECT_EQ(ihdr[9], 2);  // truecolour, no alpha
        EXPECT_EQ(ihdr[12], 0); // not interlaced
        // zlib's level class 3 stands for levels 7 to 9 (6 would be class 2).
        ASSERT_GE(zdata.size(), 2u);
        EXPECT_EQ(zdata[1] >> 6, 3);
        const std::size_t rowBytes = 1 + std::size_t(picture.Width) * 3;
        std::vector<std::uint8_t> raw(rowBytes * picture.Height + 1);
        uLongf rawSize = raw.size();
        ASSERT_EQ(uncompress(raw.data(), &rawSize, zdata.data(), zdata.size()), Z_OK);
        ASSERT_EQ(rawSize, rowBytes * picture.Height);
        for (int y = 0; y < picture.Height; ++y) {
            ASSERT_EQ(raw[y * rowBytes], 1) << "row " << y << " is not filtered Sub";
            // Sub: each byte minus the byte one pixel to its left.
            for (std::size_t x = 0; x < rowBytes - 1; ++x) {
                const std::uint8_t left = x >= 3 ? picture.Pixels[y * (rowBytes - 1) + x - 3] : 0;
                ASSERT_EQ(std::uint8_t(raw[y * rowBytes + 1 + x] + left),
                          picture.Pixels[y * (rowBytes - 1) + x]);
            }
        }
    }
}

TEST(PngExport, RowsFollowTheirStride) {
    TPicture padded{3, 2, std::vector<std::uint8_t>(2 * 16, 0xEE)};
    TPicture tight{3, 2, std::vector<std::uint8_t>(2 * 9)};
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            padded.Pixels[y * 16 + i] = tight.Pixels[y * 9 + i] = std::uint8_t(y * 40 + i);
    TRgbRows rows = padded.Rows();
    rows.Stride = 16;
    EXPECT_EQ(*EncodePng(rows), *EncodePng(tight.Rows()));
}

TEST(PngExport, AnEmptyPictureIsAnErrorNotACrash) {
    for (const TRgbRows& rows :
         {TRgbRows{}, TRgbRows{nullptr, 0, 0, 0}, TRgbRows{nullptr, 5, 5, 15}}) {
        const TPngResult png = EncodePng(rows);
        EXPECT_FALSE(png.Ok());
        EXPECT_EQ(png.Reason(), "The picture to encode is empty");
        EXPECT_THROW((void)png.Value(), std::bad_variant_access); // no bytes handed out
    }
    // A picture beyond what PNG allows comes back as libpng's error.
    const std::uint8_t pixel[3] = {1, 2, 3};
    const TPngResult huge = EncodePng(TRgbRows{pixel, 1, 0x7fffffff, 0});
    EXPECT_FALSE(huge.Ok());
    EXPECT_FALSE(huge.Reason().empty());
    EXPECT_NE(huge.Detail().find("libpng"), std::string::npos) << huge.Detail();
}
