// Folder navigation: the accepted extensions and stepping through real folders.
#include "ufiles.h"

#include "paths.h"

#include "executable_text.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;

namespace {

// ---------------------------------------------------------------- FileFormat

struct TFormatCase {
    const char* Name;
    bool Jpg;
    bool Bmp;
};

void PrintTo(const TFormatCase& c, std::ostream* os) {
    *os << c.Name;
}

class FileFormatTest : public testing::TestWithParam<TFormatCase> {};

TEST_P(FileFormatTest, ExtensionDecidesTheType) {
    const TFormatCase& c = GetParam();
    const QString fn = QString::fromUtf8(c.Name);
    EXPECT_EQ(TFiles::FileFormat(fn, "JPEG"), c.Jpg);
    EXPECT_EQ(TFiles::FileFormat(fn, "BMP"), c.Bmp);
    EXPECT_EQ(TFiles::IsAcceptedImageName(fn), c.Jpg || c.Bmp);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileFormatTest,
    testing::Values(
        TFormatCase{"/pics/a.jpg", true, false}, TFormatCase{"/pics/a.jpeg", true, false},
        TFormatCase{"/pics/a.jfif", true, false}, TFormatCase{"/pics/a.jpe", true, false},
        TFormatCase{"/pics/a.bmp", false, true},
        // case is ignored
        TFormatCase{"/pics/B.JPG", true, false}, TFormatCase{"/pics/x.JPEG", true, false},
        TFormatCase{"/pics/x.JpE", true, false}, TFormatCase{"/pics/c.BMP", false, true},
        // only the last dot of the file name counts
        TFormatCase{"/pics/a.bmp.jpg", true, false}, TFormatCase{"/pics/a.jpg.txt", false, false},
        TFormatCase{"/pics.jpg/readme", false, false}, TFormatCase{"/pics.jpg/", false, false},
        // unaccepted or missing extensions
        TFormatCase{"/pics/a.gif", false, false}, TFormatCase{"/pics/archive.2015", false, false},
        TFormatCase{"/pics/a.jpgx", false, false}, TFormatCase{"/pics/a.jp", false, false},
        TFormatCase{"/pics/noext", false, false}, TFormatCase{"/pics/a.", false, false},
        TFormatCase{"", false, false},
        // a name that is nothing but an extension is still that extension
        TFormatCase{"/pics/.jpg", true, false},
        // non-Latin names
        TFormatCase{"/фото/Ёлка.JPG", true, false}, TFormatCase{"/pics/été 2.Bmp", false, true}));

TEST(FileFormat, TableHoldsItsExtensionsInOrder) {
    std::vector<std::pair<std::string, std::string>> listed; // format, extension
    for (const TImageFormat& format : ImageFormats())
        for (const std::string& ext : format.Extensions)
            listed.emplace_back(format.Name, ext);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"JPEG", ".jpg"},  {"JPEG", ".jpeg"},  {"JPEG", ".jfif"}, {"JPEG", ".jpe"},
        {"BMP", ".bmp"},   {"PNG", ".png"},    {"TIFF", ".tif"},  {"TIFF", ".tiff"},
        {"WebP", ".webp"}, {"HEIF", ".heic"},  {"HEIF", ".heif"}, {"HEIF", ".hif"},
        {"AVIF", ".avif"}, {"JPEG XL", ".jxl"}};
    for (const char* raw :
         {".dng", ".nef", ".nrw", ".cr2", ".cr3", ".crw", ".arw", ".srf", ".sr2", ".raf", ".orf",
          ".rw2", ".pef", ".srw", ".3fr", ".iiq", ".erf", ".mef", ".mos", ".kdc", ".dcr", ".rwl"})
        expected.emplace_back("camera raw", raw);
    EXPECT_EQ(listed, expected);
}

// ---------------------------------------------------------------- the pasted picture's name

TEST(PastedImageName, IsNoImageFileName) {
    const QString name = PastedImageName();
    EXPECT_FALSE(name.isEmpty());
    // Nothing that was opened or stepped to can carry this name.
    EXPECT_FALSE(TFiles::IsAcceptedImageName(name));
    EXPECT_EQ(name, PastedImageName());
}

TEST(PastedImageName, IsNotStoredInPlainText) {
    const std::optional<bool> held = test::ExecutableHoldsText(PastedImageName());
    if (!held)
        GTEST_SKIP() << "the test executable cannot be read back";
    EXPECT_FALSE(*held);
}

// ---------------------------------------------------------------- navigation

// A scratch folder with helpers to fill it and walk it.
class FolderTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Tmp.isValid()); }

    QString Dir(const QString& sub = {}) const {
        return sub.isEmpty() ? Tmp.path() + u'/' : Tmp.path() + u'/' + sub + u'/';
    }
    static void Touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write("x");
    }
    void Files(const QStringList& names, const QString& sub = {}) {
        if (!sub.isEmpty()) {
            ASSERT_TRUE(QDir(Tmp.path()).mkpath(sub));
        }
        for (const QString& n : names)
            Touch(Dir(sub) + n);
    }
    // The names met stepping with Next from `start` until Next fails.
    static QStringList WalkNext(TFiles& f, const QString& start) {
        f.sCurrFile = start;
        QStringList seen{FileNamePart(start)};
        while (f.GetNeighbor(TNeighbor::nNext))
            seen << FileNamePart(f.sCurrFile);
        return seen;
    }
    static QStringList WalkPrev(TFiles& f, const QString& start) {
        f.sCurrFile = start;
        QStringList seen{FileNamePart(start)};
        while (f.GetNeighbor(TNeighbor::nPrev))
            seen << FileNamePart(f.sCurrFile);
        return seen;
    }

    QTemporaryDir Tmp;
    TFiles Nav{QLocale(QLocale::English, QLocale::UnitedStates)};
};

TEST_F(FolderTest, StepsInCaseInsensitiveOrderWithoutWrapping) {
    Files({"a.jpg", "B.JPG", "c.bmp", "notes.txt", "d.gif"});
    TFiles& f = Nav;
    f.sCurrFile = Dir() + "a.jpg";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "B.JPG");
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "c.bmp");
    // the last one: Next fails and nothing moves
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "c.bmp");
    // and back to the first, where Previous fails
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nPrev));
    EXPECT_EQ(f.sCurrFile, Dir() + "B.JPG");
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nPrev));
    EXPECT_EQ(f.sCurrFile, Dir() + "a.jpg");
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nPrev));
    EXPECT_EQ(f.sCurrFile, Dir() + "a.jpg");
}

TEST_F(FolderTest, SingleImageHasNoNeighbours) {
    Files({"only.jpg", "other.txt"});
    TFiles& f = Nav;
    f.sCurrFile = Dir() + "only.jpg";
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nPrev));
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "only.jpg");
}

TEST_F(FolderTest, EveryAcceptedExtensionInAnyCaseIsListed) {
    Files({"1.jpg", "2.JPEG", "3.Jfif", "4.JPE", "5.BMP", "6.gif", "7.jpg.txt", "8"});
    EXPECT_EQ(WalkNext(Nav, Dir() + "1.jpg"),
              QStringList({"1.jpg", "2.JPEG", "3.Jfif", "4.JPE", "5.BMP"}));
}

TEST_F(FolderTest, HiddenImageFileIsPartOfTheOrder) {
    Files({"a.jpg", "z.jpg"});
#ifdef Q_OS_WIN
    Files({"m.jpg"});
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(Dir() + "m.jpg").utf16()),
                       FILE_ATTRIBUTE_HIDDEN);
    const QString hidden = "m.jpg";
#else
    Files({".m.jpg"});
    const QString hidden = ".m.jpg";
#endif
    // Wherever the hidden name sorts, the whole folder is one walk from its first name.
    const QString first = WalkPrev(Nav, Dir() + "a.jpg").last();
    const QStringList walk = WalkNext(Nav, Dir() + first);
    EXPECT_EQ(walk.size(), 3) << walk.join(", ").toStdString();
    EXPECT_TRUE(walk.contains(hidden)) << walk.join(", ").toStdString();
}

TEST_F(FolderTest, SubfolderNamedLikeAnImageIsSteppedOntoAndPast) {
    Files({"a.jpg", "z.jpg"});
    ASSERT_TRUE(QDir(Tmp.path()).mkdir("holiday.jpg"));
    TFiles& f = Nav;
    f.sCurrFile = Dir() + "a.jpg";
    // Stepping onto the folder succeeds here; loading it is what fails (and beeps).
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "holiday.jpg");
    EXPECT_TRUE(QFileInfo(f.sCurrFile).isDir());
    // The next step carries on from the folder.
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "z.jpg");
}

TEST_F(FolderTest, FolderIsReadOnlyOnChangeOfFolder) {
    Files({"a.jpg", "b.jpg"});
    Files({"x.jpg", "y.jpg"}, "other");
    TFiles& f = Nav;
    f.sCurrFile = Dir() + "a.jpg";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext)); // the first step reads the folder
    ASSERT_EQ(f.sCurrFile, Dir() + "b.jpg");

    Files({"c.jpg"}); // copied in after the first step
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext)) << "the new file is not noticed yet";

    // Viewing an image of another folder alone reads nothing ...
    f.sCurrFile = Dir("other") + "x.jpg";
    f.sCurrFile = Dir() + "b.jpg";
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext));

    // ... a step there reads that folder, and coming back reads this one afresh.
    f.sCurrFile = Dir("other") + "x.jpg";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir("other") + "y.jpg");
    f.sCurrFile = Dir() + "b.jpg";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "c.jpg");
}

// NeighborPaths says where a step would go without moving or keeping a listing: before
// the first step the step still reads the folder as it is then.
TEST_F(FolderTest, NeighbourPathsChangeNothing) {
    Files({"a.jpg", "b.jpg", "c.jpg"});
    TFiles& f = Nav;
    EXPECT_TRUE(f.NeighborPaths().isEmpty()); // no image yet
    f.sCurrFile = Dir() + "b.jpg";
    EXPECT_EQ(f.NeighborPaths(), QStringList({Dir() + "c.jpg", Dir() + "a.jpg"}));
    Files({"b2.jpg"});
    EXPECT_EQ(f.NeighborPaths(), QStringList({Dir() + "b2.jpg", Dir() + "a.jpg"}));
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext)); // reads the folder now
    EXPECT_EQ(f.sCurrFile, Dir() + "b2.jpg");
    Files({"b3.jpg"}); // after the first step: unnoticed, by both
    EXPECT_EQ(f.NeighborPaths(), QStringList({Dir() + "c.jpg", Dir() + "b.jpg"}));
    EXPECT_EQ(f.sCurrFile, Dir() + "b2.jpg");
    f.sCurrFile = Dir() + "c.jpg";
    EXPECT_EQ(f.NeighborPaths(), QStringList({Dir() + "b2.jpg"})); // the last one
    f.sCurrFile.clear();                                           // a pasted picture is shown
    EXPECT_TRUE(f.NeighborPaths().isEmpty());
}

TEST_F(FolderTest, RemovedFileIsStillSteppedToUntilTheFolderIsReadAgain) {
    Files({"a.jpg", "b.jpg", "c.jpg"});
    TFiles& f = Nav;
    f.sCurrFile = Dir() + "a.jpg";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nPrev));
    ASSERT_TRUE(QFile::remove(Dir() + "b.jpg"));
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "b.jpg"); // its load fails; the next step goes on from here
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "c.jpg");
}

TEST_F(FolderTest, NoStepWithoutAFileImage) {
    Files({"a.jpg", "b.jpg"});
    TFiles& f = Nav;
    EXPECT_TRUE(f.sCurrFile.isEmpty());
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nPrev));
    EXPECT_TRUE(f.sCurrFile.isEmpty());

    // After a paste nothing steps, although the earlier file's folder is still listed.
    f.sCurrFile = Dir() + "a.jpg";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    f.sCurrFile.clear(); // a pasted picture is shown
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nPrev));
    EXPECT_TRUE(f.sCurrFile.isEmpty());
}

TEST_F(FolderTest, CurrentNameMissingFromTheListGoesNowhere) {
    Files({"a.jpg", "b.jpg", "c.gif"});
    TFiles& f = Nav;
    for (const char* n : {"gone.jpg", "c.gif"}) {
        f.sCurrFile = Dir() + n;
        EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext)) << n;
        EXPECT_FALSE(f.GetNeighbor(TNeighbor::nPrev)) << n;
        EXPECT_EQ(f.sCurrFile, Dir() + n);
    }
}

TEST_F(FolderTest, UnreadableFolderGoesNowhere) {
    TFiles& f = Nav;
    f.sCurrFile = Dir("does-not-exist") + "a.jpg";
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_FALSE(f.GetNeighbor(TNeighbor::nPrev));
}

TEST_F(FolderTest, NameWrittenInAnotherCaseIsFoundInTheList) {
    // A path may reach sCurrFile in another case than on disk (a cache hit on a
    // case-insensitive file system); the step still starts from that file.
    Files({"a.jpg", "b.jpg", "c.jpg"});
    TFiles& f = Nav;
    f.sCurrFile = Dir() + "B.JPG";
    ASSERT_TRUE(f.GetNeighbor(TNeighbor::nNext));
    EXPECT_EQ(f.sCurrFile, Dir() + "c.jpg");
}

TEST_F(FolderTest, NamesDifferingOnlyInCaseAreBothListed) {
    Files({"a.jpg", "photo.jpg", "z.jpg"});
    if (QFile::exists(Dir() + "PHOTO.JPG"))
        GTEST_SKIP() << "the file system ignores case";
    Files({"PHOTO.JPG"});
    const QStringList walk = WalkNext(Nav, Dir() + "a.jpg");
    ASSERT_EQ(walk.size(), 4) << walk.join(", ").toStdString();
    EXPECT_TRUE(walk.contains("photo.jpg"));
    EXPECT_TRUE(walk.contains("PHOTO.JPG"));
    // Stepping back passes both as well.
    EXPECT_EQ(WalkPrev(Nav, Dir() + "z.jpg").size(), 4);
}

TEST_F(FolderTest, RelativePathStepsInTheCurrentFolder) {
    Files({"a.jpg", "b.jpg"});
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Tmp.path()));
    TFiles f;
    f.sCurrFile = "a.jpg";
    const bool moved = f.GetNeighbor(TNeighbor::nNext);
    const QString now = f.sCurrFile;
    QDir::setCurrent(saved);
    EXPECT_TRUE(moved);
    EXPECT_EQ(now, "b.jpg");
}

// Names with accents, Cyrillic letters and spaces, ordered by the locale's collation.
struct TOrderCase {
    const char* Locale;
    std::vector<const char*> Expected; // the walk from the first name
};

void PrintTo(const TOrderCase& c, std::ostream* os) {
    *os << c.Locale;
}

class CollationOrderTest : public testing::TestWithParam<TOrderCase> {};

TEST_P(CollationOrderTest, WalkFollowsTheCollation) {
    const TOrderCase& c = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QStringList expected;
    for (const char* n : c.Expected)
        expected << QString::fromUtf8(n);
    // create them in reverse so the folder's own order does not help
    for (auto it = expected.crbegin(); it != expected.crend(); ++it) {
        QFile f(tmp.path() + u'/' + *it);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << it->toStdString();
    }
    TFiles files{QLocale(QString::fromUtf8(c.Locale))};
    const QString dir = tmp.path() + u'/';

    files.sCurrFile = dir + expected.first();
    QStringList forward{expected.first()};
    while (files.GetNeighbor(TNeighbor::nNext))
        forward << FileNamePart(files.sCurrFile);
    EXPECT_EQ(forward, expected);

    QStringList backward{expected.last()};
    files.sCurrFile = dir + expected.last();
    while (files.GetNeighbor(TNeighbor::nPrev))
        backward.prepend(FileNamePart(files.sCurrFile));
    EXPECT_EQ(backward, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, CollationOrderTest,
    testing::Values(
        // accented letters sort with their base letter, not after 'z'
        TOrderCase{"fr_FR", {"apple.jpg", "eta.jpg", "Été.jpg", "zèbre.bmp"}},
        // Cyrillic by the alphabet, whatever the case; ё stands between е and ж
        TOrderCase{"ru_RU", {"акула.jpg", "Вишня.jpg", "Ёлка.JPG", "жук.bmp", "Яблоко.jpeg"}},
        // spaces are ordinary characters of the name
        TOrderCase{"en_US",
                   {"holiday 1.jpg", "Holiday 2.jpg", "holiday final.jpg", "HOLIDAYS.jpg"}}),
    [](const testing::TestParamInfo<TOrderCase>& p) { return std::string(p.param.Locale); });

} // namespace
