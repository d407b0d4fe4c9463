// The image cache: revisits, independence of the copies, keys, and the size bound.
#include "qt_raster.h"
#include "ucache.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;

namespace {

QImage MakeImage(int w, int h, int seed) {
    QImage im(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y) {
        uchar* row = im.scanLine(y);
        for (int x = 0; x < w * 3; ++x)
            row[x] = static_cast<uchar>(seed * 31 + x * 7 + y * 13);
    }
    return im;
}

std::unique_ptr<TAllChanel> MakeHist(std::uint32_t seed) {
    auto h = std::make_unique<TAllChanel>();
    for (TChannel c : AllChannels) {
        TChanData& ch = (*h)[c];
        ch.Others.IndLow = static_cast<std::int32_t>(seed % 7);
        ch.Others.IndHigh = 255;
        ch.Others.SmoothCntFactor = 2;
        ch.Others.MaxVal = seed + 1;
        for (std::size_t i = 0; i < 256; ++i)
            ch.Hist[i] =
                seed * 1000u + static_cast<std::uint32_t>(i) * (static_cast<std::uint32_t>(c) + 1);
    }
    return h;
}

// The cache holds pictures the program made; here made from an image and a record of the
// test's own.
TPictureRef PictureOf(const QImage& image, const TAllChanel& counts) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    TRaster pixels = TRaster::Allocate(bgr.width(), bgr.height());
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(pixels.Row(y), bgr.constScanLine(y), static_cast<std::size_t>(bgr.width()) * 3);
    return std::make_shared<const TPicture>(TPictureSource::Clipboard(), std::move(pixels), counts);
}

void PushImage(TCache& cache, const QString& key, const QImage& image, const TAllChanel& counts) {
    cache.Push(key, {PictureOf(image, counts), {}, {}});
}

// What a hit gives the window: the picture's pixels and its raw counts. A miss leaves both.
bool PopImage(TCache& cache, const QString& key, QImage& image, TAllChanel& counts) {
    const std::optional<TCacheData> hit = cache.Pop(key);
    if (!hit)
        return false;
    image = PictureImage(hit->Picture);
    counts = hit->Picture->Counts();
    return true;
}

std::int64_t EntryBytes(const QImage& image) {
    return TCache::EntryBytes({PictureOf(image, TAllChanel{}), {}, {}});
}

// What the loader keeps of a decoded file: its 24-bit pixels and its raw counts.
struct TDecoded {
    QImage Image;
    std::unique_ptr<TAllChanel> Counts = std::make_unique<TAllChanel>();
};

TDecoded DecodeAndCount(const QString& path) {
    TDecoded d;
    QImage im;
    EXPECT_TRUE(im.load(path)) << path.toStdString();
    d.Image = im.convertToFormat(QImage::Format_BGR888);
    for (int y = 0; y < d.Image.height(); ++y) {
        const uchar* row = d.Image.constScanLine(y);
        for (int x = 0; x < d.Image.width(); ++x) {
            ++d.Counts->B.Hist[row[3 * x]];
            ++d.Counts->G.Hist[row[3 * x + 1]];
            ++d.Counts->R.Hist[row[3 * x + 2]];
        }
    }
    return d;
}

// ---------------------------------------------------------------- revisits of real files

class CacheRevisitTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Tmp.isValid());
        A = Tmp.path() + "/A.bmp";
        B = Tmp.path() + "/B.bmp";
        ASSERT_TRUE(MakeImage(40, 30, 1).save(A, "BMP"));
        ASSERT_TRUE(MakeImage(25, 20, 2).save(B, "BMP"));
    }
    QTemporaryDir Tmp;
    QString A, B;
    TCache Cache{64 << 20};
};

TEST_F(CacheRevisitTest, SecondOpeningReadsNothingAndYieldsTheSameData) {
    const TDecoded first = DecodeAndCount(A);
    PushImage(Cache, A, first.Image, *first.Counts);
    const TDecoded b = DecodeAndCount(B);
    PushImage(Cache, B, b.Image, *b.Counts);
    ASSERT_TRUE(QFile::remove(A)); // any read of A would now fail

    QImage im;
    auto hs = std::make_unique<TAllChanel>();
    ASSERT_TRUE(PopImage(Cache, A, im, *hs));
    EXPECT_EQ(im, first.Image);
    EXPECT_EQ(*hs, *first.Counts);
}

TEST_F(CacheRevisitTest, FileReplacedOnDiskShowsTheOldPicture) {
    const TDecoded old = DecodeAndCount(A);
    PushImage(Cache, A, old.Image, *old.Counts);
    ASSERT_TRUE(QFile::remove(A));
    ASSERT_TRUE(QFile::copy(B, A));

    QImage im;
    auto hs = std::make_unique<TAllChanel>();
    ASSERT_TRUE(PopImage(Cache, A, im, *hs));
    EXPECT_EQ(im, old.Image);
    EXPECT_EQ(*hs, *old.Counts);
    EXPECT_NE(im, DecodeAndCount(A).Image);
}

TEST_F(CacheRevisitTest, DeletedFileIsShownWhenSteppedBackTo) {
    const TDecoded a = DecodeAndCount(A);
    PushImage(Cache, A, a.Image, *a.Counts);
    ASSERT_TRUE(QFile::remove(A));
    QImage im;
    auto hs = std::make_unique<TAllChanel>();
    ASSERT_TRUE(PopImage(Cache, A, im, *hs));
    EXPECT_EQ(im.size(), QSize(40, 30));
    EXPECT_EQ(*hs, *a.Counts);
}

// Only the raw counts come from the cache; the smoothed display copy is rebuilt by the
// engine with whatever smoothing is on at the second visit. So a Pop must restore the raw
// record exactly, whatever the record it overwrites held.
TEST(Cache, PopRestoresTheRawRecordOverAnyOtherContent) {
    TCache cache(64 << 20);
    const auto raw = MakeHist(5);
    PushImage(cache, "/pics/a.jpg", MakeImage(4, 4, 5), *raw);
    auto target = MakeHist(99); // e.g. another image's counts, or a smoothed copy
    QImage im = MakeImage(9, 9, 99);
    ASSERT_TRUE(PopImage(cache, "/pics/a.jpg", im, *target));
    EXPECT_EQ(*target, *raw);
    EXPECT_EQ(im, MakeImage(4, 4, 5));
}

// A picture is shared with the cache, not copied; an image of it that the window writes to
// detaches, leaving the cached picture as it was pushed.
TEST(Cache, PictureIsSharedAndImagesOfItDetachWhenWritten) {
    TCache cache(64 << 20);
    const TPictureRef picture = PictureOf(MakeImage(4, 4, 5), *MakeHist(5));
    cache.Push("/pics/a.jpg", {picture, {}, {}});
    cache.Push("/pics/a.jpg", {PictureOf(MakeImage(4, 4, 6), *MakeHist(6)), {}, {}}); // first stays
    std::optional<TCacheData> hit = cache.Pop("/pics/a.jpg");
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->Picture, picture);
    EXPECT_EQ(cache.UsedBytes(), TCache::EntryBytes({picture, {}, {}}));
    QImage shown = PictureImage(hit->Picture);
    EXPECT_EQ(shown.constBits(), picture->Pixels().Bits());
    shown.fill(Qt::black);
    EXPECT_EQ(PictureImage(cache.Pop("/pics/a.jpg")->Picture), MakeImage(4, 4, 5));
    EXPECT_FALSE(cache.Pop("/pics/b.jpg"));
}

// The reduced copy costs its own bytes unless it is the picture's own pixels (a small one).
TEST(Cache, PreviewCountsUnlessItIsThePicture) {
    const TPictureRef picture = PictureOf(MakeImage(64, 48, 1), *MakeHist(1));
    const QImage reduced = MakeImage(16, 12, 1);
    EXPECT_EQ(TCache::EntryBytes({picture, PictureImage(picture), {}}), picture->Bytes());
    EXPECT_EQ(TCache::EntryBytes({picture, reduced, {}}),
              picture->Bytes() + static_cast<std::int64_t>(reduced.sizeInBytes()));
    TCache cache(64 << 20);
    cache.Push("/pics/none.jpg", {nullptr, reduced, {}}); // nothing to hold
    EXPECT_EQ(cache.Count(), 0);
}

TEST(Cache, MissChangesNothing) {
    TCache cache(64 << 20);
    PushImage(cache, "/pics/a.jpg", MakeImage(4, 4, 1), *MakeHist(1));
    QImage im = MakeImage(3, 3, 7);
    const QImage before = im.copy();
    auto hs = MakeHist(7);
    EXPECT_FALSE(PopImage(cache, "/pics/b.jpg", im, *hs));
    EXPECT_EQ(im, before);
    EXPECT_EQ(*hs, *MakeHist(7));
    EXPECT_FALSE([&] {
        TCache empty(64 << 20);
        return PopImage(empty, "/pics/a.jpg", im, *hs);
    }());
}

// ---------------------------------------------------------------- independent copies

TEST(Cache, EntryIsIndependentOfTheImagesItWasFilledFromAndFills) {
    TCache cache(64 << 20);
    QImage source = MakeImage(8, 8, 3);
    const QImage original = source.copy();
    PushImage(cache, "/pics/a.jpg", source, *MakeHist(3));
    source.fill(Qt::black); // the window draws into its own bitmap later

    QImage shown;
    auto hs = std::make_unique<TAllChanel>();
    ASSERT_TRUE(PopImage(cache, "/pics/a.jpg", shown, *hs));
    EXPECT_EQ(shown, original);
    shown.fill(Qt::white); // and into the one a hit gave it

    QImage again;
    ASSERT_TRUE(PopImage(cache, "/pics/a.jpg", again, *hs));
    EXPECT_EQ(again, original);
}

// A pasted picture often lies in a buffer its owner reuses or frees: the picture made of it
// holds a copy, counted.
TEST(Cache, PastedImageOverABorrowedBufferIsCopied) {
    std::vector<uchar> buffer(6 * 3 * 4, 0x55);
    const QImage borrowed(buffer.data(), 6, 4, 6 * 3, QImage::Format_BGR888);
    const TPictureRef picture = PictureOfImage(borrowed);
    ASSERT_TRUE(picture);
    std::fill(buffer.begin(), buffer.end(), uchar{0xAA}); // the buffer is reused ...
    buffer.clear();
    buffer.shrink_to_fit(); // ... or freed

    ASSERT_EQ(picture->Width(), 6);
    ASSERT_EQ(picture->Height(), 4);
    EXPECT_TRUE(picture->Source().IsClipboard());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 18; ++x)
            ASSERT_EQ(picture->View().Row(y)[x], 0x55);
    EXPECT_EQ(picture->Counts().R.Hist[0x55], 24u);
    EXPECT_EQ(PictureOfImage(QImage()), nullptr);
}

// ---------------------------------------------------------------- keys

struct TKeyCase {
    const char* Pushed;
    const char* Asked;
    bool Hit;
};

class CacheKeyTest : public testing::TestWithParam<TKeyCase> {};

TEST_P(CacheKeyTest, KeysAreTheExactPath) {
    const TKeyCase& c = GetParam();
    TCache cache(64 << 20);
    const auto pushed = MakeHist(4);
    PushImage(cache, QString::fromUtf8(c.Pushed), MakeImage(2, 2, 4), *pushed);
    QImage im;
    auto hs = std::make_unique<TAllChanel>();
    EXPECT_EQ(PopImage(cache, QString::fromUtf8(c.Asked), im, *hs), c.Hit);
    EXPECT_EQ(cache.Contains(QString::fromUtf8(c.Asked)), c.Hit);
    if (c.Hit) {
        EXPECT_EQ(*hs, *pushed);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, CacheKeyTest,
                         testing::Values(TKeyCase{"/pics/holiday.jpg", "/pics/holiday.jpg", true},
                                         TKeyCase{"/фото/Ёлка.jpg", "/фото/Ёлка.jpg", true},
                                         // names that differ in case are different files
                                         TKeyCase{"/Pics/HOLIDAY.JPG", "/pics/holiday.jpg", false},
                                         TKeyCase{"/pics/a.jpg", "/pics/A.jpg", false},
                                         TKeyCase{"/фото/Ёлка.jpg", "/ФОТО/ёлка.JPG", false},
                                         // other ways of writing the same file are other keys
                                         TKeyCase{"/pics/holiday.jpg", "/pics/./holiday.jpg",
                                                  false},
                                         TKeyCase{"/pics/holiday.jpg", "pics/holiday.jpg", false},
                                         TKeyCase{"/pics/holiday.jpg", "/pics/holiday.jpg ", false},
                                         TKeyCase{"/photos/Été.jpg", "/photos/Ete.jpg", false}));

TEST(Cache, KeyHeldTwiceKeepsItsFirstEntry) {
    TCache cache(64 << 20);
    const auto first = MakeHist(1);
    PushImage(cache, "/pics/a.jpg", MakeImage(2, 2, 1), *first);
    PushImage(cache, "/pics/a.jpg", MakeImage(3, 3, 2), *MakeHist(2));
    EXPECT_EQ(cache.Count(), 1);
    QImage im;
    auto hs = std::make_unique<TAllChanel>();
    ASSERT_TRUE(PopImage(cache, "/pics/a.jpg", im, *hs));
    EXPECT_EQ(*hs, *first);
    EXPECT_EQ(im, MakeImage(2, 2, 1));
}

// ---------------------------------------------------------------- size bound

TEST(CacheBound, EntryCostsItsPixelsAndOneRecord) {
    const QImage im = MakeImage(100, 10, 1);
    EXPECT_EQ(EntryBytes(im), static_cast<std::int64_t>(im.sizeInBytes()) +
                                  static_cast<std::int64_t>(sizeof(TAllChanel)));
    TCache cache(64 << 20);
    PushImage(cache, "/a.jpg", im, *MakeHist(1));
    PushImage(cache, "/b.jpg", MakeImage(7, 7, 2), *MakeHist(2));
    EXPECT_EQ(cache.UsedBytes(), EntryBytes(im) + EntryBytes(MakeImage(7, 7, 2)));
}

class CacheEvictionTest : public testing::Test {
  protected:
    // Room for exactly three entries of Pic.
    const QImage Pic = MakeImage(256, 256, 1);
    const std::int64_t Entry = EntryBytes(Pic);
    TCache Cache{3 * Entry};
    std::unique_ptr<TAllChanel> Hist = MakeHist(1);

    void Push(const char* key) { PushImage(Cache, key, Pic, *Hist); }
    bool Pop(const char* key) {
        QImage im;
        auto hs = std::make_unique<TAllChanel>();
        return PopImage(Cache, key, im, *hs);
    }
    std::vector<bool> Held(std::initializer_list<const char*> keys) const {
        std::vector<bool> r;
        for (const char* k : keys)
            r.push_back(Cache.Contains(k));
        return r;
    }
};

TEST_F(CacheEvictionTest, PushingPastTheBoundDropsTheOldest) {
    Push("/a.jpg");
    Push("/b.jpg");
    Push("/c.jpg");
    EXPECT_EQ(Cache.UsedBytes(), 3 * Entry);
    Push("/d.jpg");
    EXPECT_EQ(Held({"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg"}),
              (std::vector<bool>{false, true, true, true}));
    EXPECT_LE(Cache.UsedBytes(), Cache.MaxBytes());
    EXPECT_FALSE(Pop("/a.jpg")); // decoded afresh by the caller
    EXPECT_TRUE(Pop("/b.jpg"));
}

TEST_F(CacheEvictionTest, PopCountsAsUse) {
    Push("/a.jpg");
    Push("/b.jpg");
    Push("/c.jpg");
    ASSERT_TRUE(Pop("/a.jpg")); // a is now the most recently used
    Push("/d.jpg");
    EXPECT_EQ(Held({"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg"}),
              (std::vector<bool>{true, false, true, true}));
    Push("/e.jpg");
    EXPECT_EQ(Held({"/a.jpg", "/c.jpg", "/d.jpg", "/e.jpg"}),
              (std::vector<bool>{true, false, true, true}));
    // A miss is no use of anything.
    EXPECT_FALSE(Pop("/b.jpg"));
    Push("/f.jpg");
    EXPECT_EQ(Held({"/a.jpg", "/d.jpg", "/e.jpg", "/f.jpg"}),
              (std::vector<bool>{false, true, true, true}));
}

TEST_F(CacheEvictionTest, LargeEntryDropsAsManyAsItNeeds) {
    Push("/a.jpg");
    Push("/b.jpg");
    Push("/c.jpg");
    const QImage big = MakeImage(256, 768, 2); // more than two small entries, at most three
    ASSERT_LE(EntryBytes(big), 3 * Entry);
    ASSERT_GT(EntryBytes(big), 2 * Entry);
    PushImage(Cache, "/big.jpg", big, *Hist);
    EXPECT_EQ(Held({"/a.jpg", "/b.jpg", "/c.jpg", "/big.jpg"}),
              (std::vector<bool>{false, false, false, true}));
    EXPECT_LE(Cache.UsedBytes(), Cache.MaxBytes());
}

TEST_F(CacheEvictionTest, EntryLargerThanTheBoundIsNotKeptAndDropsNothing) {
    Push("/a.jpg");
    Push("/b.jpg");
    const QImage huge = MakeImage(256, 1536, 3);
    ASSERT_GT(EntryBytes(huge), Cache.MaxBytes());
    PushImage(Cache, "/huge.jpg", huge, *Hist);
    EXPECT_EQ(Held({"/a.jpg", "/b.jpg", "/huge.jpg"}), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(Cache.UsedBytes(), 2 * Entry);
}

// A raw file's sensor reading joins its picture after it is cached: weighed again, the
// entry drops older ones to keep the bound, and itself too once it no longer fits alone.
TEST_F(CacheEvictionTest, AnEntryThatGrowsIsWeighedAgain) {
    Push("/a.jpg");
    Push("/b.jpg");
    Push("/c.dng");
    const TPictureRef raw = Cache.Pop("/c.dng")->Picture;
    ASSERT_TRUE(Pop("/a.jpg")); // b is now the oldest
    const auto photosites = [](std::size_t count) {
        auto mosaic = std::make_shared<TSensorMosaic>();
        mosaic->Values.resize(count);
        return mosaic;
    };
    raw->SetSensor(std::make_shared<const TSensorHistogram>(),
                   photosites(static_cast<std::size_t>(Entry / 4)));
    Cache.Reweigh("/c.dng");
    EXPECT_EQ(Held({"/a.jpg", "/b.jpg", "/c.dng"}), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(Cache.UsedBytes(), Entry + TCache::EntryBytes({raw, {}, {}}));

    const TPictureRef grown = Cache.Pop("/a.jpg")->Picture;
    grown->SetSensor(std::make_shared<const TSensorHistogram>(),
                     photosites(static_cast<std::size_t>(2 * Entry)));
    Cache.Reweigh("/a.jpg");
    EXPECT_EQ(Held({"/a.jpg", "/c.dng"}), (std::vector<bool>{false, false}));
    EXPECT_EQ(Cache.UsedBytes(), 0);
}

// Room is made before a picture is decoded: the oldest entries go, and they go to the
// freeing callback, while the picture that needs the room does not exist yet.
TEST_F(CacheEvictionTest, MakingRoomDropsTheOldestBeforeThePictureExists) {
    std::vector<TPictureRef> dropped;
    Cache.SetOnDropped([&](TCacheData data) { dropped.push_back(std::move(data.Picture)); });
    Push("/a.jpg");
    Push("/b.jpg");
    Push("/c.jpg");
    ASSERT_TRUE(Pop("/a.jpg")); // now b is the oldest
    const struct {
        std::int64_t Bytes;
        bool Fits;
        std::vector<bool> HeldAfter; // a, b, c
    } cases[] = {
        {0, true, {true, true, true}},
        {Entry, true, {true, false, true}},           // one entry's room: b goes
        {Entry + 1, true, {true, false, false}},      // a little more: c as well
        {3 * Entry + 1, false, {true, false, false}}, // never fits: nothing more goes
        {3 * Entry, true, {false, false, false}},     // the whole bound: everything goes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cache.MakeRoom(c.Bytes), c.Fits) << c.Bytes;
        EXPECT_EQ(Held({"/a.jpg", "/b.jpg", "/c.jpg"}), c.HeldAfter) << c.Bytes;
        EXPECT_LE(Cache.UsedBytes() + (c.Fits ? c.Bytes : 0), Cache.MaxBytes());
    }
    EXPECT_EQ(dropped.size(), 3u);
    EXPECT_EQ(Cache.UsedBytes(), 0);
}

TEST_F(CacheEvictionTest, ManyPushesNeverExceedTheBound) {
    for (int i = 0; i < 50; ++i) {
        const QString key = QStringLiteral("/pics/%1.jpg").arg(i);
        PushImage(Cache, key, MakeImage(16 + i % 60, 16 + (i * 7) % 60, i), *Hist);
        ASSERT_LE(Cache.UsedBytes(), Cache.MaxBytes()) << i;
        ASSERT_TRUE(Cache.Contains(key)) << "the newest entry is always kept";
    }
}

struct TBoundCase {
    std::uint64_t Physical;
    std::int64_t Bound;
};

class CacheDefaultBoundTest : public testing::TestWithParam<TBoundCase> {};

TEST_P(CacheDefaultBoundTest, QuarterOfMemoryAtMostFourGiB) {
    EXPECT_EQ(CacheBoundFor(GetParam().Physical), GetParam().Bound);
}

constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
INSTANTIATE_TEST_SUITE_P(Memory, CacheDefaultBoundTest,
                         testing::Values(TBoundCase{2 * GiB, std::int64_t(GiB / 2)},
                                         TBoundCase{8 * GiB, std::int64_t(2 * GiB)},
                                         TBoundCase{16 * GiB, std::int64_t(4 * GiB)},
                                         TBoundCase{64 * GiB, std::int64_t(4 * GiB)},
                                         TBoundCase{0,
                                                    std::int64_t(GiB / 2)})); // unknown memory size

TEST(CacheDefaultBound, ComesFromThisMachine) {
    const std::uint64_t physical = PhysicalMemoryBytes();
#if defined(Q_OS_LINUX) || defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    EXPECT_GT(physical, 0u);
#endif
    EXPECT_EQ(DefaultCacheBound(), CacheBoundFor(physical));
    EXPECT_EQ(TCache().MaxBytes(), DefaultCacheBound());
}

} // namespace
