// The one table of image formats: a made-up format added here alone, with a stub decoder, is
// listed by the folder scan, the open dialog's filter and the tools' help, and decoded by the
// tools and the window's decode; and the desktop entry and the metainfo, as installed, list
// the table's MIME types.
#include "counts_command.h"
#include "image_format.h"
#include "image_loader.h"
#include "names.h"
#include "qt_raster.h"
#include "streamed_count.h"
#include "ufiles.h"

#include "output_capture.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace tonalyx;

namespace {

// A format no program reads, added for each test: its stub decoder counts its calls and reads
// the file as a BMP, so that what it decodes can be checked against the same file as a BMP.
class MadeUpFormat : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        QImage picture(40, 30, QImage::Format_RGB888);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
        ASSERT_TRUE(picture.save(In("picture.bmp"), "BMP"));
        ASSERT_TRUE(QFile::copy(In("picture.bmp"), In("picture.TNX")));
    }
    QString In(const char* name) const { return Dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir Dir;
    int Calls = 0;
    const TAddedImageFormat Added{{"TNX",
                                   {".tnx", ".tonal"},
                                   {"image/x-tonalyx-test"},
                                   [this](const std::filesystem::path& path, TRowTarget& target) {
                                       ++Calls;
                                       return StreamBmpFile(path, target);
                                   },
                                   TRowCounting::WhenWhole}};
};

} // namespace

TEST_F(MadeUpFormat, IsListedByTheFolderScanTheOpenDialogAndTheHelp) {
    for (const char* name : {"a.jpg", "b.TNX", "c.tonal", "d.gif", "e.bmp"}) {
        QFile file(In(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name;
    }
    TFiles files(QLocale::c());
    files.sCurrFile = In("a.jpg");
    EXPECT_EQ(files.NeighborPaths(), QStringList({In("b.TNX")}));
    for (const char* next : {"b.TNX", "c.tonal", "e.bmp"}) {
        ASSERT_TRUE(files.GetNeighbor(TNeighbor::nNext)) << next;
        EXPECT_EQ(files.sCurrFile, In(next));
    }
    EXPECT_TRUE(TFiles::FileFormat(In("b.TNX"), "TNX"));
    EXPECT_FALSE(TFiles::FileFormat(In("b.TNX"), "JPEG"));

    // The made-up format comes last, after every format of the table.
    const QString names = QString::fromStdString(ImageFormatNames(" & "));
    EXPECT_TRUE(names.startsWith("JPEG, BMP") && names.endsWith(" & TNX")) << names.toStdString();
    const QString filter = OpenImageFilter();
    EXPECT_TRUE(filter.startsWith(names + " Image (*.[jJ][pP][gG] ")) << filter.toStdString();
    EXPECT_TRUE(filter.contains(" *.[bB][mM][pP] ")) << filter.toStdString();
    EXPECT_TRUE(filter.endsWith(" *.[tT][nN][xX] *.[tT][oO][nN][aA][lL])")) << filter.toStdString();

    const test::TCapturedRun help = test::CaptureOutput([](std::FILE* out, std::FILE* err) {
        TCountsOptions options;
        int status = -1;
        ParseCountsArguments({"counts", "--help"}, options, status, out, err);
        return status;
    });
    const QString listed = QString::fromStdString(ImageFormatNames(" or "));
    EXPECT_TRUE(listed.endsWith(" or TNX"));
    EXPECT_TRUE(help.Out.contains("Decodes each " + listed + " image")) << help.Out.toStdString();
}

TEST_F(MadeUpFormat, IsDecodedThroughItsStubByTheToolsAndTheWindow) {
    TCountsOptions options;
    options.Images = {In("picture.bmp").toStdString(), In("picture.TNX").toStdString()};
    const test::TCapturedRun counted = test::CaptureOutput(
        [&](std::FILE* out, std::FILE* err) { return RunCounts(options, out, err); });
    EXPECT_EQ(counted.Status, 0) << counted.Err.toStdString();
    EXPECT_GE(Calls, 1);
    const QStringList lines = counted.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(QString(lines[1]).replace("picture.TNX", "picture.bmp"), lines[0]);

    // The tools' band counter, with a region, and the window's decode that counts as it goes.
    Calls = 0;
    TPictureSize size;
    EXPECT_TRUE(
        StreamAndCount(PathOf(In("picture.TNX")), TRegion{2, 3, 10, 10}, nullptr, &size).Ok());
    EXPECT_EQ(size, (TPictureSize{40, 30}));
    TOutcome<TLoadedImage> viaStub = DecodeAndCount(PathOf(In("picture.TNX")));
    TOutcome<TLoadedImage> asBmp = DecodeAndCount(PathOf(In("picture.bmp")));
    ASSERT_TRUE(viaStub.Ok()) << viaStub.Reason();
    ASSERT_TRUE(asBmp.Ok()) << asBmp.Reason();
    EXPECT_GE(Calls, 2);
    EXPECT_EQ(ToQImage(std::move(viaStub->Image)), ToQImage(std::move(asBmp->Image)));
}

TEST(ImageFormatTable, IsAsBeforeOnceAnAddedFormatIsGone) {
    const std::string names = ImageFormatNames(" or ");
    const QString filter = OpenImageFilter();
    {
        const TAddedImageFormat added({"TNX", {".tnx"}, {}, {}, TRowCounting::WhenWhole});
        EXPECT_TRUE(TFiles::IsAcceptedImageName("/pics/a.tnx"));
        EXPECT_TRUE(ImageFormatNames(" or ").ends_with(" or TNX"));
    }
    EXPECT_FALSE(TFiles::IsAcceptedImageName("/pics/a.tnx"));
    EXPECT_EQ(ImageFormatNames(" or "), names);
    EXPECT_EQ(OpenImageFilter(), filter);
    const TOutcome<TStreamedCounts> refused = StreamAndCount("/pics/a.tnx");
    EXPECT_EQ(refused.Reason(), "format .tnx not supported");
}

// A format's MIME types are listed where the desktop learns what the program opens; these
// files are installed as they are here.
TEST(ImageFormatTable, DesktopEntryAndMetainfoListItsMimeTypes) {
    QStringList table;
    for (const TImageFormat& format : ImageFormats())
        for (const std::string& mime : format.MimeTypes)
            table << QString::fromStdString(mime);

    QFile desktop(TONALYX_DESKTOP_ENTRY);
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpressionMatch line =
        QRegularExpression("^MimeType=(.*)$", QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(desktop.readAll()));
    ASSERT_TRUE(line.hasMatch());
    EXPECT_EQ(line.captured(1).split(';', Qt::SkipEmptyParts), table);
    EXPECT_TRUE(line.captured(1).endsWith(';')); // as the desktop entry's lists end

    QFile metainfo(TONALYX_METAINFO);
    ASSERT_TRUE(metainfo.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList mediaTypes;
    auto media = QRegularExpression("<mediatype>([^<]*)</mediatype>")
                     .globalMatch(QString::fromUtf8(metainfo.readAll()));
    while (media.hasNext())
        mediaTypes << media.next().captured(1);
    EXPECT_EQ(mediaTypes, table);
}
