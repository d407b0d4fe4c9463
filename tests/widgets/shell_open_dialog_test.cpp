// The open dialog: where it starts, the folder it remembers across runs, the preview of the
// selected picture with its size (or why memory refuses it), which neither hostile files nor
// a signal can make the dialog wait for, and the open command that runs it.
#include "app_core.h"
#include "commands.h"
#include "main_window.h"
#include "names.h"
#include "open_dialog.h"
#include "open_folder.h"
#include "open_image_dialog.h"
#include "quit_requests.h"
#include "settings_location.h"
#include "ufiles.h"

#include "colour_fixture.h"
#include "declared_huge.h"
#include "hostile_jpeg.h"
#include "jpeg_encoder.h"
#include "peak_memory.h"
#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

QImage Picture(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    return img;
}

class OpenDialog : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("photos")));
        ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("scans")));
        ASSERT_TRUE(Picture(640, 427).save(Path("photos/beach.jpg"), "JPG"));
        ASSERT_TRUE(Picture(300, 200).save(Path("scans/page.bmp"), "BMP"));
        ASSERT_TRUE(Picture(50, 40).save(Path("scans/stamp.jpg"), "JPG"));
        QFile text(Path("scans/notes.jpg"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("not a picture at all");
    }
    QString Path(const char* name) const {
        return QDir(Dir.path()).filePath(QString::fromLatin1(name));
    }
    void Write(const char* name, const std::vector<std::uint8_t>& bytes) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    // In hostile/: the scans of a 4096 x 4096 picture over and over (refused once they
    // cover it a hundred times), and pictures of 20000 x 20000 in a few kilobytes: a
    // progressive JPEG, whose decoder would hold 1.2 GB, a baseline one and a run-length BMP;
    // and a small picture beside them.
    void HostileFiles() const {
        ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("hostile")));
        Write("hostile/scans.jpg", test::ScanBomb(4096, 4096, 5000));
        const std::vector<std::uint8_t> grey(64 * 48 * 3, 100);
        test::TJpegEncoding progressive;
        progressive.Progressive = true;
        Write("hostile/huge.jpg",
              test::WithDeclaredSize(test::EncodeWithLibjpeg(64, 48, grey, progressive), 20000,
                                     20000));
        Write("hostile/huge-baseline.jpg",
              test::WithDeclaredSize(test::EncodeWithLibjpeg(64, 48, grey, {}), 20000, 20000));
        Write("hostile/huge-runs.bmp", test::DeclaredHugeRleBmp(20000, 20000));
        ASSERT_TRUE(QFile::copy(Path("scans/stamp.jpg"), Path("hostile/stamp.jpg")));
    }

    // Runs action while an open dialog is up: answer gets the dialog once it is shown and
    // closes it.
    static void WhenTheDialogShows(const std::function<void(TOpenDialog&)>& answer) {
        QTimer::singleShot(0, [answer] {
            auto* dialog = qobject_cast<TOpenDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            answer(*dialog);
        });
    }
    // Types name into the dialog's name field, as a shown dialog takes a selection (its
    // selectFile leaves a field that has the focus alone).
    static void Select(TOpenDialog& dialog, const char* name) {
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(field);
        field->setText(QString::fromLatin1(name));
    }
    static void Choose(TOpenDialog& dialog, const QString& path) {
        dialog.selectFile(path);
        static_cast<QDialog&>(dialog).accept(); // as the Open button does
    }

    QTemporaryDir Dir;
};

} // namespace

TEST_F(OpenDialog, StartsAtTheCurrentPictureElseInTheLastFolderElseTheToolkitsChoice) {
    const QString photos = Path("photos");
    const QString scans = Path("scans");
    const QString beach = Path("photos/beach.jpg");
    const struct {
        const char* Name;
        QString Current;
        QString Last;
        QString Start;
        QString Selected;
    } rows[] = {
        {"current picture", beach, scans, photos, beach},
        {"current picture, nothing remembered", beach, QString(), photos, beach},
        {"the picture was deleted since", Path("photos/gone.jpg"), scans, photos, QString()},
        {"its folder is gone", Path("gone/beach.jpg"), scans, scans, QString()},
        {"no picture yet, or a pasted one", QString(), scans, scans, QString()},
        {"the remembered folder is gone", QString(), Path("gone"), QString(), QString()},
        {"the remembered folder is a file", QString(), Path("scans/page.bmp"), QString(),
         QString()},
        {"nothing at all", QString(), QString(), QString(), QString()},
        {"a name from the command line", QStringLiteral("beach.jpg"), scans,
         QDir::current().absolutePath(), QString()},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(OpenDialogStartFolder(row.Current, row.Last), row.Start) << row.Name;
        EXPECT_EQ(OpenDialogPreselected(row.Current), row.Selected) << row.Name;
    }
}

TEST_F(OpenDialog, TheFolderIsRememberedUnderAValueOfItsOwn) {
    QSettings settings(Path("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(LoadLastOpenFolder(settings), QString());
    SaveLastOpenFolder(settings, Path("scans"));
    EXPECT_EQ(LoadLastOpenFolder(settings), Path("scans"));
    SaveLastOpenFolder(settings, QString()); // changes nothing
    EXPECT_EQ(LoadLastOpenFolder(settings), Path("scans"));
    // Beside the window record, never inside it.
    EXPECT_EQ(settings.allKeys(), QStringList({"Open Folder"}));
    settings.setValue(QStringLiteral("Open Folder"), QByteArray("\x01\x02", 2));
    EXPECT_EQ(LoadLastOpenFolder(settings), QString());
}

TEST_F(OpenDialog, KeepsTheTitleFilterAndOptionsOfTheOpenCommand) {
    TOpenDialog dialog(nullptr, Path("photos"));
    EXPECT_EQ(dialog.windowTitle(), "Open Image");
    EXPECT_EQ(dialog.nameFilters(), QStringList({OpenImageFilter()}));
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog.testOption(QFileDialog::HideNameFilterDetails));
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(QDir(dialog.directory()).absolutePath(), Path("photos"));
    EXPECT_TRUE(dialog.findChild<QWidget*>(QStringLiteral("odPreview")));
}

TEST_F(OpenDialog, PreviewIsReducedAndTellsTheSizeAsShown) {
    // A portrait as a phone stores it: 640 x 427, to be turned a quarter clockwise; its
    // stored left half is dark, and becomes the top.
    test::TJpegEncoding e;
    e.Exif = test::ExifWithOrientation(6);
    std::vector<std::uint8_t> samples(640 * 427 * 3, 90);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = i / 3 % 640 < 320 ? 20 : 230;
    Write("photos/portrait.jpg", test::EncodeWithLibjpeg(640, 427, samples, e));
    HostileFiles();
    const struct {
        const char* Name;
        QString Path;
        QString Text;
        QSize Picture; // empty: none
    } rows[] = {
        {"large JPEG, reduced", Path("photos/beach.jpg"), "640 x 427", {240, 160}},
        {"BMP", Path("scans/page.bmp"), "300 x 200", {240, 160}},
        {"small, never enlarged", Path("scans/stamp.jpg"), "50 x 40", {50, 40}},
        {"stored on its side, shown upright", Path("photos/portrait.jpg"), "427 x 640", {160, 240}},
        {"not a picture", Path("scans/notes.jpg"), "No preview", {}},
        {"missing", Path("scans/gone.jpg"), "No preview", {}},
        {"scans over the limit", Path("hostile/scans.jpg"), "4096 x 4096", {}},
        {"declared huge, more than a preview may take",
         Path("hostile/huge.jpg"),
         "Its 20000 \u00D7 20000 pixels need ",
         {}},
    };
    for (const auto& row : rows) {
        const TOpenPreview preview = LoadOpenPreview(row.Path, TOpenDialog::PreviewSide);
        EXPECT_EQ(preview.Text.left(row.Text.size()), row.Text) << row.Name;
        EXPECT_EQ(preview.Picture.isNull(), row.Picture.isEmpty()) << row.Name;
        if (!row.Picture.isEmpty()) {
            EXPECT_EQ(preview.Picture.size(), row.Picture) << row.Name;
        }
    }
    const QImage upright =
        LoadOpenPreview(Path("photos/portrait.jpg"), TOpenDialog::PreviewSide).Picture;
    EXPECT_LT(qGray(upright.pixel(80, 20)), 50);
    EXPECT_GT(qGray(upright.pixel(80, 220)), 200);
}

// Files that would keep a decoder busy for seconds or take gigabytes: the dialog closes at
// once however far their preview has come, and holds no more than a band of their rows; a
// newer selection cancels their preview too.
TEST_F(OpenDialog, HostileFilesNeitherHoldTheDialogNorTakeItsMemory) {
    HostileFiles();
    for (const char* name : {"scans.jpg", "huge.jpg", "huge-baseline.jpg", "huge-runs.bmp"}) {
        const test::TPeakMemory memory;
        auto dialog = std::make_unique<TOpenDialog>(nullptr, Path("hostile"));
        QSignalSpy shown(dialog.get(), &TOpenDialog::previewShown);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        Select(*dialog, name);
        QTest::qWait(150); // the preview under way, or refused
        // A newer selection: shown at once, the older decode cancelled.
        QElapsedTimer clock;
        clock.start();
        Select(*dialog, "stamp.jpg");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !shown.isEmpty() &&
                       shown.last().at(0).toString() == Path("hostile/stamp.jpg");
            },
            10000))
            << name;
        EXPECT_LT(clock.elapsed(), 1000) << name;
        EXPECT_EQ(dialog->PreviewText(), "50 x 40") << name;

        Select(*dialog, name);
        QTest::qWait(150);
        clock.restart();
        dialog->reject();
        dialog.reset();
        EXPECT_LT(clock.elapsed(), 1000) << name;
        EXPECT_LT(memory.Growth(), 150 << 20) << name;
    }
}

// SIGTERM while the dialog previews a file that keeps its decoder busy: the dialog is
// dismissed and the window closes as Exit closes it, without waiting for the preview.
TEST_F(OpenDialog, ASignalDuringAPreviewClosesTheWindowAtOnce) {
    HostileFiles();
    TAppCore core;
    auto window = std::make_unique<TfrmMain>(core, QStringList());
    window->Beeper = [] {};
    TQuitRequests quitRequests(window.get());
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StartUpDone(); }));
    QElapsedTimer sinceSignal;
    bool dismissed = false;
    QTimer::singleShot(0, window.get(), [&] {
        WhenTheDialogShows([&](TOpenDialog& d) {
            d.setDirectory(Path("hostile"));
            Select(d, "scans.jpg");
            QTimer::singleShot(150, [&] {
                sinceSignal.start();
                std::raise(SIGTERM);
            });
        });
        window->Commands()[TCommandId::acOpenImageFile]->trigger(); // returns once dismissed
        dismissed = true;
    });
    QTimer::singleShot(20000, qApp, &QCoreApplication::quit); // an upper bound only
    QApplication::exec();                                     // ends when the window has closed
    EXPECT_TRUE(dismissed);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(sinceSignal.isValid());
    EXPECT_LT(sinceSignal.elapsed(), 1000);
}

TEST_F(OpenDialog, SelectingAPictureShowsItsPreviewFromTheWorker) {
    TOpenDialog dialog(nullptr, Path("scans"));
    QSignalSpy shown(&dialog, &TOpenDialog::previewShown);
    // Chosen before the dialog shows, as a caller may.
    dialog.selectFile(Path("photos/beach.jpg"));
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(shown.last().at(0).toString(), Path("photos/beach.jpg"));
    EXPECT_EQ(dialog.PreviewText(), "640 x 427");

    // Typed into the name field of the shown dialog, one name after another: a newer
    // selection makes the older preview moot, and only the last one shows.
    dialog.setDirectory(Path("scans"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->clear();
    QTest::keyClicks(name, QStringLiteral("stamp.jpg"));
    name->clear();
    QTest::keyClicks(name, QStringLiteral("page.bmp"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return shown.last().at(0).toString() == Path("scans/page.bmp"); }, 10000));
    EXPECT_EQ(dialog.PreviewText(), "300 x 200");
    EXPECT_TRUE(dialog.HasPreviewPicture());
    const auto* picture = dialog.findChild<QLabel*>(QStringLiteral("odPreviewPicture"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixmap().size(), QSize(240, 160));

    // A name that is no file clears the pane.
    QTest::keyClicks(name, QStringLiteral("x"));
    EXPECT_EQ(dialog.PreviewText(), "");
    EXPECT_FALSE(dialog.HasPreviewPicture());
}

TEST_F(OpenDialog, AskingRemembersTheChosenFolderForTheNextRun) {
    const auto open = [this] {
        return std::make_unique<QSettings>(Path("settings.ini"), QSettings::IniFormat);
    };
    QString startedIn;
    QStringList selected;
    WhenTheDialogShows([&](TOpenDialog& d) {
        startedIn = QDir(d.directory()).absolutePath();
        selected = d.selectedFiles();
        Choose(d, Path("scans/page.bmp"));
    });
    EXPECT_EQ(AskImageToOpen(nullptr, Path("photos/beach.jpg"), open), Path("scans/page.bmp"));
    EXPECT_EQ(startedIn, Path("photos"));
    EXPECT_EQ(selected, QStringList{Path("photos/beach.jpg")}); // the picture shown
    EXPECT_EQ(LoadLastOpenFolder(*open()), Path("scans"));

    // No picture shown (a new run): the remembered folder. Cancelling remembers nothing.
    WhenTheDialogShows([&](TOpenDialog& d) {
        startedIn = QDir(d.directory()).absolutePath();
        d.setDirectory(Path("photos"));
        d.reject();
    });
    EXPECT_EQ(AskImageToOpen(nullptr, QString(), open), QString());
    EXPECT_EQ(startedIn, Path("scans"));
    EXPECT_EQ(LoadLastOpenFolder(*open()), Path("scans"));
}

TEST_F(OpenDialog, TheOpenCommandOpensTheChosenPictureAndRemembersItsFolder) {
    TAppCore core;
    auto window = std::make_unique<TfrmMain>(core, QStringList());
    window->Beeper = [] {};
    test::StoreNormalWindow({1021, 780});
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StartUpDone(); }));

    QString startedIn;
    WhenTheDialogShows([&](TOpenDialog& d) {
        startedIn = QDir(d.directory()).absolutePath();
        Choose(d, Path("photos/beach.jpg"));
    });
    window->Commands()[TCommandId::acOpenImageFile]->trigger();
    test::WaitOpened(*window);
    EXPECT_EQ(window->windowTitle(), "beach - Tonalyx");
    EXPECT_EQ(LoadLastOpenFolder(*OpenUserSettings()), Path("photos"));

    // The next time it starts where the picture shown is.
    WhenTheDialogShows([&](TOpenDialog& d) {
        startedIn = QDir(d.directory()).absolutePath();
        d.reject();
    });
    window->Commands()[TCommandId::acOpenImageFileQAT]->trigger();
    EXPECT_EQ(startedIn, Path("photos"));
    EXPECT_EQ(window->windowTitle(), "beach - Tonalyx");
    window->close();
}
