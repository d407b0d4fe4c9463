// A region of a picture counted band by band is counted as the same pixels cut out and
// opened as a picture of their own: every channel, raw and smoothed, sampled models included.
#include "current_hist.h"
#include "decoder_test_support.h"
#include "region.h"
#include "streamed_count.h"

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

bool IsJpeg(const QString& path) {
    return !path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
}

TDecodeResult DecodeWhole(const QString& path) {
    return IsJpeg(path) ? DecodeJpegFile(path) : DecodeBmpFile(path);
}

// The region's pixels of a decoded picture as a 24-bit bottom-up BMP.
TBytes CroppedBmp(const TRaster& picture, const TRegion& region) {
    const TRasterView crop = CropView(picture.View(), region);
    return MakeBmp({crop.Width,
                    crop.Height,
                    24,
                    0,
                    {},
                    {},
                    StoredRows(crop.Width, crop.Height, 24, false, [&](int x, int y) {
                        const std::uint8_t* p = crop.Row(y) + 3 * x; // blue, green, red
                        return std::uint64_t(p[0] | p[1] << 8 | p[2] << 16);
                    })});
}

// The region cut back to a width x height picture, for the suites' smallest pictures.
TRegion Fitted(TRegion r, int width, int height) {
    r.X = std::min(r.X, width - 1);
    r.Y = std::min(r.Y, height - 1);
    r.Width = std::clamp(r.Width, 1, width - r.X);
    r.Height = std::clamp(r.Height, 1, height - r.Y);
    return r;
}

// Regions chosen by the picture's size, so that they fit the suites' pictures as well.
struct TRegionCase {
    const char* Name;
    TRegion (*Of)(int width, int height);
};

const TRegionCase RegionCases[] = {
    // An odd left edge, and rows that start and end inside a band of the decoder, whether it
    // goes down from the top or up from the bottom.
    {"middle",
     [](int w, int h) {
         return TRegion{(w / 7) | 1, h / 5 + 5, w / 2, h / 2};
     }},
    {"to the right and bottom edges",
     [](int w, int h) {
         return TRegion{w / 3, h / 3, w - w / 3, h - h / 3};
     }},
    {"the last column",
     [](int w, int h) {
         return TRegion{w - 1, 0, 1, h};
     }},
    {"one row",
     [](int w, int h) {
         return TRegion{0, h / 2, w, 1};
     }},
    {"whole",
     [](int w, int h) {
         return TRegion{0, 0, w, h};
     }},
};

class RegionCounts : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Dir = new QTemporaryDir;
        ASSERT_TRUE(Dir->isValid());
        const TRgb picture = TestPicture(1283, 1031);
        WriteBytes(Dir->filePath("baseline.jpg"),
                   EncodeJpeg(picture.Width, picture.Height, picture.Pixels, {}));
        WriteBytes(Dir->filePath("progressive.jpg"),
                   EncodeJpeg(picture.Width, picture.Height, picture.Pixels, {true}));
        const int w = picture.Width, h = picture.Height;
        const auto rgb = [&](int x, int y) {
            const std::uint8_t* p = picture.At(x, y);
            return std::uint64_t(p[2] | p[1] << 8 | p[0] << 16);
        };
        WriteBytes(Dir->filePath("bottom-up.bmp"),
                   MakeBmp({w, h, 24, 0, {}, {}, StoredRows(w, h, 24, false, rgb)}));
        WriteBytes(Dir->filePath("top-down.bmp"),
                   MakeBmp({w, -h, 24, 0, {}, {}, StoredRows(w, h, 24, true, rgb)}));
        // Noise settles only at the finest levels: its regions take further passes, from
        // bands too many to hold (this one is wide) and from bands held whole (the small one).
        std::mt19937 rng(5);
        const auto noise = [&](int, int) { return std::uint64_t(rng() & 0xFFFFFF); };
        WriteBytes(Dir->filePath("noise.bmp"),
                   MakeBmp({1500, 900, 24, 0, {}, {}, StoredRows(1500, 900, 24, false, noise)}));
        WriteBytes(Dir->filePath("small-noise.bmp"),
                   MakeBmp({500, 300, 24, 0, {}, {}, StoredRows(500, 300, 24, false, noise)}));
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }

    static QStringList Pictures() { return MadeAndSuitePictures(QDir(Dir->path())); }

    static QTemporaryDir* Dir;
};

QTemporaryDir* RegionCounts::Dir = nullptr;

} // namespace

TEST_F(RegionCounts, AreThoseOfTheRegionCutOutAndOpenedAsAPicture) {
    QTemporaryDir crops;
    ASSERT_TRUE(crops.isValid());
    TCurrentHist ofRegion(SmoothLevelMedium), ofCrop(SmoothLevelMedium);
    auto engine = std::make_unique<THist>();
    int compared = 0, sampled = 0, passes = 0;
    for (const QString& path : Pictures()) {
        const TDecodeResult decoded = DecodeWhole(path);
        for (const TRegionCase& c : RegionCases) {
            SCOPED_TRACE(path.toStdString() + ", " + c.Name);
            if (!decoded.Ok()) { // a file that cannot be counted fails as it does whole
                const TOutcome<TStreamedCounts> failed = StreamAndCount(PathOf(path), {0, 0, 1, 1});
                ASSERT_FALSE(failed.Ok());
                EXPECT_EQ(failed.Reason(), decoded.Reason());
                break;
            }
            const TRegion region = Fitted(c.Of(decoded->Width(), decoded->Height()),
                                          decoded->Width(), decoded->Height());
            ASSERT_TRUE(RegionFits(region, decoded->Width(), decoded->Height()));
            TPictureSize picture;
            const TOutcome<TStreamedCounts> counted =
                StreamAndCount(PathOf(path), region, nullptr, &picture);
            ASSERT_TRUE(counted.Ok()) << counted.Reason();
            EXPECT_EQ(picture, (TPictureSize{decoded->Width(), decoded->Height()}));
            ASSERT_EQ(counted->Width(), region.Width);
            ASSERT_EQ(counted->Height(), region.Height);

            const QString crop = crops.filePath("crop.bmp");
            WriteBytes(crop, CroppedBmp(*decoded, region));
            const TOutcome<TStreamedCounts> cropped = StreamAndCount(PathOf(crop));
            ASSERT_TRUE(cropped.Ok()) << cropped.Reason();

            ofRegion.Count(*counted);
            ofCrop.Count(*cropped);
            EXPECT_EQ(ofRegion.Raw(), ofCrop.Raw());
            EXPECT_EQ(ofRegion.Display(), ofCrop.Display());
            // And the engine's count of the region's view of the whole picture.
            engine->Calc(Origin, CropView(decoded->View(), region));
            EXPECT_EQ(ofRegion.Raw(), engine->Data[Origin]);
            ++compared;
            sampled += counted->Stats(TSampledModel::HSV).CoarseLevel > 1;
            passes += counted->Passes() > 1;
        }
    }
    EXPECT_GE(compared, 30);
    EXPECT_GE(sampled, 12); // the middle, the corner and the whole of each made picture
    EXPECT_GE(passes, 4);   // the noise's
}

// The noise's regions above take their further passes both ways: decoding the file again, and
// counting the rows the bands hold (those of the region and of the bands it reaches).
TEST_F(RegionCounts, FurtherPassesDecodeAgainOrCountTheHeldRows) {
    const struct {
        const char* File;
        TRegion Region;
        bool Held;
    } rows[] = {{"noise.bmp", {215, 185, 750, 450}, false},
                {"small-noise.bmp", {71, 65, 250, 150}, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.File);
        std::optional<TStreamedCounts> counts;
        TBandCounter counter(counts, r.Region);
        ASSERT_TRUE(StreamBmpFile(PathOf(Dir->filePath(r.File)), counter).Ok());
        ASSERT_TRUE(counter.Finish());
        EXPECT_TRUE(counts->NeedsPass());
        EXPECT_EQ(counter.HoldsPicture(), r.Held);
        EXPECT_EQ(counter.CountHeldRows(), r.Held);
    }
}

// The whole picture as a region is the picture's own count, bin for bin.
TEST_F(RegionCounts, TheWholePictureAsARegionIsItsCount) {
    const QString path = Dir->filePath("progressive.jpg");
    const TOutcome<TStreamedCounts> whole = StreamAndCount(PathOf(path));
    const TOutcome<TStreamedCounts> region = StreamAndCount(PathOf(path), {0, 0, 1283, 1031});
    ASSERT_TRUE(whole.Ok() && region.Ok());
    TCurrentHist a, b;
    a.Count(*whole);
    b.Count(*region);
    EXPECT_EQ(a.Raw(), b.Raw());
}

TEST_F(RegionCounts, ARegionOutsideThePictureFailsNamingBoth) {
    const QString path = Dir->filePath("bottom-up.bmp");
    const struct {
        TRegion Region;
        const char* Reason;
    } rows[] = {
        {{1273, 0, 11, 5}, "The region 1273,0,11,5 does not lie within the picture (1283 x 1031)"},
        {{0, 1031, 1, 1}, "The region 0,1031,1,1 does not lie within the picture (1283 x 1031)"},
        {{2147483647, 2147483647, 2147483647, 2147483647},
         "The region 2147483647,2147483647,2147483647,2147483647 does not lie within the "
         "picture (1283 x 1031)"},
    };
    for (const auto& r : rows) {
        const TOutcome<TStreamedCounts> counted = StreamAndCount(PathOf(path), r.Region);
        EXPECT_FALSE(counted.Ok());
        EXPECT_EQ(counted.Reason(), r.Reason);
    }
    // Checked against the decoded size, in a JPEG too.
    const TOutcome<TStreamedCounts> jpeg =
        StreamAndCount(PathOf(Dir->filePath("baseline.jpg")), {0, 0, 1284, 1});
    EXPECT_EQ(jpeg.Reason(), "The region 0,0,1284,1 does not lie within the picture (1283 x 1031)");
}
