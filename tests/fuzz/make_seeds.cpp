// Writes small seed files for the fuzzers into the directories given: JPEG files of each
// kind the decoder handles (baseline, progressive, grey, CMYK with and without an Adobe
// marker, YCCK, with Exif and ICC profiles) and BMP files of each header and depth (with
// embedded profiles and calibrated colour spaces). Used also beside the public test suites,
// which hold few profiles and no orientations. With a third directory, small DNG files for
// the raw fuzzer: each filter pattern, margins, black levels per colour, a linear one, one
// with a preview before the raw data.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "colour_fixture.h"
#include "dng_maker.h"
#include "jpeg_encoder.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

bool Write(const std::string& path, const TBytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

TBytes Jpeg(int components, J_COLOR_SPACE in, J_COLOR_SPACE stored, bool progressive,
            bool adobe = true, const TBytes& exif = {}, const TBytes& icc = {}) {
    const int w = 40, h = 24;
    TBytes samples(std::size_t(w) * h * components);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::uint8_t(i * 7 + i / 97);
    tonalyx::test::TJpegEncoding e;
    e.Input = in;
    e.Stored = stored;
    e.Progressive = progressive;
    e.AdobeMarker = adobe && components == 4;
    e.Exif = exif;
    e.Icc = icc;
    return tonalyx::test::EncodeWithLibjpeg(w, h, samples, e);
}

void Le(TBytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// A 5 × 3 picture; `core` writes the 12-byte OS/2 header. RLE data is given whole.
TBytes Bmp(int bits, std::uint32_t compression, bool core, bool topDown, const TBytes& rle = {},
           std::uint32_t infoSize = 40) {
    const int w = 5, h = 3;
    if (core)
        infoSize = 12;
    const int colours = bits <= 8 ? 1 << bits : 0;
    const int entry = core ? 3 : 4;
    const int masks = compression == 3 && infoSize == 40 ? 12 : 0;
    const std::uint32_t offset = 14 + infoSize + masks + colours * entry;
    TBytes pixels = rle;
    if (rle.empty()) {
        const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
        pixels.resize(stride * h);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t(i * 29 + 3);
    }
    TBytes b{'B', 'M'};
    Le(b, offset + std::uint32_t(pixels.size()), 4);
    Le(b, 0, 4);
    Le(b, offset, 4);
    Le(b, infoSize, 4);
    if (core) {
        Le(b, w, 2);
        Le(b, h, 2);
        Le(b, 1, 2);
        Le(b, std::uint32_t(bits), 2);
    } else {
        Le(b, w, 4);
        Le(b, std::uint32_t(topDown ? -h : h), 4);
        Le(b, 1, 2);
        Le(b, std::uint32_t(bits), 2);
        Le(b, compression, 4);
        Le(b, std::uint32_t(pixels.size()), 4);
        Le(b, 2835, 4);
        Le(b, 2835, 4);
        Le(b, std::uint32_t(colours), 4);
        Le(b, 0, 4);
        const std::uint32_t fieldMasks[] = {0xF800, 0x07E0, 0x001F, 0};
        for (std::uint32_t i = 40; i < infoSize; i += 4)
            Le(b, i < 56 && compression == 3 ? fieldMasks[(i - 40) / 4] : 0, 4);
        if (masks)
            for (int i = 0; i < 3; ++i)
                Le(b, fieldMasks[i], 4);
    }
    for (int i = 0; i < colours; ++i)
        Le(b, std::uint32_t(i * 0x030507), entry);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

void Put(TBytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

// A 24-bit V5 file with this colour space type; a profile goes after the pixels.
TBytes BmpV5(std::uint32_t type, const TBytes& profile) {
    TBytes b = Bmp(24, 0, false, false, {}, 124);
    const std::size_t info = 14;
    Put(b, info + 56, type);
    const double xyz[9] = {0.4361, 0.2225, 0.0139, 0.3851, 0.7169, 0.0971, 0.1431, 0.0606, 0.7141};
    for (int i = 0; i < 9; ++i)
        Put(b, info + 60 + 4 * i, std::uint32_t(xyz[i] * (1 << 30)));
    for (int i = 0; i < 3; ++i)
        Put(b, info + 96 + 4 * i, 0x23333); // gamma 2.2 in 16.16
    if (!profile.empty()) {
        Put(b, info + 112, std::uint32_t(b.size() - info));
        Put(b, info + 116, std::uint32_t(profile.size()));
        b.insert(b.end(), profile.begin(), profile.end());
        Put(b, 2, std::uint32_t(b.size()));
    }
    return b;
}

// DNGs just above the smallest sensor LibRaw reads (22 × 22), so that the seeds stay small.
bool WriteDngSeeds(const std::string& dir) {
    using tonalyx::test::TDngLayout;
    const auto scene = [](int x, int y, int s) {
        return static_cast<std::uint16_t>(x == y ? 4095 : (x * 131 + y * 71 + s * 29) % 4200);
    };
    const auto layout = [&](std::string pattern) {
        TDngLayout d;
        d.Width = 24, d.Height = 24, d.Pattern = std::move(pattern), d.Black = {64};
        d.Value = scene;
        return d;
    };
    std::vector<std::pair<std::string, TDngLayout>> seeds = {
        {"rggb", layout("RGGB")},
        {"bggr-margins", layout("BGGR")},
        {"grbg-black-each", layout("GRBG")},
        {"linear", layout("")},
        {"preview", layout("GBRG")},
        {"six-by-six", layout("GGRGGBGGBGGRBRGRBGGGBGGRGGRGGBRBGBRG")}};
    seeds[1].second.Width = seeds[1].second.Height = 30;
    seeds[1].second.Top = 1, seeds[1].second.Left = 2, seeds[1].second.Bottom = 29,
    seeds[1].second.Right = 28;
    seeds[2].second.Black = {60, 61, 62, 63};
    seeds[4].second.Preview = true;
    seeds[4].second.Orientation = 6;
    bool ok = true;
    for (const auto& [name, d] : seeds)
        ok &= tonalyx::test::WriteDng(dir + "/" + name + ".dng", d);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s JPEG_DIR BMP_DIR [RAW_DIR]\n", argv[0]);
        return 2;
    }
    const std::string jpeg = argv[1], bmp = argv[2];
    bool ok = true;
    ok &= Write(jpeg + "/baseline.jpg", Jpeg(3, JCS_RGB, JCS_YCbCr, false));
    ok &= Write(jpeg + "/progressive.jpg", Jpeg(3, JCS_RGB, JCS_YCbCr, true));
    ok &= Write(jpeg + "/grey.jpg", Jpeg(1, JCS_GRAYSCALE, JCS_GRAYSCALE, false));
    ok &= Write(jpeg + "/grey-progressive.jpg", Jpeg(1, JCS_GRAYSCALE, JCS_GRAYSCALE, true));
    ok &= Write(jpeg + "/rgb.jpg", Jpeg(3, JCS_RGB, JCS_RGB, false));
    ok &= Write(jpeg + "/cmyk-adobe.jpg", Jpeg(4, JCS_CMYK, JCS_CMYK, false));
    ok &= Write(jpeg + "/cmyk-plain.jpg", Jpeg(4, JCS_CMYK, JCS_CMYK, false, false));
    ok &= Write(jpeg + "/ycck-progressive.jpg", Jpeg(4, JCS_CMYK, JCS_YCCK, true));
    using namespace tonalyx::test;
    const TBytes adobe = RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)");
    ok &= Write(jpeg + "/exif-adobe.jpg",
                Jpeg(3, JCS_RGB, JCS_YCbCr, false, true, ExifWithOrientation(6), adobe));
    ok &= Write(jpeg + "/exif-big-endian-grey-profile.jpg",
                Jpeg(1, JCS_GRAYSCALE, JCS_GRAYSCALE, false, true, ExifWithOrientation(7, true),
                     GreyProfile(1.8, "Grey 1.8")));

    ok &= Write(bmp + "/pal1.bmp", Bmp(1, 0, false, false));
    ok &= Write(bmp + "/pal4.bmp", Bmp(4, 0, false, false));
    ok &= Write(bmp + "/pal8-topdown.bmp", Bmp(8, 0, false, true));
    ok &= Write(bmp + "/pal8-os2.bmp", Bmp(8, 0, true, false));
    ok &= Write(bmp + "/rgb16.bmp", Bmp(16, 0, false, false));
    ok &= Write(bmp + "/rgb16-565.bmp", Bmp(16, 3, false, false));
    ok &= Write(bmp + "/rgb16-565-v5.bmp", Bmp(16, 3, false, false, {}, 124));
    ok &= Write(bmp + "/rgb24.bmp", Bmp(24, 0, false, false));
    ok &= Write(bmp + "/rgb32.bmp", Bmp(32, 0, false, false));
    ok &= Write(bmp + "/rle8.bmp",
                Bmp(8, 1, false, false, {3, 1, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 5, 0, 1}));
    ok &=
        Write(bmp + "/rle4.bmp", Bmp(4, 2, false, false, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}));
    ok &= Write(
        bmp + "/rle24-os2.bmp",
        Bmp(24, 4, false, false, {5, 1, 2, 3, 0, 0, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1}, 64));
    ok &= Write(bmp + "/rgb24-v5-profile.bmp", BmpV5(0x4D424544, adobe));
    ok &= Write(bmp + "/rgb24-v5-calibrated.bmp", BmpV5(0, {}));
    if (argc == 4)
        ok &= WriteDngSeeds(argv[3]);
    return ok ? 0 : 1;
}
