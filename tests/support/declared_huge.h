// Small files that declare huge pictures: a run-length coded BMP of a few hundred bytes, an
// uncompressed one whose file cannot hold its rows, and a small JPEG whose frame header is
// made to claim another size. Decoding any would allocate the whole declared picture (or a
// progressive JPEG's coefficients of it), so they are what opening must refuse or bound.
#pragma once

#include "jpeg_encoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tonalyx::test {

inline void PutLe(std::vector<std::uint8_t>& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A BMP's file header and 40-byte info header for width × height (bottom-up) at bits a
// pixel in coding (0 uncompressed, 1 RLE8), with its palette's colours and pixelBytes of
// pixel data to follow them.
inline std::vector<std::uint8_t> BmpHeaders(int width, int height, int bits, int coding,
                                            const std::vector<std::uint32_t>& palette,
                                            std::uint32_t pixelBytes) {
    const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * palette.size());
    std::vector<std::uint8_t> b{'B', 'M'};
    PutLe(b, offset + pixelBytes, 4);
    PutLe(b, 0, 4);
    PutLe(b, offset, 4);
    PutLe(b, 40, 4);
    PutLe(b, static_cast<std::uint32_t>(width), 4);
    PutLe(b, static_cast<std::uint32_t>(height), 4);
    PutLe(b, 1, 2); // planes
    PutLe(b, static_cast<std::uint32_t>(bits), 2);
    PutLe(b, static_cast<std::uint32_t>(coding), 4);
    PutLe(b, coding == 0 ? 0 : pixelBytes, 4);
    PutLe(b, 2835, 4); // 72 dpi
    PutLe(b, 2835, 4);
    PutLe(b, static_cast<std::uint32_t>(palette.size()), 4); // colours used
    PutLe(b, 0, 4);
    for (const std::uint32_t colour : palette) // blue, green, red, 0
        PutLe(b, colour, 4);
    return b;
}

// An 8-bit RLE BMP of width × height (bottom-up) with two colours: a few runs, then the end
// of the picture; the rest is left black by the decoder.
inline std::vector<std::uint8_t> DeclaredHugeRleBmp(int width, int height) {
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 64; ++i) {
        pixels.push_back(255); // a run of 255 pixels of colour i % 2
        pixels.push_back(static_cast<std::uint8_t>(i % 2));
    }
    pixels.push_back(0); // end of the picture
    pixels.push_back(1);
    std::vector<std::uint8_t> b = BmpHeaders(width, height, 8, 1, {0x3264C8, 0x3C2814},
                                             static_cast<std::uint32_t>(pixels.size()));
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// A 24-bit uncompressed BMP that declares width × height but holds 300 bytes of pixels: 354
// bytes in all, far too few for the rows it declares.
inline std::vector<std::uint8_t> DeclaredHugePlainBmp(int width, int height) {
    constexpr std::uint32_t Pixels = 300;
    std::vector<std::uint8_t> b = BmpHeaders(width, height, 24, 0, {}, Pixels);
    b.resize(b.size() + Pixels, 0x80);
    return b;
}

// jpeg with the size in its first frame header (SOF0, SOF1 or SOF2) replaced by
// width × height; the file's data then covers only the top of the picture. Empty when jpeg
// has no such header.
inline std::vector<std::uint8_t> WithDeclaredSize(std::vector<std::uint8_t> jpeg, int width,
                                                  int height) {
    std::size_t at = 2;
    while (at + 9 < jpeg.size() && jpeg[at] == 0xFF) {
        const std::uint8_t marker = jpeg[at + 1];
        const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            jpeg[at + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[at + 6] = static_cast<std::uint8_t>(height);
            jpeg[at + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[at + 8] = static_cast<std::uint8_t>(width);
            return jpeg;
        }
        at += 2 + length;
    }
    return {};
}

// A progressive JPEG of a few kilobytes whose frame header declares width × height: its
// decoder would keep the coefficients of every block of the declared picture.
inline std::vector<std::uint8_t> DeclaredHugeProgressiveJpeg(int width, int height) {
    constexpr int W = 64, H = 48;
    std::vector<std::uint8_t> samples(std::size_t{W} * H * 3);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::uint8_t>(i * 7 % 251);
    TJpegEncoding progressive;
    progressive.Progressive = true;
    return WithDeclaredSize(EncodeWithLibjpeg(W, H, samples, progressive), width, height);
}

} // namespace tonalyx::test
