// The window's exports hold, byte for byte, the stored pictures of the panel: the file Save
// writes, the picture Copy puts on the clipboard and the stream the upload sends, for several
// pictures, panel sizes, model sets and smoothing; and the panel on screen shows that picture.
#include "app_core.h"
#include "commands.h"
#include "hist_export.h"
#include "hist_panel.h"
#include "main_window.h"
#include "save_copy.h"

#include "panel_golden.h"
#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

// Confirms the proposed name in the folder given.
struct TSaveInto final : TSaveDialogs {
    explicit TSaveInto(QString folder) : Folder(std::move(folder)) {}
    QString AskSavePath(const QString& proposedName, const QString&) override {
        return QDir(Folder).filePath(proposedName);
    }
    bool ConfirmOverwrite(const QString&) override { return true; }
    void ShowError(const QString& text) override { ADD_FAILURE() << text.toStdString(); }
    QString Folder;
};

struct TWindowRow {
    const char* Name;
    const char* Picture;
    int WindowW, WindowH; // the window's outer size as a previous run left it
    int PanelW;           // the histogram panel's width as a previous run left it
    bool Rgb, Hsv, Lab;
    bool Smoothing;
};

const TWindowRow WindowRows[] = {
    {"window_sample_design_all_smooth", "sample", 1021, 780, 243, true, true, true, true},
    {"window_sample_design_rgb_lab_raw", "sample", 1021, 780, 243, true, false, true, false},
    {"window_gradient_wide_lab_smooth", "gradient", 1021, 780, 320, false, false, true, true},
    {"window_noise_large_rgb_hsv_raw", "noise", 1200, 900, 400, true, true, false, false},
    {"window_primaries_narrow_all_raw", "primaries", 900, 700, 180, true, true, true, false},
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class WindowGolden : public testing::TestWithParam<TWindowRow> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        const TWindowRow& row = GetParam();
        test::StoreNormalWindow({row.WindowW, row.WindowH}, row.PanelW);
        test::ShowNewWindow(Core, Window);
        const QString image =
            test::WriteGoldenPicture(QString::fromLatin1(row.Picture), Dir.path());
        ASSERT_FALSE(image.isEmpty());
        test::OpenAndWait(*Window, image);
        const std::pair<C, bool> models[] = {
            {C::acRGB, row.Rgb}, {C::acHSV, row.Hsv}, {C::acLab, row.Lab}};
        // Switched on first, so that the last model shown is never the one switched off.
        for (bool on : {true, false})
            for (const auto& [command, wanted] : models) {
                QAction* a = Window->Commands()[command];
                if (wanted == on && a->isChecked() != on)
                    a->trigger();
            }
        QAction* smoothing = Window->Commands()[C::acSmoothingOn];
        if (smoothing->isChecked() != row.Smoothing)
            smoothing->trigger();
        ASSERT_EQ(Window->Commands()[C::acRGB]->isChecked(), row.Rgb);
        ASSERT_EQ(Window->Commands()[C::acHSV]->isChecked(), row.Hsv);
        ASSERT_EQ(Window->Commands()[C::acLab]->isChecked(), row.Lab);
        ASSERT_EQ(smoothing->isChecked(), row.Smoothing);
    }
    void TearDown() override {
        if (Window)
            Window->close();
    }

    QTemporaryDir Dir;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
};

TEST_P(WindowGolden, SaveCopyAndUploadHoldTheStoredPicture) {
    const QString name = QString::fromLatin1(GetParam().Name);
    QDir(Dir.path()).mkdir(QStringLiteral("saved"));
    Window->SetSaveDialogs(std::make_unique<TSaveInto>(Dir.filePath(QStringLiteral("saved"))));
    Window->Commands()[C::acSaveHist]->trigger();
    const QStringList saved = QDir(Dir.filePath(QStringLiteral("saved"))).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    test::ExpectGolden(ReadAll(Dir.filePath(QStringLiteral("saved/") + saved[0])), name);
    if (!qEnvironmentVariableIsEmpty("TONALYX_WRITE_GOLDEN"))
        return;

    const std::unique_ptr<QBuffer> upload = Window->Export().HistToPngStream();
    ASSERT_NE(upload, nullptr);
    test::ExpectGolden(upload->data(), name);

    QGuiApplication::clipboard()->clear();
    Window->Commands()[C::acCopyHist]->trigger();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(mime && mime->hasImage());
    const TPngResult copied = EncodePngImage(qvariant_cast<QImage>(mime->imageData()));
    ASSERT_TRUE(copied.Ok());
    test::ExpectGolden(QByteArray(reinterpret_cast<const char*>(copied->data()),
                                  static_cast<qsizetype>(copied->size())),
                       name);
}

TEST_P(WindowGolden, ThePanelOnScreenShowsTheStoredPicture) {
    if (!qEnvironmentVariableIsEmpty("TONALYX_WRITE_GOLDEN"))
        GTEST_SKIP() << "the exports write the pictures";
    const QImage stored = QImage(test::GoldenPath(QString::fromLatin1(GetParam().Name)))
                              .convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(stored.isNull());
    const QImage shown =
        Window->HistPanel()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), stored.size());
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ASSERT_EQ(shown.pixel(x, y), stored.pixel(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Panel, WindowGolden, testing::ValuesIn(WindowRows),
                         [](const testing::TestParamInfo<TWindowRow>& i) {
                             return std::string(i.param.Name);
                         });

} // namespace
