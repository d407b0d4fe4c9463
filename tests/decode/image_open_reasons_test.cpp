// Why a picture cannot be opened, as a photographer reads it: every kind of failure gives a
// plain reason naming what is wrong, while the bytes, codes and library messages stay in
// the detail meant for the logs. A JPEG whose file ends early is no failure: it decodes as
// far as its data goes and says it is incomplete.
#include "decoder_test_support.h"
#include "open_reasons.h"

#include <QRegularExpression>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

TBytes Jpeg() {
    return EncodeJpeg(96, 80, TestPicture(96, 80).Pixels, {});
}

TBytes Bmp() {
    return MakeBmp({8, 8, 24, 0, {}, {}, StoredRows(8, 8, 24, false, [](int x, int y) {
                        return std::uint32_t(x * 30 << 16 | y * 30);
                    })});
}

TBytes Cut(TBytes bytes, std::size_t keep) {
    bytes.resize(keep);
    return bytes;
}

TBytes Text() {
    const std::string s = "no picture here, only words";
    return TBytes(s.begin(), s.end());
}

// A JPEG whose frame header declares width × height.
TBytes JpegSized(int width, int height) {
    TBytes b = Jpeg();
    const size_t sof = FindFrameHeader(b);
    b[sof + 5] = std::uint8_t(height >> 8);
    b[sof + 6] = std::uint8_t(height);
    b[sof + 7] = std::uint8_t(width >> 8);
    b[sof + 8] = std::uint8_t(width);
    return b;
}

TBytes JpegNoComponents() {
    TBytes b = Jpeg();
    b[FindFrameHeader(b) + 9] = 0; // the number of components
    return b;
}

// A BMP with the 32-bit fields of its header at the given places set to values.
TBytes BmpWith(std::initializer_list<std::pair<std::size_t, std::uint32_t>> fields) {
    TBytes b = Bmp();
    for (auto [at, value] : fields)
        for (int i = 0; i < 4; ++i)
            b[at + i] = std::uint8_t(value >> (8 * i));
    return b;
}

} // namespace

TEST(OpenReasons, EachKindOfFailureIsSaidPlainly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto file = [&](const char* name, const TBytes& bytes) {
        WriteBytes(dir.filePath(name), bytes);
        return dir.filePath(name);
    };
    const struct {
        const char* Kind;
        std::function<QString()> Make; // the path to open
        QStringList Words;             // each in the reason
    } rows[] = {
        {"not a JPEG", [&] { return file("words.jpg", Text()); }, {"not", "JPEG"}},
        {"a BMP named .jpg", [&] { return file("bitmap.jpg", Bmp()); }, {"not", "JPEG"}},
        {"not a BMP", [&] { return file("words.bmp", Text()); }, {"not", "BMP"}},
        {"empty JPEG", [&] { return file("empty.jpg", {}); }, {"empty"}},
        {"empty BMP", [&] { return file("empty.bmp", {}); }, {"empty"}},
        {"missing", [&] { return dir.filePath("gone.jpg"); }, {"not exist"}},
        {"below a file", [&] { return file("plain.bmp", Bmp()) + "/x.bmp"; }, {"not exist"}},
        {"BMP cut short",
         [&] { return file("cut.bmp", Cut(Bmp(), Bmp().size() - 40)); },
         {"ends early"}},
        {"JPEG cut in its header",
         [&] { return file("cuthead.jpg", Cut(Jpeg(), 150)); },
         {"ends early"}},
        {"JPEG too large",
         [&] { return file("huge.jpg", JpegSized(20001, 20000)); },
         {"larger", "400 megapixels"}},
        {"BMP too large",
         [&] {
             return file("huge.bmp", BmpWith({{18, 30000}, {22, 20000}}));
         },
         {"larger", "400 megapixels"}},
        {"JPEG header broken", [&] { return file("header.jpg", JpegNoComponents()); }, {"damaged"}},
        {"BMP header broken",
         [&] {
             return file("header.bmp", BmpWith({{14, 99}}));
         },
         {"damaged"}},
    };
    // Bytes, library names and message codes are the detail's, not the reason's.
    const QRegularExpression technical(
        QStringLiteral("0x|\\b[0-9a-f]{2} [0-9a-f]{2}\\b|libjpeg|errno|JERR|JWRN|message \\d"),
        QRegularExpression::CaseInsensitiveOption);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Kind);
        const TOutcome<TLoadedImage> r = DecodeAndCount(row.Make().toStdString());
        ASSERT_FALSE(r.Ok());
        const QString reason = QString::fromStdString(r.Reason());
        ASSERT_FALSE(reason.isEmpty());
        EXPECT_TRUE(reason[0].isUpper()) << reason.toStdString();
        for (const QString& word : row.Words)
            EXPECT_TRUE(reason.contains(word, Qt::CaseInsensitive)) << reason.toStdString();
        EXPECT_FALSE(technical.match(reason).hasMatch()) << reason.toStdString();
        if (!r.Detail().empty()) {
            EXPECT_FALSE(reason.contains(QString::fromStdString(r.Detail())));
        }
    }
}

// Two amounts in one sentence are read in one unit with the same decimals, and never read
// the same when they differ.
TEST(OpenReasons, AmountsSetAgainstEachOtherReadAlike) {
    constexpr std::int64_t Gibi = std::int64_t{1} << 30;
    const struct {
        std::int64_t First, Second;
        const char *FirstText, *SecondText;
    } cases[] = {
        {1'040'000'000, 1'000'000'000, "1.04 GB", "1.00 GB"}, // not "1.0 GB" against "1.00 GB"
        {22'300'000'000, 1'200'000'000, "22.3 GB", "1.2 GB"},
        {1'200'000'000, 1'180'000'000, "1.20 GB", "1.18 GB"},
        {1'200'000'000, 800'000'000, "1200 MB", "800 MB"}, // MB unless both reach a GB
        {800'000'000, 1'200'000'000, "800 MB", "1200 MB"},
        {72'000'000, 50'000'000, "72 MB", "50 MB"},
        {1'200'000'000, 10'000'000, "1200 MB", "10 MB"},
        {300'000, 200'000, "0.3 MB", "0.2 MB"},
        {2'000'000, 0, "2 MB", "0 MB"},
        {Gibi + 1, Gibi, "1.074 GB", "1.073 GB"}, // alike at three decimals: rounded apart
    };
    for (const auto& c : cases) {
        const TAmounts amounts = AmountsAlike(c.First, c.Second);
        EXPECT_EQ(amounts.First, c.FirstText) << c.First << " against " << c.Second;
        EXPECT_EQ(amounts.Second, c.SecondText) << c.First << " against " << c.Second;
    }
    for (const std::int64_t at : {std::int64_t{999'999}, std::int64_t{999'999'999},
                                  std::int64_t{1'000'000'000}, std::int64_t{4} * Gibi})
        for (const std::int64_t apart : {1, 499, 500, 1000, 49'999'999}) {
            const TAmounts amounts = AmountsAlike(at + apart, at);
            EXPECT_NE(amounts.First, amounts.Second) << at << " + " << apart;
        }
    // The sentences read them so.
    EXPECT_EQ(PictureOverMemoryLeft(20000, 20000, 1'040'000'000, 1'000'000'000).Reason,
              "Its 20000 \u00D7 20000 pixels need 1.04 GB of memory, and only 1.00 GB is free");
}

TEST(OpenReasons, AFileWithoutReadPermissionSaysSo) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("locked.jpg");
    WriteBytes(path, Jpeg());
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0), 0);
    const TOutcome<TLoadedImage> r = DecodeAndCount(path.toStdString());
    ASSERT_FALSE(r.Ok());
    EXPECT_NE(r.Reason().find("permission"), std::string::npos) << r.Reason();
    EXPECT_FALSE(r.Detail().empty());
}

// The rows the file holds are decoded, the rest made up; the picture says it is incomplete,
// a whole one does not.
TEST(OpenReasons, AJpegThatEndsEarlyIsShownAndMarkedIncomplete) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive);
        const TBytes whole = EncodeJpeg(96, 80, TestPicture(96, 80).Pixels, {progressive});
        const TDecodeResult full = DecodeJpegMemory(whole.data(), whole.size());
        ASSERT_TRUE(full.Ok());
        EXPECT_FALSE(full->Incomplete());
        const TBytes half = Cut(whole, whole.size() / 2);
        const TDecodeResult cut = DecodeJpegMemory(half.data(), half.size());
        ASSERT_TRUE(cut.Ok()) << cut.Reason();
        EXPECT_EQ(std::pair(cut->Width(), cut->Height()), std::pair(96, 80));
        EXPECT_TRUE(cut->Incomplete());
        if (!progressive) { // the first rows are there as a whole file has them
            const TRgb a = FromDecoded(*full), b = FromDecoded(*cut);
            EXPECT_TRUE(
                std::equal(a.Pixels.begin(), a.Pixels.begin() + 96 * 3 * 8, b.Pixels.begin()));
        }
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        WriteBytes(dir.filePath("cut.jpg"), half);
        const TOutcome<TLoadedImage> loaded = DecodeAndCount(dir.filePath("cut.jpg").toStdString());
        ASSERT_TRUE(loaded.Ok()) << loaded.Reason();
        EXPECT_TRUE(loaded->Image.Incomplete());
    }
}
