// What the tests of formats written by other programs share: source pictures made with
// ImageMagick, files read and written whole, reference decodes brought to the stored bits,
// a decode into a raster of its own (for the metadata) and a target that cancels.
#pragma once

#include "image_format.h"
#include "image_loader.h"
#include "open_reasons.h"
#include "whole_raster.h"

#include "reference_counts.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tonalyx::test {

inline std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void PutFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// Source pictures of 150 × 37 pixels (an odd width, three bands of rows): a colour gradient
// under noise, a grey one, with alpha falling from opaque at the top to 0 on the last row
// (whose hidden colours stay). Written without gamma or colour chunks, so that the encoders
// take them as sRGB.
enum class TSource { Rgb8, Rgba8, Rgb16, Rgba16, Grey8, GreyAlpha8 };

inline std::optional<std::string> MakeSourcePng(TSource source, const std::string& path) {
    const bool alpha =
        source == TSource::Rgba8 || source == TSource::Rgba16 || source == TSource::GreyAlpha8;
    const bool wide = source == TSource::Rgb16 || source == TSource::Rgba16;
    const bool grey = source == TSource::Grey8 || source == TSource::GreyAlpha8;
    // A colour gradient blended with noise; alpha from a vertical gradient; then grey.
    QStringList args = QString("-size 150x37 gradient:red-blue ( -size 150x37 xc:gray50 -seed 7 "
                               "+noise Random ) -compose blend -define compose:args=60 -composite")
                           .split(' ');
    if (alpha)
        args << QString("( -size 150x37 gradient:white-black ) -alpha off -compose copy-opacity "
                        "-composite")
                    .split(' ');
    if (grey)
        args << "-colorspace"
             << "Gray"
             << "-type" << (alpha ? "GrayscaleAlpha" : "Grayscale");
    args << "-depth" << (wide ? "16" : "8") << "-define"
         << "png:exclude-chunks=gAMA,cHRM,bKGD,sRGB,iCCP,date,tIME";
    const char* kind = grey   ? "PNG:"
                       : wide ? (alpha ? "PNG64:" : "PNG48:")
                              : (alpha ? "PNG32:" : "PNG24:");
    args << QString::fromStdString(kind + path);
    return RunTool("/usr/bin/convert", args);
}

// A reference decode whose samples were widened to 16 bits by a shift (v << (16 − bits)),
// written back as a PAM of the stored bits; false when a sample is not such a shift.
inline bool WriteNarrowedPam(const TReferencePicture& wide, int bits, const std::string& path) {
    const int shift = 16 - bits;
    std::string header = "P7\nWIDTH " + std::to_string(wide.Width) + "\nHEIGHT " +
                         std::to_string(wide.Height) + "\nDEPTH " + std::to_string(wide.Channels) +
                         "\nMAXVAL " + std::to_string((1 << bits) - 1) + "\nTUPLTYPE " +
                         (wide.Channels == 4 ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n";
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (const std::uint16_t v : wide.Samples) {
        if (v & ((1 << shift) - 1))
            return false;
        const auto narrowed = static_cast<std::uint16_t>(v >> shift);
        bytes.push_back(static_cast<std::uint8_t>(narrowed >> 8));
        bytes.push_back(static_cast<std::uint8_t>(narrowed & 0xff));
    }
    PutFile(path, bytes);
    return true;
}

// The file decoded as the window decodes it, into a raster of its own with the metadata.
inline TDecodeResult DecodeWhole(const std::string& path) {
    TWholeRaster target;
    return target.Finish(StreamImageFile(std::filesystem::path(path), target));
}

// Why the window's decode refuses the file (empty when it opens).
inline std::string WhyRefused(const std::string& path) {
    const TOutcome<TLoadedImage> loaded = DecodeAndCount(std::filesystem::path(path));
    return loaded.Ok() ? std::string() : loaded.Reason();
}

// A target that lends rows and says it is cancelled once it has taken bandsBefore bands.
class TCancellingTarget final : public TRowTarget {
  public:
    explicit TCancellingTarget(int bandsBefore) : FBandsBefore(bandsBefore) {}
    bool Start(int width, int) override {
        FStride = std::ptrdiff_t{width} * 3;
        FBand.resize(std::size_t(FStride) * StreamBandRows);
        return true;
    }
    TRowBand Rows(int, int) override { return {FBand.data(), FStride}; }
    void Written(int, int) override { ++FBands; }
    bool Cancelled() const override { return FBands >= FBandsBefore; }
    int Bands() const { return FBands; }

  private:
    int FBandsBefore;
    int FBands = 0;
    std::ptrdiff_t FStride = 0;
    std::vector<std::uint8_t> FBand;
};

} // namespace tonalyx::test
