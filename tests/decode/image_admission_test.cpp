// The admission a decode into a raster of its own asks before it allocates the picture: it
// hears the declared size and what the decoder holds beside the rows, and a refusal ends the
// decode there with the admission's reason.
#include "declared_huge.h"
#include "decoder_test_support.h"
#include "memory_left.h"
#include "open_reasons.h"
#include "peak_memory.h"
#include "streamed_count.h"
#include "whole_raster.h"

#include <optional>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

TEST(Admission, HearsTheSizeAndWhatTheDecoderHoldsAndMayRefuse) {
    const TRgb source = TestPicture(64, 400);
    QTemporaryDir dir;
    const QString baseline = dir.filePath("a.jpg"), progressive = dir.filePath("p.jpg");
    const QString bmp = dir.filePath("a.bmp");
    WriteBytes(baseline, EncodeJpeg(source.Width, source.Height, source.Pixels, {false}));
    WriteBytes(progressive, EncodeJpeg(source.Width, source.Height, source.Pixels, {true}));
    ASSERT_TRUE(QImage(source.Pixels.data(), source.Width, source.Height, source.Width * 3,
                       QImage::Format_RGB888)
                    .save(bmp, "BMP"));
    const std::int64_t pixels = std::int64_t{source.Width} * source.Height;
    const struct {
        QString Path;
        bool HoldsCoefficients;
    } cases[] = {{baseline, false}, {progressive, true}, {bmp, false}};
    for (const auto& c : cases)
        for (const bool refuse : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.Path.toStdString() << (refuse ? " refused" : ""));
            int asked = 0, rows = 0;
            std::int64_t held = -1;
            TWholeRaster target([&](const TRaster&, int, int count) { rows += count; }, {},
                                [&](int width, int height, std::int64_t decoderBytes) {
                                    ++asked;
                                    EXPECT_EQ(width, source.Width);
                                    EXPECT_EQ(height, source.Height);
                                    held = decoderBytes;
                                    return refuse ? std::optional<TFailure>(
                                                        TFailure{"no room", "test"})
                                                  : std::nullopt;
                                });
            const TDecodeResult r =
                target.Finish(c.Path.endsWith(".bmp") ? StreamBmpFile(PathOf(c.Path), target)
                                                      : StreamJpegFile(PathOf(c.Path), target));
            EXPECT_EQ(asked, 1);
            // Coefficients of 2 bytes: at least the luma's, at most three full planes'.
            if (c.HoldsCoefficients) {
                EXPECT_GE(held, pixels * 2);
                EXPECT_LE(held, pixels * 6);
            } else {
                EXPECT_EQ(held, 0);
            }
            EXPECT_EQ(r.Ok(), !refuse);
            if (refuse) {
                EXPECT_EQ(r.Reason(), "no room");
                EXPECT_EQ(rows, 0);
            } else if (!c.Path.endsWith(".bmp")) {
                EXPECT_EQ(rows, source.Height);
            }
        }
}

// The tools count a picture without holding it, but a progressive JPEG's decoder keeps its
// coefficients: the count is admitted with them from the header, before they are allocated,
// the whole picture or a region of it alike, under the window's rule and in its words.
TEST(Admission, TheToolsCountIsAdmittedWithTheCoefficientsBeforeTheyAreAllocated) {
    QTemporaryDir dir;
    const QString huge = dir.filePath("huge.jpg");
    WriteBytes(huge, DeclaredHugeProgressiveJpeg(20000, 20000));
    const std::int64_t coefficients = std::int64_t{20000} * 20000 * 2; // the luma's, at least
    for (const bool region : {false, true}) {
        SCOPED_TRACE(region ? "region" : "whole");
        const TPeakMemory memory;
        int asked = 0;
        std::int64_t held = 0;
        const TAdmission admit = [&](int width, int height, std::int64_t bytes) {
            ++asked;
            held = bytes;
            return AdmitInMemoryLeft([] { return std::uint64_t{500'000'000}; })(width, height,
                                                                                bytes);
        };
        const TOutcome<TStreamedCounts> counted =
            region ? StreamAndCount(PathOf(huge), TRegion{0, 0, 1, 1}, nullptr, nullptr, admit)
                   : StreamAndCount(PathOf(huge), nullptr, admit);
        ASSERT_FALSE(counted.Ok());
        EXPECT_EQ(asked, 1);
        EXPECT_GE(held, coefficients);
        EXPECT_EQ(counted.Reason(), PictureOverMemoryLeft(20000, 20000, held, 500'000'000).Reason);
        EXPECT_LT(memory.Growth(), 64 << 20);
    }
}

// An uncompressed BMP's rows take in the file what they declare: one whose file cannot hold
// them is refused from its header, before the target is even asked to start. A run-length
// coded one may be far smaller than its rows, and is still admitted as it declares.
TEST(Admission, ABmpTooShortForItsRowsIsRefusedBeforeAnyRoomIsAsked) {
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain.bmp"), runs = dir.filePath("runs.bmp");
    const TBytes plainBytes = DeclaredHugePlainBmp(20000, 20000);
    ASSERT_EQ(plainBytes.size(), 354u);
    WriteBytes(plain, plainBytes);
    WriteBytes(runs, DeclaredHugeRleBmp(20000, 20000));
    const TFailure refusal{"no room", "test"};
    for (const bool rle : {false, true}) {
        SCOPED_TRACE(rle ? "run-length" : "uncompressed");
        const TPeakMemory memory;
        int asked = 0;
        const TAdmission admit = [&](int, int, std::int64_t) {
            ++asked;
            return std::optional<TFailure>(refusal);
        };
        TWholeRaster target({}, {}, admit);
        const TDecodeResult r = target.Finish(StreamBmpFile(PathOf(rle ? runs : plain), target));
        std::optional<TStreamedCounts> counts;
        TBandCounter counter(counts, std::nullopt, admit);
        const TOutcome<TDecodeNotes> streamed = StreamBmpFile(PathOf(rle ? runs : plain), counter);
        ASSERT_FALSE(r.Ok());
        ASSERT_FALSE(streamed.Ok());
        EXPECT_EQ(asked, rle ? 2 : 0);
        EXPECT_EQ(r.Reason(), rle ? refusal.Reason : FileEndsEarly({}).Reason);
        if (!rle) {
            EXPECT_EQ(streamed.Reason(), FileEndsEarly({}).Reason);
        }
        EXPECT_LT(memory.Growth(), 64 << 20);
    }
}

} // namespace
