// Pictures counted band by band, never held whole: the rows the decoders hand over are the
// decoded picture's, and the counts are a count of the whole picture, on every channel.
#include "decoder_test_support.h"
#include "streamed_count.h"

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

// Gathers the bands into a picture, noting any row written twice or asked for twice.
class TGatheringTarget final : public TRowTarget {
  public:
    bool Start(int width, int height) override {
        ++Starts;
        Picture = TRgb{width, height, TBytes(size_t(width) * height * 3)};
        Times.assign(size_t(height), 0);
        Band.assign(size_t(width) * 3 * StreamBandRows, 0);
        return true;
    }
    TRowBand Rows(int firstRow, int count) override {
        EXPECT_GT(count, 0);
        EXPECT_LE(count, StreamBandRows);
        Asked = {firstRow, count};
        return {Band.data(), std::ptrdiff_t{Picture.Width} * 3};
    }
    void Written(int firstRow, int count) override {
        EXPECT_EQ(std::pair(firstRow, count), Asked);
        for (int i = 0; i < count; ++i) {
            ++Times[size_t(firstRow + i)];
            const std::uint8_t* row = &Band[size_t(i) * Picture.Width * 3];
            for (int x = 0; x < Picture.Width; ++x) // blue, green, red to packed RGB
                for (int c = 0; c < 3; ++c)
                    Picture.Pixels[(size_t(firstRow + i) * Picture.Width + x) * 3 + c] =
                        row[3 * x + 2 - c];
        }
    }
    bool EveryRowOnce() const {
        return std::all_of(Times.begin(), Times.end(), [](int n) { return n == 1; });
    }

    int Starts = 0;
    TRgb Picture;
    std::vector<int> Times; // per row: how often it was written
    TBytes Band;
    std::pair<int, int> Asked;
};

bool IsJpeg(const QString& path) {
    return !path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
}

TDecodeResult DecodeWhole(const QString& path) {
    return IsJpeg(path) ? DecodeJpegFile(path) : DecodeBmpFile(path);
}

// The pictures of the comparisons: made here, large enough to be sampled at several levels,
// in every stored form the decoders read differently; and the public suites' files, where
// present.
class StreamedPictures : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Dir = new QTemporaryDir;
        ASSERT_TRUE(Dir->isValid());
        const TRgb picture = TestPicture(1283, 1031);
        const auto jpeg = [&](const char* name, const TBytes& samples, const TEncodeOptions& o) {
            WriteBytes(Dir->filePath(name), EncodeJpeg(picture.Width, picture.Height, samples, o));
        };
        jpeg("baseline.jpg", picture.Pixels, {});
        // Cut short: decoded as far as it goes, the rest made up, and marked incomplete.
        TBytes cut = EncodeJpeg(picture.Width, picture.Height, picture.Pixels, {});
        cut.resize(cut.size() * 2 / 3);
        WriteBytes(Dir->filePath("cut.jpg"), cut);
        // What a file says about showing its pixels: an Exif block that turns it a quarter
        // clockwise, and a profile (only its bytes matter here).
        TJpegEncoding told;
        told.Exif = {'E', 'x', 'i',  'f',  0, 0,       // the APP1 payload's name
                     'I', 'I', 42,   0,    8, 0, 0, 0, // little-endian TIFF, its directory at 8
                     1,   0,   0x12, 0x01, 3, 0, 1, 0, 0, 0, // one entry: Orientation, one SHORT
                     6,   0,   0,    0,    0, 0, 0, 0};      // 6; no next directory
        told.Icc.assign(300, 7);
        const TRgb small = TestPicture(120, 90);
        WriteBytes(Dir->filePath("told.jpg"), EncodeWithLibjpeg(120, 90, small.Pixels, told));
        jpeg("progressive.jpg", picture.Pixels, {true});
        jpeg("grey.jpg", Grey(picture), {false, 90, JCS_GRAYSCALE, JCS_GRAYSCALE});
        TBytes cmyk;
        for (size_t i = 0; i < picture.Pixels.size(); i += 3)
            cmyk.insert(cmyk.end(), {std::uint8_t(255 - picture.Pixels[i]),
                                     std::uint8_t(255 - picture.Pixels[i + 1]),
                                     std::uint8_t(255 - picture.Pixels[i + 2]), 40});
        jpeg("cmyk.jpg", cmyk, {false, 90, JCS_CMYK, JCS_YCCK});
        // Shading with a sensor's noise, as in a photograph: the coarse levels settle it.
        TRgb shaded = picture;
        std::mt19937 grain(3);
        std::normal_distribution<double> sensor(0.0, 4.0);
        for (int y = 0; y < shaded.Height; ++y)
            for (int x = 0; x < shaded.Width; ++x)
                for (int c = 0; c < 3; ++c)
                    shaded.Pixels[(size_t(y) * shaded.Width + x) * 3 + c] = std::uint8_t(std::clamp(
                        60 + 40 * c + 120.0 * y / shaded.Height + sensor(grain), 0.0, 255.0));
        jpeg("shaded.jpg", shaded.Pixels, {});
        const auto rgb = [&](int x, int y) {
            const std::uint8_t* p = picture.At(x, y);
            return std::uint64_t(p[2] | p[1] << 8 | p[0] << 16);
        };
        const int w = picture.Width, h = picture.Height;
        WriteBytes(Dir->filePath("bottom-up.bmp"),
                   MakeBmp({w, h, 24, 0, {}, {}, StoredRows(w, h, 24, false, rgb)}));
        WriteBytes(Dir->filePath("top-down.bmp"),
                   MakeBmp({w, -h, 24, 0, {}, {}, StoredRows(w, h, 24, true, rgb)}));
        // RLE8: runs, a jump over rows and part of a row, an end of the picture long before
        // its last row; all that it leaves out is black.
        TBytes rle;
        for (int r = 0; r < 100; ++r) {
            rle.insert(rle.end(), {255, std::uint8_t(r % 3), 255, std::uint8_t(r % 3 + 1)});
            rle.insert(rle.end(), {0, 0});
        }
        rle.insert(rle.end(), {0, 2, 40, 37, 200, 2, 0, 0, 0, 1});
        WriteBytes(Dir->filePath("rle8.bmp"),
                   MakeBmp({600, 700, 8, 1, {0x102030, 0xC08040, 0x20F0A0, 0xFFFFFF}, {}, rle}));
        // Noise, which settles only at the finest levels: one picture too large for the
        // bands to hold, one they hold whole.
        std::mt19937 rng(11);
        const auto noise = [&](int, int) { return std::uint64_t(rng() & 0xFFFFFF); };
        WriteBytes(Dir->filePath("noise.bmp"),
                   MakeBmp({1200, 700, 24, 0, {}, {}, StoredRows(1200, 700, 24, false, noise)}));
        WriteBytes(Dir->filePath("small-noise.bmp"),
                   MakeBmp({300, 200, 24, 0, {}, {}, StoredRows(300, 200, 24, false, noise)}));
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }

    static QStringList Pictures() { return MadeAndSuitePictures(QDir(Dir->path())); }

    static QTemporaryDir* Dir;
};

QTemporaryDir* StreamedPictures::Dir = nullptr;

} // namespace

// The bands cover the picture once with the decoded pixels, whatever order the file keeps
// its rows in, and the decode says what the file says about them; a file the decoder
// refuses is refused the same way.
TEST_F(StreamedPictures, BandsHoldTheDecodedRows) {
    for (const QString& path : Pictures()) {
        SCOPED_TRACE(path.toStdString());
        const TDecodeResult whole = DecodeWhole(path);
        TGatheringTarget target;
        const TOutcome<TDecodeNotes> streamed = IsJpeg(path) ? StreamJpegFile(PathOf(path), target)
                                                             : StreamBmpFile(PathOf(path), target);
        ASSERT_EQ(streamed.Ok(), whole.Ok()) << streamed.Reason() << whole.Reason();
        if (!whole.Ok()) {
            EXPECT_EQ(streamed.Reason(), whole.Reason());
            continue;
        }
        EXPECT_EQ(target.Starts, 1);
        EXPECT_TRUE(target.EveryRowOnce());
        EXPECT_TRUE(target.Picture == FromDecoded(*whole));
        EXPECT_EQ(streamed->Incomplete, whole->Incomplete());
        EXPECT_EQ(streamed->Meta.Orientation, whole->Meta().Orientation);
        EXPECT_EQ(streamed->Meta.IccProfile, whole->Meta().IccProfile);
        EXPECT_EQ(streamed->Meta.Calibrated, whole->Meta().Calibrated);
        if (path.endsWith("/cut.jpg")) {
            EXPECT_TRUE(streamed->Incomplete);
        }
        if (path.endsWith("/told.jpg")) {
            EXPECT_EQ(streamed->Meta.Orientation, 6);
            EXPECT_EQ(streamed->Meta.IccProfile.size(), 300u);
        }
    }
}

// Streamed counts are the whole picture's on all ten channels, bin for bin.
TEST_F(StreamedPictures, CountsAreTheWholePicturesOnEveryChannel) {
    auto whole = std::make_unique<THist>(), streamed = std::make_unique<THist>();
    int sampled = 0, checked = 0;
    for (const QString& path : Pictures()) {
        SCOPED_TRACE(path.toStdString());
        const TDecodeResult decoded = DecodeWhole(path);
        const TOutcome<TStreamedCounts> counted = StreamAndCount(PathOf(path));
        ASSERT_EQ(counted.Ok(), decoded.Ok()) << counted.Reason() << decoded.Reason();
        if (!decoded.Ok()) {
            EXPECT_EQ(counted.Reason(), decoded.Reason());
            continue;
        }
        EXPECT_EQ(counted->Width(), decoded->Width());
        EXPECT_EQ(counted->Height(), decoded->Height());
        whole->Calc(Origin, decoded->View());
        streamed->CalcStreamed(Origin, *counted);
        EXPECT_EQ(streamed->Data[Origin], whole->Data[Origin]);
        ++checked;
        sampled += counted->Stats(TSampledModel::HSV).CoarseLevel > 1;
    }
    EXPECT_GE(checked, 10);
    EXPECT_GE(sampled, 9); // every made picture but the small noise is sampled, HSV included
}

// A picture whose coarse levels do not settle its shape is decoded again for each finer
// level it needs, or counted again from the bands when they hold all of it; a photograph's
// shape is settled by the first pass. The counts themselves are compared above.
TEST_F(StreamedPictures, FinerLevelsTakeFurtherPasses) {
    const QString noise = Dir->filePath("noise.bmp");
    std::optional<TStreamedCounts> counts;
    TBandCounter first(counts);
    ASSERT_TRUE(StreamBmpFile(PathOf(noise), first).Ok());
    ASSERT_TRUE(first.Finish());
    EXPECT_TRUE(counts->NeedsPass());
    EXPECT_FALSE(first.HoldsPicture());
    EXPECT_FALSE(first.CountHeldRows());
    const TOutcome<TStreamedCounts> again = StreamAndCount(PathOf(noise));
    ASSERT_TRUE(again.Ok()) << again.Reason();
    EXPECT_GE(again->Passes(), 2);
    EXPECT_LE(again->Stats(TSampledModel::Lab).ConvergedLevel, 2);

    // A file that changes size between passes fails rather than mixing two pictures.
    TBandCounter second(counts);
    EXPECT_FALSE(StreamBmpFile(PathOf(Dir->filePath("rle8.bmp")), second).Ok());
    EXPECT_TRUE(second.SizeChanged());
    EXPECT_FALSE(second.Finish());

    std::optional<TStreamedCounts> small;
    TBandCounter held(small);
    ASSERT_TRUE(StreamBmpFile(PathOf(Dir->filePath("small-noise.bmp")), held).Ok());
    ASSERT_TRUE(held.Finish());
    EXPECT_TRUE(held.HoldsPicture());
    EXPECT_TRUE(small->NeedsPass());
    while (small->NeedsPass())
        ASSERT_TRUE(held.CountHeldRows());
    EXPECT_GE(small->Passes(), 2);

    const TOutcome<TStreamedCounts> once = StreamAndCount(PathOf(Dir->filePath("shaded.jpg")));
    ASSERT_TRUE(once.Ok()) << once.Reason();
    EXPECT_EQ(once->Passes(), 1);
    EXPECT_GE(once->Stats(TSampledModel::HSV).ConvergedLevel, 3);
}

TEST(StreamAndCount, FailsAsTheWholeDecodeDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cut = dir.filePath("cut.bmp");
    const TRgb p = TestPicture(64, 48);
    TBytes bmp = MakeBmp({64, 48, 24, 0, {}, {}, StoredRows(64, 48, 24, false, [&](int x, int y) {
                              return std::uint64_t(p.At(x, y)[0]);
                          })});
    bmp.resize(bmp.size() / 2);
    WriteBytes(cut, bmp);
    for (const QString& path : {cut, dir.filePath("missing.jpg"), dir.filePath("notes.txt"),
                                dir.filePath("no extension")}) {
        SCOPED_TRACE(path.toStdString());
        const TOutcome<TStreamedCounts> counted = StreamAndCount(PathOf(path));
        const TOutcome<TLoadedImage> loaded = DecodeAndCount(PathOf(path));
        EXPECT_FALSE(counted.Ok());
        EXPECT_FALSE(loaded.Ok());
        EXPECT_EQ(counted.Reason(), loaded.Reason());
    }
}
