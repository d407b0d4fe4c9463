// Progressive JPEG files whose scans would keep the decoder busy for minutes: one scan
// repeated thousands of times, and scans that repeat or contradict earlier ones. Both are
// refused with a reason; the same files with an ordinary number of valid scans still decode.
#include "decoder.h"

#include "hostile_jpeg.h"
#include "jpeg_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

using namespace tonalyx;

namespace {

using TBytes = std::vector<std::uint8_t>;

// A 64 × 48 progressive file written by libjpeg with the given scans: grey, or colour
// with the luma sampled 4 × 4 times as densely as the chroma, so that a scan of one chroma
// component covers only 1/18 of the blocks. The picture is flat, so that its AC scans are
// a few bytes each, as in a hostile file.
TBytes Progressive(bool colour, const std::vector<jpeg_scan_info>& scans) {
    const int w = 64, h = 48, components = colour ? 3 : 1;
    test::TJpegEncoding e;
    e.Input = colour ? JCS_RGB : JCS_GRAYSCALE;
    e.LumaSampling = colour ? 4 : 1;
    e.Scans = scans;
    return test::EncodeWithLibjpeg(w, h, TBytes(std::size_t(w) * h * components, 100), e);
}

using test::RepeatLastScan;

jpeg_scan_info Scan(int ss, int se, int ah, int al, int component = 0) {
    jpeg_scan_info s{};
    s.comps_in_scan = 1;
    s.component_index[0] = component;
    s.Ss = ss;
    s.Se = se;
    s.Ah = ah;
    s.Al = al;
    return s;
}

} // namespace

TEST(JpegHostile, EndlessOrBogusScansAreRefused) {
    // The DC coefficients, then every AC coefficient at full precision: repeating the AC
    // scan is a valid, if pointless, progression, so only the limits stop it. Each scan of
    // the grey file covers the whole picture.
    const TBytes grey = Progressive(false, {Scan(0, 0, 0, 0), Scan(1, 63, 0, 0)});
    // Six scans, the last one of the red chroma alone: 1/18 of the blocks.
    std::vector<jpeg_scan_info> colourScans;
    for (int ac : {0, 1})
        for (int c = 0; c < 3; ++c)
            colourScans.push_back(Scan(ac, ac ? 63 : 0, 0, 0, c));
    const TBytes colour = Progressive(true, colourScans);
    // The AC coefficients in two steps: a second refinement step of the same bit contradicts
    // the first.
    const TBytes refined =
        Progressive(false, {Scan(0, 0, 0, 0), Scan(1, 63, 0, 1), Scan(1, 63, 1, 0)});
    const struct {
        const char* Name;
        TBytes File;
        bool Ok;
        const char* Reason; // part of the reason's detail when refused
    } rows[] = {
        {"grey, two scans", grey, true, ""},
        {"grey, AC scan 20 times", RepeatLastScan(grey, 20), true, ""},
        {"grey, AC scan 5000 times", RepeatLastScan(grey, 5000), false, "cover the picture"},
        {"grey, passes up to the limit", RepeatLastScan(grey, MaxJpegScanPasses - 1), true, ""},
        {"grey, one pass more", RepeatLastScan(grey, MaxJpegScanPasses), false, "cover"},
        {"colour, six scans", colour, true, ""},
        {"colour, scans up to the limit", RepeatLastScan(colour, MaxJpegScans - 5), true, ""},
        {"colour, one scan more", RepeatLastScan(colour, MaxJpegScans - 4), false, "scans"},
        {"refinement once", refined, true, ""},
        {"refinement twice", RepeatLastScan(refined, 2), false, "progression"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Name);
        ASSERT_LT(r.File.size(), 1u << 20);
        const TDecodeResult d = DecodeJpegMemory(r.File.data(), r.File.size());
        EXPECT_EQ(d.Ok(), r.Ok) << d.Reason();
        if (!r.Ok) {
            EXPECT_NE(d.Error().Detail.find(r.Reason), std::string::npos) << d.Error().Detail;
            EXPECT_THROW((void)d.Value(), std::bad_variant_access); // no picture handed out
        }
    }
}
