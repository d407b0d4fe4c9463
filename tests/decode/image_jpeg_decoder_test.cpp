// The JPEG decoder: exact pixels against independent references (libjpeg driven directly,
// reference files), hand-made files for the corner cases, damaged input that must end in a
// clean failure or a picture; the rows counted while decoding and the pages made ready.
#include "decoder_test_support.h"
#include "peak_memory.h"

using namespace tonalyx;
using namespace tonalyx::test;

// --- JPEG: reference files ---------------------------------------------------------------------

class JpegFastIdctReference : public testing::TestWithParam<const char*> {};

// testimgfst.ppm is libjpeg's fast-IDCT output for testorig.jpg; testprog.jpg holds the same
// coefficients in progressive form. Block smoothing must leave a complete file alone.
TEST_P(JpegFastIdctReference, MatchesExactly) {
    const QString jpeg = TestData(QStringLiteral("libjpeg-turbo/") + GetParam());
    const QString ppm = TestData("libjpeg-turbo/testimgfst.ppm");
    REQUIRE_FILE(jpeg);
    REQUIRE_FILE(ppm);
    const TDecodeResult r = DecodeJpegFile(jpeg);
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_TRUE(FromDecoded(*r) == ReadPpm(ppm));
}

INSTANTIATE_TEST_SUITE_P(Files, JpegFastIdctReference,
                         testing::Values("testorig.jpg", "testprog.jpg"));

class JpegSuiteFile : public testing::TestWithParam<const char*> {};

// Every 8-bit file of the suite, baseline, progressive, arithmetic, grey, decodes as libjpeg
// itself does with the same settings, from a file and from memory alike.
TEST_P(JpegSuiteFile, AgreesWithLibjpeg) {
    const QString path = TestData(QStringLiteral("libjpeg-turbo/") + GetParam());
    REQUIRE_FILE(path);
    const TBytes bytes = ReadBytes(path);
    TRgb expected;
    ASSERT_TRUE(ReferenceDecode(bytes, expected));
    const TDecodeResult fromFile = DecodeJpegFile(path);
    ASSERT_TRUE(fromFile.Ok()) << fromFile.Reason();
    EXPECT_TRUE(FromDecoded(*fromFile) == expected);
    EXPECT_TRUE(DecodeOk(bytes) == expected);
    TRgb lastScan;
    ASSERT_TRUE(ReferenceDecode(bytes, lastScan, TRefMode::ScanByScan));
    EXPECT_TRUE(lastScan == expected);
}

INSTANTIATE_TEST_SUITE_P(Files, JpegSuiteFile,
                         testing::Values("testorig.jpg", "testimgint.jpg", "testimgfst.jpg",
                                         "testimgfst100.jpg", "testimgflt.jpg", "testimgcrop.jpg",
                                         "testimggray.jpg", "testprog.jpg", "testimgp.jpg",
                                         "testimgari.jpg", "testimgpa.jpg"));

// Sequential, progressive and arithmetic forms of the same coefficients are one picture.
TEST(JpegSuite, SameCoefficientsSamePixels) {
    const QString files[] = {TestData("libjpeg-turbo/testimgint.jpg"),
                             TestData("libjpeg-turbo/testimgp.jpg"),
                             TestData("libjpeg-turbo/testimgari.jpg")};
    for (const QString& f : files)
        REQUIRE_FILE(f);
    const TRgb first = DecodeOk(ReadBytes(files[0]));
    EXPECT_TRUE(DecodeOk(ReadBytes(files[1])) == first);
    EXPECT_TRUE(DecodeOk(ReadBytes(files[2])) == first);
}

TEST(JpegSuite, GreyFileGivesGreyLevels) {
    const QString path = TestData("libjpeg-turbo/testimggray.jpg");
    REQUIRE_FILE(path);
    const TRgb p = DecodeOk(ReadBytes(path));
    ASSERT_EQ(p.Width, 227);
    int distinct[256] = {};
    for (size_t i = 0; i < p.Pixels.size(); i += 3) {
        ASSERT_EQ(p.Pixels[i], p.Pixels[i + 1]);
        ASSERT_EQ(p.Pixels[i], p.Pixels[i + 2]);
        distinct[p.Pixels[i]] = 1;
    }
    EXPECT_GT(std::count(std::begin(distinct), std::end(distinct), 1), 100);
}

class JpegTwelveBit : public testing::TestWithParam<const char*> {};

TEST_P(JpegTwelveBit, FailsWithAReason) {
    const QString path = TestData(QStringLiteral("libjpeg-turbo/") + GetParam());
    REQUIRE_FILE(path);
    const TDecodeResult r = DecodeJpegFile(path);
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Reason().empty());
    EXPECT_THROW((void)r.Value(), std::bad_variant_access); // no picture handed out
}

INSTANTIATE_TEST_SUITE_P(Files, JpegTwelveBit, testing::Values("testorig12.jpg", "monkey12.jpg"));

// --- JPEG: files made here -----------------------------------------------------------------------

struct TJpegCase {
    const char* Name;
    int Width, Height;
    TEncodeOptions Options;
};

class JpegEncoded : public testing::TestWithParam<TJpegCase> {};

// Our output equals libjpeg's own decode with the same settings, and is the encoded picture
// (so both cannot be wrong the same way, e.g. in channel order).
TEST_P(JpegEncoded, AgreesWithLibjpegAndSource) {
    const TJpegCase& c = GetParam();
    const TRgb source = TestPicture(c.Width, c.Height);
    const bool grey = c.Options.Input == JCS_GRAYSCALE;
    const TBytes jpeg =
        EncodeJpeg(c.Width, c.Height, grey ? Grey(source) : source.Pixels, c.Options);
    TRgb expected;
    ASSERT_TRUE(ReferenceDecode(jpeg, expected));
    const TRgb decoded = DecodeOk(jpeg);
    ASSERT_TRUE(decoded == expected);
    TRgb lastScan;
    ASSERT_TRUE(ReferenceDecode(jpeg, lastScan, TRefMode::ScanByScan));
    EXPECT_TRUE(lastScan == decoded);
    if (grey) {
        TRgb g = source;
        const TBytes levels = Grey(source);
        for (size_t i = 0; i < levels.size(); ++i)
            g.Pixels[3 * i] = g.Pixels[3 * i + 1] = g.Pixels[3 * i + 2] = levels[i];
        EXPECT_LT(MeanDifference(decoded, g), 3.0);
    } else {
        // Sharp colour edges under 4:2:0 sampling cost ~9 on average; swapped channels ~90.
        EXPECT_LT(MeanDifference(decoded, source), 15.0);
        TRgb swapped = decoded;
        for (size_t i = 0; i < swapped.Pixels.size(); i += 3)
            std::swap(swapped.Pixels[i], swapped.Pixels[i + 2]);
        if (c.Width >= 16 && c.Height >= 16) {
            EXPECT_GT(MeanDifference(swapped, source), 30.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegEncoded,
    testing::Values(TJpegCase{"Baseline420", 64, 48, {}},
                    TJpegCase{
                        "Baseline444OddSize", 37, 23, {false, 95, JCS_RGB, JCS_YCbCr, true, 1}},
                    TJpegCase{"Progressive420", 61, 45, {true, 90}},
                    TJpegCase{"Progressive444", 40, 40, {true, 95, JCS_RGB, JCS_YCbCr, true, 1}},
                    TJpegCase{"Grey", 33, 17, {false, 90, JCS_GRAYSCALE, JCS_GRAYSCALE}},
                    TJpegCase{"ProgressiveGrey", 50, 30, {true, 90, JCS_GRAYSCALE, JCS_GRAYSCALE}},
                    TJpegCase{"StoredAsRgb", 24, 16, {false, 95, JCS_RGB, JCS_RGB}},
                    TJpegCase{"OnePixel", 1, 1, {}}, TJpegCase{"OneRow", 300, 1, {true, 90}},
                    TJpegCase{"OneColumn", 1, 70, {}}, TJpegCase{"Tall", 20, 700, {true, 80}}),
    [](const testing::TestParamInfo<TJpegCase>& i) { return std::string(i.param.Name); });

struct TCmykCase {
    const char* Name;
    J_COLOR_SPACE Stored;
    bool AdobeMarker; // files with one store inverted inks
};

class JpegCmyk : public testing::TestWithParam<TCmykCase> {};

TEST_P(JpegCmyk, GivesTheInkColours) {
    const TCmykCase& c = GetParam();
    // Patches of ink amounts (0 = none) and the colour they print.
    struct TPatch {
        std::uint8_t C, M, Y, K;
        std::uint32_t Rgb;
    };
    const TPatch patches[] = {
        {0, 0, 0, 0, 0xFFFFFF},     {255, 0, 0, 0, 0x00FFFF},   {0, 255, 0, 0, 0xFF00FF},
        {0, 0, 255, 0, 0xFFFF00},   {0, 0, 0, 255, 0x000000},   {0, 0, 0, 128, 0x7F7F7F},
        {128, 0, 128, 0, 0x7FFF7F}, {255, 255, 0, 0, 0x0000FF},
    };
    constexpr int Patch = 16;
    const int width = Patch * int(std::size(patches));
    TBytes samples;
    for (int y = 0; y < Patch; ++y)
        for (const TPatch& p : patches)
            for (int x = 0; x < Patch; ++x)
                for (std::uint8_t ink : {p.C, p.M, p.Y, p.K})
                    samples.push_back(c.AdobeMarker ? std::uint8_t(255 - ink) : ink);
    TEncodeOptions o;
    o.Input = JCS_CMYK;
    o.Stored = c.Stored;
    o.AdobeMarker = c.AdobeMarker;
    o.Quality = 100;
    TRowLog log;
    const TBytes jpeg = EncodeJpeg(width, Patch, samples, o);
    const TDecodeResult r = DecodeJpegMemory(jpeg.data(), jpeg.size(), log.Callback());
    log.Check(r);
    const TRgb decoded = FromDecoded(*r);
    for (size_t i = 0; i < std::size(patches); ++i) {
        const std::uint8_t* q = decoded.At(int(i) * Patch + Patch / 2, Patch / 2);
        const std::uint32_t want = patches[i].Rgb;
        EXPECT_NEAR(q[0], int(want >> 16), 3) << "patch " << i;
        EXPECT_NEAR(q[1], int(want >> 8 & 255), 3) << "patch " << i;
        EXPECT_NEAR(q[2], int(want & 255), 3) << "patch " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegCmyk,
                         testing::Values(TCmykCase{"PlainCmyk", JCS_CMYK, false},
                                         TCmykCase{"AdobeCmyk", JCS_CMYK, true},
                                         TCmykCase{"AdobeYcck", JCS_YCCK, true}),
                         [](const testing::TestParamInfo<TCmykCase>& i) {
                             return std::string(i.param.Name);
                         });

struct TRowsCase {
    const char* Name;
    TEncodeOptions Options;
};

class JpegRowsReady : public testing::TestWithParam<TRowsCase> {};

TEST_P(JpegRowsReady, ReportsEveryFinalRowOnceInOrder) {
    const TRgb source = TestPicture(90, 203);
    const bool grey = GetParam().Options.Input == JCS_GRAYSCALE;
    const TBytes jpeg = EncodeJpeg(source.Width, source.Height, grey ? Grey(source) : source.Pixels,
                                   GetParam().Options);
    TRowLog log;
    log.Check(DecodeJpegMemory(jpeg.data(), jpeg.size(), log.Callback()));
    EXPECT_GT(log.Calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegRowsReady,
    testing::Values(TRowsCase{"Baseline", {}}, TRowsCase{"Progressive", {true}},
                    TRowsCase{"ProgressiveGrey", {true, 90, JCS_GRAYSCALE, JCS_GRAYSCALE}}),
    [](const testing::TestParamInfo<TRowsCase>& i) { return std::string(i.param.Name); });

TEST(JpegRowsReady, SuiteFilesFromDisk) {
    for (const char* name : {"testorig.jpg", "testprog.jpg"}) {
        const QString path = TestData(QStringLiteral("libjpeg-turbo/") + name);
        REQUIRE_FILE(path);
        TRowLog log;
        log.Check(DecodeJpegFile(path, log.Callback()));
    }
}

// A cut file may decode partly, then saying it is incomplete, or fail, but must do so
// cleanly; a file that only lacks its end marker is whole.
TEST(JpegDamaged, TruncatedAtManyLengths) {
    std::vector<TBytes> files{EncodeJpeg(96, 80, TestPicture(96, 80).Pixels, {}),
                              EncodeJpeg(96, 80, TestPicture(96, 80).Pixels, {true})};
    for (const char* name : {"testorig.jpg", "testprog.jpg"})
        if (QFileInfo::exists(TestData(QStringLiteral("libjpeg-turbo/") + name)))
            files.push_back(ReadBytes(TestData(QStringLiteral("libjpeg-turbo/") + name)));
    for (const TBytes& whole : files) {
        const TRgb full = DecodeOk(whole);
        for (size_t length :
             {size_t(0), size_t(1), size_t(2), size_t(3), size_t(20), size_t(150), whole.size() / 4,
              whole.size() / 2, whole.size() * 3 / 4, whole.size() - 3}) {
            SCOPED_TRACE(length);
            const TBytes cut(whole.begin(), whole.begin() + length);
            TRowLog log;
            const TDecodeResult r = DecodeJpegMemory(cut.data(), cut.size(), log.Callback());
            ExpectConsistent(r);
            if (r.Ok()) {
                EXPECT_EQ(std::pair(r->Width(), r->Height()), std::pair(full.Width, full.Height));
                EXPECT_TRUE(r->Incomplete());
                log.Check(r);
            }
            // A progressive file cut short shows what its scans so far hold, as libjpeg would.
            TRgb partial;
            if (r.Ok() && ReferenceDecode(cut, partial, TRefMode::ScanByScan)) {
                EXPECT_TRUE(FromDecoded(*r) == partial);
            }
        }
        const TBytes noEnd(whole.begin(), whole.end() - 2);
        EXPECT_TRUE(DecodeOk(noEnd) == full);
        const TDecodeResult noEndResult = DecodeJpegMemory(noEnd.data(), noEnd.size());
        EXPECT_FALSE(noEndResult.Ok() && noEndResult->Incomplete()) << "its picture is whole";
    }
}

TEST(JpegDamaged, GarbageFails) {
    std::mt19937 random(20240601);
    for (size_t size : {1, 2, 7, 100, 5000, 100000}) {
        TBytes junk(size);
        for (auto& b : junk)
            b = std::uint8_t(random());
        junk[0] = 0x00; // whatever follows, this is no JPEG
        const TDecodeResult r = DecodeJpegMemory(junk.data(), junk.size());
        EXPECT_FALSE(r.Ok());
        ExpectConsistent(r);
        // Behind a start-of-image marker the junk reaches the marker parser.
        junk[0] = 0xFF;
        if (size > 1)
            junk[1] = 0xD8;
        ExpectConsistent(DecodeJpegMemory(junk.data(), junk.size()));
    }
    EXPECT_FALSE(DecodeJpegMemory(nullptr, 0).Ok());
}

// Flipped bytes in the entropy-coded data and in the headers. The frame size is left alone:
// sizes are the refusal tests' business, and one within the limit may rightly take 1.2 GB.
TEST(JpegDamaged, CorruptedBytes) {
    std::mt19937 random(7);
    for (bool progressive : {false, true}) {
        const TBytes whole = EncodeJpeg(64, 64, TestPicture(64, 64).Pixels, {progressive});
        const size_t sof = FindFrameHeader(whole);
        ASSERT_NE(sof, 0u);
        for (int round = 0; round < 200; ++round) {
            TBytes bad = whole;
            for (int i = 0; i < 4; ++i) {
                const size_t at = random() % bad.size();
                if (at < sof + 5 || at > sof + 8)
                    bad[at] = std::uint8_t(random());
            }
            TRowLog log;
            const TDecodeResult r = DecodeJpegMemory(bad.data(), bad.size(), log.Callback());
            ExpectConsistent(r);
            if (r.Ok()) {
                log.Check(r);
            }
        }
    }
}

TEST(JpegDamaged, BmpNamedJpgFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("picture.jpg");
    WriteBytes(path, MakeBmp({2, 2, 24, 0, {}, {}, StoredRows(2, 2, 24, false, [](int, int) {
                                  return 0x808080;
                              })}));
    const TDecodeResult r = DecodeJpegFile(path);
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Reason().empty());
}

TEST(JpegDamaged, MissingFileFails) {
    const TDecodeResult r = DecodeJpegFile(QDir::temp().filePath("no such dir/none.jpg"));
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Reason().empty());
}

// Sizes over the limit are refused from the header alone: a 60000 × 60000 picture would need
// 10.8 GB, and a decode that tried would run out of memory or fill it for minutes.
TEST(JpegLimits, HugeHeaderIsRefused) {
    const TBytes small = EncodeJpeg(16, 16, TestPicture(16, 16).Pixels, {});
    const size_t sof = FindFrameHeader(small);
    ASSERT_NE(sof, 0u);
    for (auto [w, h] : {std::pair{60000, 60000}, std::pair{20001, 20000}, std::pair{65535, 6200}}) {
        ASSERT_GT(std::int64_t(w) * h, MaxDecodePixels);
        TBytes big = small;
        big[sof + 5] = std::uint8_t(h >> 8);
        big[sof + 6] = std::uint8_t(h);
        big[sof + 7] = std::uint8_t(w >> 8);
        big[sof + 8] = std::uint8_t(w);
        TRowLog log;
        const TDecodeResult r = DecodeJpegMemory(big.data(), big.size(), log.Callback());
        EXPECT_FALSE(r.Ok());
        EXPECT_FALSE(r.Reason().empty());
        EXPECT_TRUE(log.Calls.empty());
    }
}

// --- JPEG and BMP from files with non-ASCII names
// -------------------------------------------------

TEST(DecodeFile, UnicodeNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TRgb picture = TestPicture(30, 20);
    const TBytes jpeg = EncodeJpeg(30, 20, picture.Pixels, {});
    const QString jpegPath = dir.filePath(QStringLiteral("Ünïcödé картинка.jpg"));
    WriteBytes(jpegPath, jpeg);
    const TDecodeResult j = DecodeJpegFile(jpegPath);
    ASSERT_TRUE(j.Ok()) << j.Reason();
    EXPECT_TRUE(FromDecoded(*j) == DecodeOk(jpeg));

    const TBytes bmp =
        MakeBmp({30, 20, 24, 0, {}, {}, StoredRows(30, 20, 24, false, [](int x, int y) {
                     const auto c = ColourAt(x, y);
                     return c[2] | c[1] << 8 | c[0] << 16;
                 })});
    const QString bmpPath = dir.filePath(QStringLiteral("Ünïcödé картинка.bmp"));
    WriteBytes(bmpPath, bmp);
    const TDecodeResult b = DecodeBmpFile(bmpPath);
    ASSERT_TRUE(b.Ok()) << b.Reason();
    EXPECT_TRUE(FromDecoded(*b) == DecodeBmpOk(bmp));
}

// --- JPEG read from a file in large pieces ------------------------------------------------------

// A file read through the decoder's own buffer decodes exactly as the same bytes in memory:
// whole, with markers skipped across the buffer's end, cut short anywhere, or empty.
TEST(JpegFromFile, SameAsFromMemoryWholeCutAndSkipped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TRgb picture = TestPicture(720, 530);
    const TBytes plain = EncodeJpeg(picture.Width, picture.Height, picture.Pixels, {});
    // Two application segments libjpeg skips, of the largest size a segment can have: the
    // second begins in the first 64 KB and ends in the second. They are full of end-of-image
    // markers, so that landing anywhere inside them ends the picture before it began.
    TBytes padded(plain.begin(), plain.begin() + 2);
    for (int i = 0; i < 2; ++i) {
        padded.insert(padded.end(), {0xFF, 0xEF, 0xFF, 0xFF});
        for (int k = 0; k < (0xFFFF - 2) / 2; ++k)
            padded.insert(padded.end(), {0xFF, 0xD9});
        padded.push_back(0);
    }
    padded.insert(padded.end(), plain.begin() + 2, plain.end());
    ASSERT_GT(padded.size(), 3u * 65536);

    const QString path = dir.filePath("picture.jpg");
    const auto same = [&](const TBytes& bytes) {
        WriteBytes(path, bytes);
        const TDecodeResult fromFile = DecodeJpegFile(path);
        const TDecodeResult fromMemory = DecodeJpegMemory(bytes.data(), bytes.size());
        ExpectConsistent(fromFile);
        EXPECT_EQ(fromFile.Ok(), fromMemory.Ok());
        EXPECT_EQ(fromFile.Reason(), fromMemory.Reason());
        if (fromFile.Ok() && fromMemory.Ok()) {
            EXPECT_TRUE(FromDecoded(*fromFile) == FromDecoded(*fromMemory));
        }
        return fromFile.Ok();
    };
    EXPECT_TRUE(same(plain));
    EXPECT_TRUE(same(padded));
    const std::size_t body = padded.size() - plain.size(); // where the picture's own bytes start
    for (std::size_t cut : {std::size_t(70000), body + 300, body + 20000, padded.size() / 2,
                            padded.size() - 65536, padded.size() - 2}) {
        SCOPED_TRACE(cut);
        same(TBytes(padded.begin(), padded.begin() + std::ptrdiff_t(cut)));
    }
    EXPECT_TRUE(same(TBytes(padded.begin(), padded.end() - 2))); // only the end marker missing

    WriteBytes(path, {});
    const TDecodeResult empty = DecodeJpegFile(path);
    EXPECT_FALSE(empty.Ok());
    EXPECT_FALSE(empty.Reason().empty());
}

// --- JPEG counted while it decodes, and the pages made ready on the way -------------------------

// What the row counter gathers while the rows arrive is what a recount of the finished
// picture gives, down to the sampled models, for both decoding paths. The taller picture
// wakes the counter for many rows at a time, the shorter one for every batch.
TEST(DecodeAndCount, CountsWhileDecodingEqualARecount) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (auto [width, height] : {std::pair{720, 530}, std::pair{150, 100}})
        for (bool progressive : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << width << "x" << height << " progressive " << progressive);
            const TRgb picture = TestPicture(width, height);
            const QString path = dir.filePath(QStringLiteral("%1.jpg").arg(height + progressive));
            WriteBytes(path, EncodeJpeg(width, height, picture.Pixels, {progressive}));
            const TOutcome<TLoadedImage> loaded = DecodeAndCount(PathOf(path));
            ASSERT_TRUE(loaded.Ok()) << loaded.Reason();
            const TRasterView view = loaded->Image.View();
            const TPrimaryCounts recount = CountPrimaries(view);
            EXPECT_EQ(loaded->Primaries.R(), recount.R());
            EXPECT_EQ(loaded->Primaries.G(), recount.G());
            EXPECT_EQ(loaded->Primaries.B(), recount.B());
            // L*a*b* is sampled in both; HSV only in the larger, at coarse level 6.
            const int n = CoarseLevel(width, height);
            EXPECT_NE(loaded->Primaries.Samples().Level(TSampledModel::Lab, n, width, height),
                      nullptr);
            EXPECT_EQ(loaded->Primaries.Samples().Level(TSampledModel::HSV, n, width, height) !=
                          nullptr,
                      n == 6);
            auto counted = std::make_unique<THist>(), recounted = std::make_unique<THist>();
            counted->CalcCounted(Origin, view, loaded->Primaries);
            recounted->Calc(Origin, view);
            EXPECT_EQ(counted->Data[Origin], recounted->Data[Origin]);
        }
}

// A picture's rows, all of its noise.
TRaster NoisePicture(int width, int height, unsigned seed) {
    TRaster image = TRaster::Allocate(width, height);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.Row(y);
        for (int x = 0; x < 3 * width; ++x)
            row[x] = std::uint8_t(rng());
    }
    return image;
}

// Rows handed over far faster than any decoder could: the background thread falls behind
// and Finish counts the rest on the calling thread. Whoever counted what, the counts are
// those of the whole picture.
TEST(RowCounter, RowsFasterThanTheBackgroundThreadCounts) {
    const TRaster image = NoisePicture(701, 1500, 3);
    const TRasterView view = image.View();
    for (int batch : {16, 1, 500}) {
        SCOPED_TRACE(batch);
        TRowCounter counter;
        for (int y = 0; y < image.Height(); y += batch)
            counter.Add(image, y, std::min(batch, image.Height() - y));
        const TPrimaryCounts counts = counter.Finish();
        EXPECT_TRUE(counter.Complete(image.Height()));
        const TPrimaryCounts recount = CountPrimaries(view);
        EXPECT_EQ(counts.R(), recount.R());
        EXPECT_EQ(counts.G(), recount.G());
        EXPECT_EQ(counts.B(), recount.B());
        auto counted = std::make_unique<THist>(), recounted = std::make_unique<THist>();
        ASSERT_NE(counts.Samples().Level(TSampledModel::Lab, 7, view.Width, view.Height), nullptr);
        counted->CalcCounted(Origin, view, counts);
        recounted->Calc(Origin, view);
        EXPECT_EQ(counted->Data[Origin], recounted->Data[Origin]);
    }
}

TEST(RowCounter, RowsOutOfOrderOrMissingAreNotComplete) {
    const TRaster image = NoisePicture(300, 400, 4);
    {
        TRowCounter counter;
        counter.Add(image, 0, 16);
        counter.Add(image, 32, 16); // 16..31 skipped
        counter.Add(image, 48, 352);
        counter.Finish();
        EXPECT_FALSE(counter.Complete(image.Height()));
    }
    {
        TRowCounter counter;
        counter.Add(image, 0, 200);
        counter.Finish();
        EXPECT_FALSE(counter.Complete(image.Height()));
        EXPECT_TRUE(counter.Complete(200));
    }
    {
        TRowCounter counter; // never given a row; its destructor stops its thread
    }
    {
        TRowCounter counter; // left without Finish while its thread counts
        counter.Add(image, 0, image.Height());
    }
}

// Making the pages of a fresh buffer resident never changes what is written into it, also
// while the writing goes on.
TEST(Prefault, WritesDuringAndBeforeAreKept) {
    const std::size_t size = TPrefault::MinimumSize * 3 + 12345;
    const auto pattern = [](std::size_t i) { return std::uint8_t(i * 131 + (i >> 12)); };
    std::unique_ptr<std::uint8_t[]> fresh(new std::uint8_t[size]); // untouched pages
    fresh[0] = pattern(0);
    {
        TPrefault prefault(fresh.get(), size);
        for (std::size_t i = 1; i < size; ++i)
            fresh[i] = pattern(i);
        prefault.Join();
        prefault.Join(); // a second join does nothing
    }
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < size; ++i)
        wrong += fresh[i] != pattern(i);
    EXPECT_EQ(wrong, 0u);

    // Too small to be worth a thread: nothing happens.
    std::vector<std::uint8_t> small(1000, 7);
    TPrefault(small.data(), small.size()).Join();
    EXPECT_EQ(std::count(small.begin(), small.end(), 7), 1000);
}

// A buffer let go at once (a decode refused after its first rows) is not populated to its
// end first: the populating stops at its next slice.
TEST(Prefault, StopsWhenLetGo) {
    const std::size_t size = std::size_t{1} << 30; // address space only, never written here
    std::unique_ptr<std::uint8_t[]> fresh(new (std::nothrow) std::uint8_t[size]);
    if (!fresh)
        GTEST_SKIP() << "no room for 1 GiB of address space";
    const test::TPeakMemory memory;
    { TPrefault prefault(fresh.get(), size); }
    EXPECT_LT(memory.Growth(), std::int64_t{256} << 20);
}
