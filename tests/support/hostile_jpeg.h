// Progressive JPEG files that would keep a decoder busy for minutes: one scan repeated
// thousands of times. Made from an ordinary file by copying its last scan; no test framework.
#pragma once

#include "jpeg_encoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <jpeglib.h>

namespace tonalyx::test {

// Where the entropy-coded data that starts at `from` ends: at the next marker.
inline std::size_t EndOfScanData(const std::vector<std::uint8_t>& jpeg, std::size_t from) {
    for (std::size_t i = from; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] != 0x00 && (jpeg[i + 1] < 0xD0 || jpeg[i + 1] > 0xD7))
            return i;
    return jpeg.size();
}

// The file with its last scan (with the tables written before it) given `times` times; empty
// when it has fewer than two scans or does not end with its end-of-image marker.
inline std::vector<std::uint8_t> RepeatLastScan(const std::vector<std::uint8_t>& jpeg, int times) {
    // The last scan's tables start where the scan before it ends.
    std::size_t lastSos = 0, previousSos = 0;
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) {
            previousSos = lastSos;
            lastSos = i;
            i = EndOfScanData(jpeg, i + 2) - 1;
        }
    if (previousSos == 0 || jpeg.size() < 4 || jpeg[jpeg.size() - 1] != 0xD9)
        return {};
    const std::size_t begin = EndOfScanData(jpeg, previousSos + 2);
    const std::size_t eoi = jpeg.size() - 2;
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(begin));
    for (int t = 0; t < times; ++t)
        out.insert(out.end(), jpeg.begin() + std::ptrdiff_t(begin),
                   jpeg.begin() + std::ptrdiff_t(eoi));
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// A flat grey progressive picture of width × height whose scan of every AC coefficient is
// given `times` times after its DC scan: a few bytes a scan, each a pass over every block.
inline std::vector<std::uint8_t> ScanBomb(int width, int height, int times) {
    const auto scan = [](int ss, int se) {
        jpeg_scan_info s{};
        s.comps_in_scan = 1;
        s.Ss = ss;
        s.Se = se;
        return s;
    };
    TJpegEncoding e;
    e.Input = JCS_GRAYSCALE;
    e.Scans = {scan(0, 0), scan(1, 63)};
    return RepeatLastScan(
        EncodeWithLibjpeg(width, height,
                          std::vector<std::uint8_t>(std::size_t(width) * height, 100), e),
        times);
}

} // namespace tonalyx::test
