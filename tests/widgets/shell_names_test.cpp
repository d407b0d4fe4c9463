// The product's names, the title and size texts, the open dialog's filter and the message box.
#include "appmessagebox.h"
#include "image_format.h"
#include "names.h"

#include "ufiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>

#include "executable_text.h"
#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;

namespace {

// The message box needs an application object; everything else here runs without one.
TONALYX_QT_TEST_ENVIRONMENT(QApplication);

// ---------------------------------------------------------------- names of the product

TEST(ProductNames, DisplayNameIsMakerBlankProduct) {
    EXPECT_EQ(ProductName(), "Tonalyx");
    EXPECT_FALSE(MakerName().isEmpty());
    EXPECT_EQ(DisplayName(), MakerName() + " Tonalyx");
}

TEST(ProductNames, MakerNameIsNotStoredInPlainText) {
    const std::optional<bool> held = test::ExecutableHoldsText(MakerName());
    ASSERT_TRUE(held.has_value()) << "the test executable cannot be read back";
    EXPECT_FALSE(*held);
}

// ---------------------------------------------------------------- title and size texts

TPictureSource FileSource(const char* path) {
    return TPictureSource::File(path, {});
}

TEST(AppTitle, FileImageShowsItsBaseName) {
    const TAppTitle t = AppTitleText(FileSource("/pics/holiday.jpg"), {});
    EXPECT_EQ(t.Caption, DisplayName());
    EXPECT_EQ(t.DocumentName, "holiday");
    EXPECT_EQ(t.AppTitle, "holiday - Tonalyx");
}

TEST(AppTitle, NameWithSeveralDotsLosesOnlyItsExtension) {
    EXPECT_EQ(AppTitleText(FileSource("/pics/holiday.final.jpg"), {}).AppTitle,
              "holiday.final - Tonalyx");
}

TEST(AppTitle, PastedImageShowsItsNameUncut) {
    const TAppTitle t = AppTitleText(TPictureSource::Clipboard(), "holiday");
    EXPECT_EQ(t.DocumentName, PastedImageName());
    EXPECT_EQ(t.AppTitle, PastedImageName() + " - Tonalyx");
}

TEST(AppTitle, NoImageKeepsTheEarlierDocumentName) {
    const TAppTitle before = AppTitleText(TPictureSource(), {});
    EXPECT_EQ(before.Caption, DisplayName());
    EXPECT_TRUE(before.DocumentName.isEmpty());
    EXPECT_EQ(before.AppTitle, "Tonalyx");

    const TAppTitle kept = AppTitleText(TPictureSource(), "holiday");
    EXPECT_EQ(kept.DocumentName, "holiday");
    EXPECT_EQ(kept.AppTitle, "holiday - Tonalyx");
}

TEST(AppTitle, UnacceptedFileNeverReachesTheTitle) {
    // archive.2015 is refused before it is opened, so sCurrFile never names it.
    EXPECT_FALSE(TFiles::IsAcceptedImageName("/pics/archive.2015"));
}

TEST(ImageSize, WidthByHeight) {
    EXPECT_EQ(ImageSizeText(QSize(1920, 1080)), "1920 x 1080");
    EXPECT_EQ(ImageSizeText(QSize(1, 65535)), "1 x 65535");
    EXPECT_EQ(ImageSizeText(QImage(7, 3, QImage::Format_BGR888).size()), "7 x 3");
}

// ---------------------------------------------------------------- message box

// The open dialog matches its patterns case-sensitively on Linux.
TEST(OpenImageFilter, MatchesAcceptedExtensionsInAnyCase) {
    const QString filter = OpenImageFilter();
    ASSERT_TRUE(filter.startsWith(QString::fromStdString(ImageFormatNames(" & ")) + " Image ("));
    const QStringList patterns = filter.section('(', 1).chopped(1).split(' ', Qt::SkipEmptyParts);
    const auto matches = [&](const QString& name) {
        for (const QString& p : patterns)
            if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p))
                    .match(name)
                    .hasMatch())
                return true;
        return false;
    };
    for (const char* name : {"IMG_0001.JPG", "a.jpg", "b.Jpeg", "c.JFIF", "d.jpe", "e.BMP", "f.bMp",
                             "g.TIF", "h.tiff"})
        EXPECT_TRUE(matches(name)) << name;
    for (const char* name : {"x.gif", "y.jpgx", "z.jp", "README", "bmp"})
        EXPECT_FALSE(matches(name)) << name;
}

TEST(AppMessageBox, EmptyTextShowsNothing) {
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            shown = true;
            w->close();
        }
    });
    EXPECT_EQ(AppMessageBox({}, QMessageBox::Warning, QMessageBox::Ok), QMessageBox::NoButton);
    EXPECT_EQ(int(AppMessageBox({}, QMessageBox::Information, QMessageBox::Ok)), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(shown);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

struct TBoxCase {
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Press;
};

class AppMessageBoxTest : public testing::TestWithParam<TBoxCase> {};

TEST_P(AppMessageBoxTest, CaptionedDisplayNameAndReturnsThePressedButton) {
    const TBoxCase& c = GetParam();
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool hadParent = true;
    // Runs inside the box's own event loop: read the box, then press the button.
    QTimer::singleShot(0, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        hadParent = box->parentWidget() != nullptr;
        box->button(c.Press)->click();
    });
    const QMessageBox::StandardButton pressed =
        AppMessageBox("Format TIFF not supported.", c.Icon, c.Buttons);
    EXPECT_EQ(pressed, c.Press);
    EXPECT_EQ(title, DisplayName());
    EXPECT_EQ(text, "Format TIFF not supported.");
    EXPECT_EQ(icon, c.Icon);
    EXPECT_EQ(buttons, c.Buttons);
    EXPECT_FALSE(hadParent);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, AppMessageBoxTest,
    testing::Values(TBoxCase{QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok},
                    TBoxCase{QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel,
                             QMessageBox::Ok},
                    TBoxCase{QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel,
                             QMessageBox::Cancel}));

} // namespace
