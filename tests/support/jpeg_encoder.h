// libjpeg's own encoder, driven directly to make test files: the decoder tests, the
// hostile-file tests and the fuzzers' seeds all write their JPEG files through it. No Qt
// and no test framework, so that the seed maker can use it too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include <jpeglib.h>

namespace tonalyx::test {

struct TJpegEncoding {
    J_COLOR_SPACE Input = JCS_RGB;      // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
    J_COLOR_SPACE Stored = JCS_UNKNOWN; // JCS_UNKNOWN: libjpeg's choice for the input
    int Quality = 75;                   // libjpeg's own default
    bool Progressive = false;           // libjpeg's standard progression
    std::vector<jpeg_scan_info> Scans;  // a progression of one's own, used when not empty
    int LumaSampling = 0; // sampling factor of the first component, both ways; 0: libjpeg's
    std::optional<bool> AdobeMarker; // unset: libjpeg's choice for the stored colour space
    std::vector<std::uint8_t> Exif;  // an APP1 payload ("Exif\0\0…") to write; none when empty
    std::vector<std::uint8_t> Icc;   // an ICC profile to embed; none when empty
};

// Samples are interleaved, as many per pixel as the input has components. libjpeg's
// default error handling applies: the inputs here are always valid.
inline std::vector<std::uint8_t> EncodeWithLibjpeg(int width, int height,
                                                   const std::vector<std::uint8_t>& samples,
                                                   const TJpegEncoding& e) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr; // libjpeg's, freed below
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.in_color_space = e.Input;
    cinfo.input_components = e.Input == JCS_GRAYSCALE ? 1 : e.Input == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&cinfo);
    if (e.Stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, e.Stored);
    if (e.LumaSampling > 0)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = e.LumaSampling;
    if (e.AdobeMarker)
        cinfo.write_Adobe_marker = *e.AdobeMarker;
    jpeg_set_quality(&cinfo, e.Quality, TRUE);
    if (!e.Scans.empty()) {
        cinfo.scan_info = e.Scans.data();
        cinfo.num_scans = int(e.Scans.size());
    } else if (e.Progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!e.Exif.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, e.Exif.data(), unsigned(e.Exif.size()));
    if (!e.Icc.empty())
        jpeg_write_icc_profile(&cinfo, e.Icc.data(), unsigned(e.Icc.size()));
    const std::size_t stride = std::size_t(width) * std::size_t(cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

} // namespace tonalyx::test
