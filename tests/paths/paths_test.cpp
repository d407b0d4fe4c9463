// The pieces of a path and the names made from them: one table, every helper per row.
#include "paths.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;

namespace {

struct TPathCase {
    const char* Path;
    const char* Folder;      // FolderPart
    const char* FileName;    // FileNamePart
    const char* Ext;         // FileExtension
    const char* BaseName;    // FileBaseName
    const char* FirstExtCut; // NameBeforeFirstExtension
    const char* ExtUpper;    // FileExtUpper
    const char* WithPostFix; // AddPostFix(Path, "_histogram")
};

void PrintTo(const TPathCase& c, std::ostream* os) {
    *os << c.Path;
}

class PathPiecesTest : public testing::TestWithParam<TPathCase> {};

TEST_P(PathPiecesTest, SplitAtTheLastSeparatorAndTheLastDotOfTheName) {
    const TPathCase& c = GetParam();
    const QString path = QString::fromUtf8(c.Path);
    EXPECT_EQ(FolderPart(path), QString::fromUtf8(c.Folder));
    EXPECT_EQ(FileNamePart(path), QString::fromUtf8(c.FileName));
    EXPECT_EQ(FileExtension(path), QString::fromUtf8(c.Ext));
    EXPECT_EQ(FileBaseName(path), QString::fromUtf8(c.BaseName));
    EXPECT_EQ(NameBeforeFirstExtension(path), QString::fromUtf8(c.FirstExtCut));
    EXPECT_EQ(FileExtUpper(path), QString::fromUtf8(c.ExtUpper));
    EXPECT_EQ(AddPostFix(path, "_histogram"), QString::fromUtf8(c.WithPostFix));
    // The folder and the name make the path again.
    EXPECT_EQ(FolderPart(path) + FileNamePart(path), path);
}

const TPathCase PathCases[] = {
    {"/pics/holiday.final.jpg", "/pics/", "holiday.final.jpg", ".jpg", "holiday.final",
     "holiday.final", "JPG", "/pics/holiday.final_histogram.jpg"},
    {"/pics/holiday.jpg", "/pics/", "holiday.jpg", ".jpg", "holiday", "holiday", "JPG",
     "/pics/holiday_histogram.jpg"},
    {"/pics/IMG_0012.JPG", "/pics/", "IMG_0012.JPG", ".JPG", "IMG_0012", "IMG_0012", "JPG",
     "/pics/IMG_0012_histogram.JPG"},
    {"/pics/readme", "/pics/", "readme", "", "readme", "readme", "", "/pics/readme_histogram"},
    // a dot in the folder is no extension
    {"/pics.v2/readme", "/pics.v2/", "readme", "", "readme", "readme", "",
     "/pics.v2/readme_histogram"},
    {"/pics/picture.png", "/pics/", "picture.png", ".png", "picture", "picture", "PNG",
     "/pics/picture_histogram.png"},
    {"scan.tiff", "", "scan.tiff", ".tiff", "scan", "scan", "TIFF", "scan_histogram.tiff"},
    {"a.jpg", "", "a.jpg", ".jpg", "a", "a", "JPG", "a_histogram.jpg"},
    {"/pics/a.", "/pics/", "a.", ".", "a", "a", "", "/pics/a_histogram."},
    {"/pics/.hidden", "/pics/", ".hidden", ".hidden", "", "", "HIDDEN", "/pics/_histogram.hidden"},
    {"/pics/.profile", "/pics/", ".profile", ".profile", "", "", "PROFILE",
     "/pics/_histogram.profile"},
    {"/pics/archive.2015", "/pics/", "archive.2015", ".2015", "archive", "archive", "2015",
     "/pics/archive_histogram.2015"},
    {"/pics/", "/pics/", "", "", "", "", "", "/pics/_histogram"},
    // the two base-name rules part: the last extension only, or from where its text first occurs
    {"/pics/x.jpg.jpg", "/pics/", "x.jpg.jpg", ".jpg", "x.jpg", "x", "JPG",
     "/pics/x.jpg_histogram.jpg"},
    {"/pics/a.jpg.b.jpg", "/pics/", "a.jpg.b.jpg", ".jpg", "a.jpg.b", "a", "JPG",
     "/pics/a.jpg.b_histogram.jpg"},
    // only ASCII letters are raised
    {"/фото/ёлка.jpé", "/фото/", "ёлка.jpé", ".jpé", "ёлка", "ёлка", "JPé",
     "/фото/ёлка_histogram.jpé"},
    {"/pics/été.Bmp", "/pics/", "été.Bmp", ".Bmp", "été", "été", "BMP", "/pics/été_histogram.Bmp"},
    {"/some.folder/Ёлка 2015.BMP", "/some.folder/", "Ёлка 2015.BMP", ".BMP", "Ёлка 2015",
     "Ёлка 2015", "BMP", "/some.folder/Ёлка 2015_histogram.BMP"},
    {"", "", "", "", "", "", "", "_histogram"},
#ifdef Q_OS_WIN
    {"C:\\pics\\holiday.final.jpg", "C:\\pics\\", "holiday.final.jpg", ".jpg", "holiday.final",
     "holiday.final", "JPG", "C:\\pics\\holiday.final_histogram.jpg"},
    {"C:\\pics.v2\\readme", "C:\\pics.v2\\", "readme", "", "readme", "readme", "",
     "C:\\pics.v2\\readme_histogram"},
    {"C:\\pics\\a.jpg", "C:\\pics\\", "a.jpg", ".jpg", "a", "a", "JPG",
     "C:\\pics\\a_histogram.jpg"},
    {"C:a.jpg", "C:", "a.jpg", ".jpg", "a", "a", "JPG", "C:a_histogram.jpg"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Paths, PathPiecesTest, testing::ValuesIn(PathCases));

TEST(PathPieces, SeparatorsOfThisSystem) {
    EXPECT_TRUE(IsPathDelimiter(u'/'));
    EXPECT_FALSE(IsPathDelimiter(u'.'));
    EXPECT_FALSE(IsPathDelimiter(u'a'));
#ifdef Q_OS_WIN
    EXPECT_TRUE(IsPathDelimiter(u'\\'));
    EXPECT_TRUE(IsPathDelimiter(u':'));
#else
    // a backslash and a colon are ordinary characters of a name
    EXPECT_FALSE(IsPathDelimiter(u'\\'));
    EXPECT_FALSE(IsPathDelimiter(u':'));
    EXPECT_EQ(FileNamePart("/pics/C:a\\b.jpg"), "C:a\\b.jpg");
#endif
}

TEST(PathPieces, SaveProposalDropsTheImageExtensionFirst) {
    // The histogram's proposed name: the postfix goes before what is left of the name.
    EXPECT_EQ(AddPostFix(FileBaseName("/pics/IMG_0012.JPG"), "_histogram"), "IMG_0012_histogram");
    EXPECT_EQ(AddPostFix(FileBaseName("/pics/a.b.jpg"), "_histogram"), "a_histogram.b");
}

} // namespace
