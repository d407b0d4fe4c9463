// The admission a decode into a raster of its own asks before it allocates the picture: it
// hears the declared size and what the decoder holds beside the rows, and a refusal ends the
// decode there with the admission's reason.
#include "decoder_test_support.h"
#include "open_reasons.h"
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

} // namespace
