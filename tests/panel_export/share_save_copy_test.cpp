// Save Histogram and Copy Histogram in the window: the snapshot follows the panel, the PNG
// file equals the upload stream, and a failed or cancelled save harms nothing.
#include "app_core.h"
#include "commands.h"
#include "hist_export.h"
#include "hist_panel.h"
#include "main_window.h"
#include "save_copy.h"
#include "status_bar.h"
#include "status_texts.h"

#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

// Answers the dialogs as told and records what they were asked.
struct TScriptedDialogs final : TSaveDialogs {
    struct TLog {
        QString ProposedName, Folder, Overwrite, Error;
        int Asked = 0;
    };
    explicit TScriptedDialogs(TLog& log, QString answer, bool overwrite = true)
        : Log(log), Answer(std::move(answer)), Overwrite(overwrite) {}
    QString AskSavePath(const QString& proposedName, const QString& folder) override {
        ++Log.Asked;
        Log.ProposedName = proposedName;
        Log.Folder = folder;
        return Answer;
    }
    bool ConfirmOverwrite(const QString& path) override {
        Log.Overwrite = path;
        return Overwrite;
    }
    void ShowError(const QString& text) override { Log.Error = text; }
    TLog& Log;
    QString Answer;
    bool Overwrite;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SaveCopy : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        QImage img(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                img.setPixel(x, y, qRgb(x * 4, y * 5, (x * y) % 256));
        ASSERT_TRUE(img.save(Path("IMG_0012.JPG"), "JPG"));
        ASSERT_TRUE(img.save(Path("a.b.jpg"), "JPG"));
        Window = std::make_unique<TfrmMain>(Core, QStringList{});
        test::StoreNormalWindow({1021, 780});
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Window->StartUpDone(); }));
        test::OpenAndWait(*Window, Path("IMG_0012.JPG"));
    }
    void TearDown() override { Window->close(); }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    void Answer(const QString& path, bool overwrite = true) {
        Window->SetSaveDialogs(std::make_unique<TScriptedDialogs>(Log, path, overwrite));
    }
    void Save() { Window->Commands()[C::acSaveHist]->trigger(); }
    QImage Snapshot() const { return Window->Export().MakeHistBitmap(); }

    QTemporaryDir Dir;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    TScriptedDialogs::TLog Log;
};

} // namespace

TEST_F(SaveCopy, TheSnapshotIsThePanelAsShownAtItsSize) {
    THistPanel* panel = Window->HistPanel();
    const QImage first = Snapshot();
    EXPECT_EQ(first.size(), panel->size());
    EXPECT_EQ(first, Snapshot()); // nothing changed, nothing differs
    const QImage shown = panel->grab().toImage().convertToFormat(first.format());
    ASSERT_EQ(shown.size(), first.size());
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ASSERT_EQ(first.pixel(x, y), shown.pixel(x, y)) << x << "," << y;
    // Every combination of models: the snapshot follows the panel's height.
    for (int mask = 7; mask >= 1; --mask) {
        const TCommandId models[] = {C::acRGB, C::acHSV, C::acLab};
        for (int m = 0; m < 3; ++m) {
            QAction* a = Window->Commands()[models[m]];
            if (a->isChecked() != bool(mask & (1 << m)))
                a->trigger();
        }
        EXPECT_EQ(Snapshot().size(), panel->size()) << mask;
    }
    // The splitter moved by 40 pixels: 40 pixels wider.
    QSplitter* spl = Window->Splitter();
    const int before = Snapshot().width();
    spl->setSizes({spl->sizes()[0] - 40, spl->sizes()[1] + 40});
    EXPECT_EQ(Snapshot().width(), before + 40);
}

TEST_F(SaveCopy, SaveWritesThePngOfTheStreamUnderTheProposedName) {
    const QString target = Path("IMG_0012_histogram");
    Answer(target); // confirmed as proposed: the dialog adds no extension of its own here
    Save();
    EXPECT_EQ(Log.ProposedName, "IMG_0012_histogram");
    EXPECT_EQ(QDir(Log.Folder), QDir(Dir.path()));
    const QByteArray written = ReadAll(target + ".png");
    const std::unique_ptr<QBuffer> stream = Window->Export().HistToPngStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->pos(), stream->size()); // a reader rewinds it
    EXPECT_EQ(written, stream->data());
    QImage read;
    ASSERT_TRUE(read.loadFromData(written, "PNG"));
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), Snapshot());
    EXPECT_TRUE(Log.Error.isEmpty());
}

TEST_F(SaveCopy, NamesWithSeveralDotsAndOtherExtensionsStillEndInPng) {
    test::OpenAndWait(*Window, Path("a.b.jpg"));
    const struct {
        const char* Confirmed;
        const char* Written;
    } rows[] = {{"a_histogram.b", "a_histogram.b.png"},
                {"x.jpg", "x.jpg.png"},
                {"y.PNG", "y.PNG"},
                {"z.png", "z.png"}};
    for (const auto& row : rows) {
        Answer(Path(row.Confirmed));
        Save();
        EXPECT_EQ(Log.ProposedName, "a_histogram.b");
        EXPECT_TRUE(QFile::exists(Path(row.Written))) << row.Written;
    }
    EXPECT_FALSE(QFile::exists(Path("a_histogram.b")));
}

TEST_F(SaveCopy, OverwriteIsAskedForTheFinalNameAndRefusalKeepsTheOldFile) {
    QFile old(Path("h.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    Answer(Path("h"), /*overwrite=*/false);
    Save();
    EXPECT_EQ(Log.Overwrite, Path("h.png"));
    EXPECT_EQ(ReadAll(Path("h.png")), "old contents");
    Answer(Path("h"), /*overwrite=*/true);
    Save();
    EXPECT_TRUE(ReadAll(Path("h.png")).startsWith("\x89PNG"));
}

TEST_F(SaveCopy, CancelWritesNothingAndSaysNothing) {
    Answer(QString());
    Save();
    EXPECT_EQ(Log.Asked, 1);
    EXPECT_EQ(QDir(Dir.path()).entryList({"*.png"}, QDir::Files), QStringList());
    EXPECT_TRUE(Log.Error.isEmpty());
}

TEST_F(SaveCopy, AFailedWriteLeavesNoPartialFileAndKeepsTheOldOne) {
    // Invalid place: a folder that is a file.
    Answer(Path("IMG_0012.JPG/h.png"));
    Save();
    EXPECT_TRUE(Log.Error.startsWith("Cannot save ")) << Log.Error.toStdString();
    // Running out of room half-way (a file size limit works even for root).
    QFile old(Path("keep.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    Log.Error.clear();
    Answer(Path("keep.png"));
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Save();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(Log.Error.isEmpty());
    EXPECT_EQ(ReadAll(Path("keep.png")), "old contents");
    EXPECT_EQ(QDir(Dir.path()).entryList({"*.png*"}, QDir::Files | QDir::Hidden),
              QStringList({"keep.png"}));
}

TEST_F(SaveCopy, CopyPutsThePanelsPictureOnTheClipboard) {
    QGuiApplication::clipboard()->clear();
    Window->Commands()[C::acCopyHist]->trigger();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    ASSERT_TRUE(mime->hasImage());
    EXPECT_FALSE(mime->hasText());
    const QImage copied = qvariant_cast<QImage>(mime->imageData());
    EXPECT_EQ(copied.size(), Window->HistPanel()->size());
}

TEST_F(SaveCopy, AHiddenPanelMakesBothCommandsDoNothing) {
    Window->HistPanel()->hide();
    QGuiApplication::clipboard()->setText("kept");
    Answer(Path("never"));
    Save();
    Window->Commands()[C::acCopyHist]->trigger();
    EXPECT_EQ(Log.Asked, 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

// Each success says what it did in the status bar, the saved file by its name; a cancel or
// a failure says nothing of the kind.
TEST_F(SaveCopy, SuccessesAreToldInTheStatusBar) {
    TStatusBar* bar = Window->StatusBar();
    const QString before = bar->MessageText(); // a hint, maybe
    Answer(QString());
    Save();
    EXPECT_EQ(bar->MessageText(), before);
    Answer(Path("IMG_0012.JPG/h.png"));
    Save();
    EXPECT_EQ(bar->MessageText(), before);
    Answer(Path("mine"));
    Save();
    EXPECT_EQ(bar->MessageText(), HistogramSavedText(Path("mine.png")));
    EXPECT_TRUE(bar->MessageText().contains("mine.png"));
    EXPECT_FALSE(bar->MessageText().contains(Dir.path())) << "the name, not the folder";
    Window->Commands()[C::acCopyHist]->trigger();
    EXPECT_EQ(bar->MessageText(), HistogramCopiedText());
}
