// Cancelling a decode: the decoder stops at its next band of rows and fails; a decode that
// is never cancelled hands every row to both consumers, the counting and the caller's own.
#include "decoder_test_support.h"
#include "image_format.h"
#include "open_reasons.h"

#include <optional>
#include <stdexcept>
#include <stop_token>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

struct TCancelCase {
    const char* Name;
    const char* File;
    bool Progressive;
};

class DecodeCancel : public testing::TestWithParam<TCancelCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Path = Dir.filePath(GetParam().File);
        const TRgb source = TestPicture(64, 400); // many batches of rows
        if (Path.endsWith(".bmp")) {
            QImage image(source.Pixels.data(), source.Width, source.Height, source.Width * 3,
                         QImage::Format_RGB888);
            ASSERT_TRUE(image.save(Path, "BMP"));
        } else {
            WriteBytes(Path, EncodeJpeg(source.Width, source.Height, source.Pixels,
                                        {GetParam().Progressive}));
        }
    }
    QTemporaryDir Dir;
    QString Path;
};

} // namespace

TEST_P(DecodeCancel, AStopBeforeTheStartDecodesNothing) {
    std::stop_source stop;
    stop.request_stop();
    int rows = 0;
    TLoadHooks hooks;
    hooks.Cancel = stop.get_token();
    hooks.Rows = [&](const TRaster&, int, int count) { rows += count; };
    const TOutcome<TLoadedImage> loaded = DecodeAndCount(PathOf(Path), hooks);
    EXPECT_FALSE(loaded.Ok());
    EXPECT_EQ(rows, 0);
}

TEST_P(DecodeCancel, EveryRowReachesTheCallerUncancelled) {
    int next = 0;
    TLoadHooks hooks;
    hooks.Rows = [&](const TRaster&, int first, int count) {
        EXPECT_EQ(first, next);
        next = first + count;
    };
    const TOutcome<TLoadedImage> loaded = DecodeAndCount(PathOf(Path), hooks);
    ASSERT_TRUE(loaded.Ok()) << loaded.Reason();
    // BMP rows are not reported; JPEG rows all are, in order.
    EXPECT_EQ(next, Path.endsWith(".bmp") ? 0 : loaded->Image.Height());
    EXPECT_EQ(loaded->Primaries.R(), CountPrimaries(loaded->Image.View()).R());
}

// Cancelling is the row target's to say, whoever takes the rows: every decoder asks it
// before each band and ends there, the rows written so far counting for nothing.
TEST_P(DecodeCancel, ATargetEndsTheDecodeBeforeItsNextBand) {
    class TStopAfterTwoBands final : public TRowTarget {
      public:
        bool Start(int width, int) override {
            Stride = std::ptrdiff_t{width} * 3;
            Band.resize(std::size_t(Stride) * StreamBandRows);
            return true;
        }
        TRowBand Rows(int, int) override { return {Band.data(), Stride}; }
        void Written(int, int) override { ++Bands; }
        bool Cancelled() const override { return Bands >= 2; }
        int Bands = 0;

      private:
        std::ptrdiff_t Stride = 0;
        TBytes Band;
    };
    TStopAfterTwoBands target;
    const TOutcome<TDecodeNotes> r = Path.endsWith(".bmp") ? StreamBmpFile(PathOf(Path), target)
                                                           : StreamJpegFile(PathOf(Path), target);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error(), DecodingCancelled());
    EXPECT_EQ(target.Bands, 2);
}

INSTANTIATE_TEST_SUITE_P(Files, DecodeCancel,
                         testing::Values(TCancelCase{"Baseline", "a.jpg", false},
                                         TCancelCase{"Progressive", "a.jpg", true},
                                         TCancelCase{"Bmp", "a.bmp", false}),
                         [](const testing::TestParamInfo<TCancelCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(DecodeCancel, AStopDuringTheRowsEndsAtTheNextBatch) {
    const TRgb source = TestPicture(64, 400);
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.jpg");
        WriteBytes(path, EncodeJpeg(source.Width, source.Height, source.Pixels, {progressive}));
        std::stop_source stop;
        int calls = 0;
        const TDecodeResult r = tonalyx::DecodeJpegFile(
            PathOf(path),
            [&](const TRaster&, int, int) {
                if (++calls == 2)
                    stop.request_stop();
            },
            stop.get_token());
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(calls, 2);
    }
}

// A consumer of the rows hears that they end while they are still there, on a failed decode
// too: its thread may still be reading them (under the sanitizer a late read is an error).
TEST(DecodeCancel, TheRowsOutliveTheirEndOnAStoppedDecode) {
    const TRgb source = TestPicture(64, 400);
    QTemporaryDir dir;
    const QString path = dir.filePath("a.jpg");
    WriteBytes(path, EncodeJpeg(source.Width, source.Height, source.Pixels, {false}));
    std::stop_source stop;
    const TRaster* seen = nullptr;
    int calls = 0;
    std::optional<bool> ended;
    int firstByteWritten = -1;
    int firstByteAtEnd = -1;
    TLoadHooks hooks;
    hooks.Cancel = stop.get_token();
    hooks.Rows = [&](const TRaster& image, int, int) {
        seen = &image;
        if (++calls == 1)
            firstByteWritten = image.Bits()[0];
        if (calls == 2)
            stop.request_stop();
    };
    hooks.RowsEnd = [&](bool decoded) {
        ended = decoded;
        firstByteAtEnd = seen ? seen->Bits()[0] : -1;
    };
    EXPECT_FALSE(DecodeAndCount(PathOf(path), hooks).Ok());
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(*ended);
    EXPECT_EQ(firstByteAtEnd, firstByteWritten);
}

// A decoder that throws once its rows are out (as a failed allocation would) leaves the
// counting's thread and the caller's consumer stopped before the rows are freed.
TEST(DecodeCancel, TheRowsOutliveTheirEndWhenTheDecoderThrows) {
    const TRgb source = TestPicture(64, 400);
    QTemporaryDir dir;
    const QString path = dir.filePath("a.tnx");
    WriteBytes(path, EncodeJpeg(source.Width, source.Height, source.Pixels, {false}));
    const TAddedImageFormat throwing{{"TNX",
                                      {".tnx"},
                                      {},
                                      [](const std::filesystem::path& file, TRowTarget& target) {
                                          (void)StreamJpegFile(file, target);
                                          throw std::runtime_error("out of room");
                                          return TOutcome<TDecodeNotes>(TDecodeNotes{});
                                      },
                                      TRowCounting::AsRowsArrive}};
    const TRaster* seen = nullptr;
    std::optional<bool> ended;
    int firstByteWritten = -1;
    int firstByteAtEnd = -1;
    TLoadHooks hooks;
    hooks.Rows = [&](const TRaster& image, int, int) {
        if (!seen)
            firstByteWritten = image.Bits()[0];
        seen = &image;
    };
    hooks.RowsEnd = [&](bool decoded) {
        ended = decoded;
        firstByteAtEnd = seen ? seen->Bits()[0] : -1;
    };
    EXPECT_THROW(DecodeAndCount(PathOf(path), hooks), std::runtime_error);
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(*ended);
    EXPECT_EQ(firstByteAtEnd, firstByteWritten);
}
