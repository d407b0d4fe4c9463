// A row target for the format tests that watches a decoder rather than keeping its picture:
// what it says it holds, the size it starts, the bands it writes (in order, each once); it
// refuses the picture, or cancels after a number of bands, when told to.
#pragma once

#include "decoder.h"
#include "image_format.h"
#include "open_reasons.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tonalyx::test {

class TProbeTarget final : public TRowTarget {
  public:
    bool Refuse = false;  // Start says no
    int CancelAfter = -1; // Cancelled turns true once this many bands are written
    std::int64_t Holds = -1;
    int Width = 0, Height = 0;
    int Bands = 0, NextRow = 0;

    void DecoderHolds(std::int64_t bytes) override { Holds = bytes; }
    bool Start(int width, int height) override {
        Width = width;
        Height = height;
        if (Refuse)
            return false;
        Band.assign(std::size_t(width) * 3 * StreamBandRows, 0);
        Coverage.assign(std::size_t(width / 8 + 1) * StreamBandRows, 0);
        return true;
    }
    bool StartCovered(int width, int height) override { return Start(width, height); }
    TRowBand Rows(int firstRow, int count) override {
        EXPECT_EQ(firstRow, NextRow);
        EXPECT_LE(count, StreamBandRows);
        return {Band.data(), std::ptrdiff_t(Width) * 3, Coverage.data(),
                std::ptrdiff_t(Width / 8 + 1)};
    }
    void Written(int firstRow, int count) override {
        EXPECT_EQ(firstRow, NextRow);
        NextRow = firstRow + count;
        ++Bands;
    }
    bool Cancelled() const override { return CancelAfter >= 0 && Bands >= CancelAfter; }

  private:
    std::vector<std::uint8_t> Band, Coverage;
};

// The file, decoded as the format table says into a probe, is refused for this reason; the
// probe tells what the decoder held before it gave up.
inline TProbeTarget ExpectRefused(const std::string& file, const TFailure& expected) {
    TProbeTarget target;
    const TOutcome<TDecodeNotes> r = StreamImageFile(file, target);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Reason(), expected.Reason) << r.Detail();
    return target;
}

// A decode whose target cancels once two bands are written ends there.
inline void ExpectCancelledAfterTwoBands(const std::string& file) {
    SCOPED_TRACE(file);
    TProbeTarget target;
    target.CancelAfter = 2;
    const TOutcome<TDecodeNotes> r = StreamImageFile(file, target);
    EXPECT_EQ(r.Error(), DecodingCancelled());
    EXPECT_EQ(target.Bands, 2);
}

} // namespace tonalyx::test
