// The small rules the main window wires: which dropped or command-line file it opens or
// refuses and why, the name Save proposes and the key preview.
#include "file_requests.h"
#include "image_format.h"
#include "key_preview.h"
#include "ufiles.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

QList<QUrl> Files(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    return urls;
}

} // namespace

TEST(DroppedFiles, TheFirstFileOpensWhenItIsAJpegOrBmp) {
    const auto notAPicture = [](const char* name) {
        return QString("Cannot open %1: not a %2 file")
            .arg(name, QString::fromStdString(ImageFormatNames(" or ")));
    };
    const struct {
        QList<QUrl> Dropped;
        TFileRequest Expected;
    } rows[] = {
        {Files({"/pics/b.jpg", "/pics/a.bmp"}), {"/pics/b.jpg", ""}},
        {Files({"/pics/SCAN.JPEG"}), {"/pics/SCAN.JPEG", ""}},
        {Files({"/pics/old.Bmp"}), {"/pics/old.Bmp", ""}},
        {Files({"/pics/notes.txt", "/pics/a.bmp"}), {"", notAPicture("notes.txt")}},
        {Files({"/pics/noextension"}), {"", notAPicture("noextension")}},
        {{QUrl("https://pictures.invalid/a.jpg")}, {"", "Only image files can be dropped here"}},
        {{}, {"", "Only image files can be dropped here"}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(DroppedFileRequest(r.Dropped), r.Expected)
            << (r.Dropped.isEmpty() ? "nothing" : r.Dropped.first().toString().toStdString());
}

TEST(CommandLineFiles, TheFirstArgumentOpensOrItsFormatIsNamed) {
    const struct {
        QStringList Arguments;
        TFileRequest Expected;
    } rows[] = {
        {{}, {"", ""}},
        {{"/pics/a.bmp", "/pics/ignored.jpg"}, {"/pics/a.bmp", ""}},
        {{"photo.jpe"}, {"photo.jpe", ""}},
        {{"photo.JFIF"}, {"photo.JFIF", ""}},
        {{"scan.tiff", "/pics/a.bmp"}, {"scan.tiff", ""}},
        {{"picture.gif"}, {"", "Format GIF not supported."}},
        {{"README"}, {"", "Format  not supported."}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CommandLineRequest(r.Arguments), r.Expected)
            << r.Arguments.join(' ').toStdString();
}

TEST(HistSaveTarget, TheImagesNameWithoutItsExtensionAndAPostfixInItsFolder) {
    const struct {
        const char* CurrentFile;
        THistSaveTarget Expected;
    } rows[] = {
        {"/pics/photo.jpg", {"photo_histogram", "/pics/"}},
        {"/pics/IMG_0001.JPG", {"IMG_0001_histogram", "/pics/"}},
        {"photo.bmp", {"photo_histogram", ""}},
        // The postfix goes before what is left of an extension once one is taken off.
        {"/pics/x.jpg.jpg", {"x_histogram.jpg", "/pics/"}},
        {"/pics/holiday.final.jpg", {"holiday_histogram.final", "/pics/"}},
        {"", {"_histogram", ""}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(HistSaveTarget(r.CurrentFile), r.Expected) << r.CurrentFile;
    EXPECT_EQ(HistSaveTarget({}, true), (THistSaveTarget{PastedImageName() + "_histogram", ""}));
}

TEST(KeyPreview, TheWindowSeesEachKeyOnceBeforeTheFocusedControlWhichStillGetsIt) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(edit);
    QWidget other;
    QList<int> seen;
    TKeyPreview preview(window, [&](int key) { seen << key; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();

    QTest::keyClick(edit, Qt::Key_A);
    QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
    // The modifier is a key press of its own.
    EXPECT_EQ(seen, QList<int>({Qt::Key_A, Qt::Key_Shift, Qt::Key_Right}));
    EXPECT_EQ(edit->text(), "a");

    QTest::keyClick(&other, Qt::Key_Left); // another window's key
    EXPECT_EQ(seen.size(), 3);
    preview.Stop();
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_EQ(seen.size(), 3);
    EXPECT_EQ(edit->text(), "ab");
}
