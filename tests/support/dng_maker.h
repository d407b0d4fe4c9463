// DNG files made by the tests with libtiff: a known colour filter pattern (or three linear
// channels), black and white levels, an active area inside margins, an orientation and,
// optionally, a small preview before the raw data, as cameras and converters write them.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tonalyx::test {

struct TDngLayout {
    int Width = 64, Height = 48; // the stored raw image, margins included
    // The pattern by rows, from the active area's top left: 2×2 ("RGGB", "BGGR", "GRBG",
    // "GBRG") or 6×6 (36 letters); empty for a linear DNG of three channels.
    std::string Pattern = "RGGB";
    // The active area (the visible photosites): top, left, bottom, right; all 0 for the whole.
    int Top = 0, Left = 0, Bottom = 0, Right = 0;
    std::vector<int> Black = {0}; // one level, or one per place of the 2×2 pattern by rows
    int White = 4095;
    int Orientation = 1; // TIFF orientation, 1 to 8
    std::string Make = "Tonalyx", Model = "Test Sensor";
    // The sample at column x, row y of the stored image (its sample of a linear channel).
    std::function<std::uint16_t(int x, int y, int sample)> Value;
    // A 16 × 12 RGB preview in the first directory, the raw one in a sub-directory.
    bool Preview = false;
    // Or, when not empty, this JPEG (of PreviewWidth × PreviewHeight, colour) as that
    // preview, stored as it is, as cameras store theirs.
    std::vector<std::uint8_t> PreviewJpeg;
    int PreviewWidth = 16, PreviewHeight = 12;
};

// The pattern's colour numbers as DNG writes them: 0 red, 1 green, 2 blue.
inline std::uint8_t DngColour(char letter) {
    return letter == 'R' ? 0 : letter == 'G' ? 1 : 2;
}

namespace dng_detail {

inline void RawTags(TIFF* tif, const TDngLayout& layout) {
    const bool linear = layout.Pattern.empty();
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, layout.Width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, layout.Height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, linear ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, linear ? 34892 : 32803); // LinearRaw, CFA
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    if (!linear) {
        const std::uint16_t side = layout.Pattern.size() == 36 ? 6 : 2;
        const std::uint16_t dim[2] = {side, side};
        TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, dim);
        std::vector<std::uint8_t> pattern;
        for (char letter : layout.Pattern)
            pattern.push_back(DngColour(letter));
        TIFFSetField(tif, TIFFTAG_CFAPATTERN, static_cast<int>(pattern.size()), pattern.data());
        const std::uint8_t planes[3] = {0, 1, 2};
        TIFFSetField(tif, TIFFTAG_CFAPLANECOLOR, 3, planes);
    }
    std::vector<float> black(layout.Black.begin(), layout.Black.end());
    if (black.size() == 4 && !linear) {
        const std::uint16_t dim[2] = {2, 2};
        TIFFSetField(tif, TIFFTAG_BLACKLEVELREPEATDIM, dim);
    }
    TIFFSetField(tif, TIFFTAG_BLACKLEVEL, static_cast<int>(black.size()), black.data());
    const std::uint32_t white = static_cast<std::uint32_t>(layout.White);
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    if (layout.Bottom > 0) {
        const std::uint32_t area[4] = {std::uint32_t(layout.Top), std::uint32_t(layout.Left),
                                       std::uint32_t(layout.Bottom), std::uint32_t(layout.Right)};
        TIFFSetField(tif, TIFFTAG_ACTIVEAREA, area);
    }
}

inline bool RawRows(TIFF* tif, const TDngLayout& layout) {
    const int samples = layout.Pattern.empty() ? 3 : 1;
    std::vector<std::uint16_t> row(static_cast<std::size_t>(layout.Width * samples));
    for (int y = 0; y < layout.Height; ++y) {
        for (int x = 0; x < layout.Width; ++x)
            for (int s = 0; s < samples; ++s)
                row[static_cast<std::size_t>(x * samples + s)] = layout.Value(x, y, s);
        if (TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0)
            return false;
    }
    return true;
}

// The tags a reader needs to take the file for a camera's DNG.
inline void CameraTags(TIFF* tif, const TDngLayout& layout) {
    const std::uint8_t version[4] = {1, 4, 0, 0};
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_MAKE, layout.Make.c_str());
    TIFFSetField(tif, TIFFTAG_MODEL, layout.Model.c_str());
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, (layout.Make + " " + layout.Model).c_str());
    TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.Orientation);
    const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, matrix);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
    const float neutral[3] = {0.5f, 1.0f, 0.7f};
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
}

} // namespace dng_detail

// Writes layout as a DNG at path; false when libtiff could not.
inline bool WriteDng(const std::filesystem::path& path, const TDngLayout& layout) {
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "w"), &TIFFClose);
    if (!tif)
        return false;
    TIFF* t = tif.get();
    if (!layout.PreviewJpeg.empty()) {
        std::uint64_t subIfd = 0;
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, layout.PreviewWidth);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, layout.PreviewHeight);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, layout.PreviewHeight);
        TIFFSetField(t, TIFFTAG_SUBIFD, 1, &subIfd);
        dng_detail::CameraTags(t, layout);
        std::vector<std::uint8_t> jpeg = layout.PreviewJpeg;
        if (TIFFWriteRawStrip(t, 0, jpeg.data(), static_cast<tmsize_t>(jpeg.size())) < 0 ||
            !TIFFWriteDirectory(t))
            return false;
        dng_detail::RawTags(t, layout);
        return dng_detail::RawRows(t, layout) && TIFFWriteDirectory(t);
    }
    if (layout.Preview) {
        std::uint64_t subIfd = 0;
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 12);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 12);
        TIFFSetField(t, TIFFTAG_SUBIFD, 1, &subIfd);
        dng_detail::CameraTags(t, layout);
        std::uint8_t row[16 * 3];
        for (int y = 0; y < 12; ++y) {
            for (int i = 0; i < 16 * 3; ++i)
                row[i] = static_cast<std::uint8_t>(y * 20 + i);
            if (TIFFWriteScanline(t, row, static_cast<std::uint32_t>(y), 0) < 0)
                return false;
        }
        if (!TIFFWriteDirectory(t))
            return false;
        dng_detail::RawTags(t, layout);
        if (!dng_detail::RawRows(t, layout) || !TIFFWriteDirectory(t))
            return false;
        return true;
    }
    dng_detail::RawTags(t, layout);
    dng_detail::CameraTags(t, layout);
    return dng_detail::RawRows(t, layout) && TIFFWriteDirectory(t);
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

} // namespace tonalyx::test
