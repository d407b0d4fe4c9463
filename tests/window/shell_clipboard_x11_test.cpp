// The main window on an X server of the test's own, against programs that own the clipboard:
// one that never answers stops no timer of the window and fails a paste with its reason; one
// that answers a little at a time is left with Escape or for a file, and hides no later owner;
// one that answers is seen and pasted from. Skipped where there is no Xvfb.
#include "app_core.h"
#include "commands.h"
#include "main_window.h"
#include "status_bar.h"

#include "qt_environment.h"
#include "x_clipboard_owner.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tonalyx;
using test::TClipboardOwner;
using test::TXServer;
using test::XWaitBound;

namespace {

// Before the application is made (environments set up in the order registered): the
// window runs on the X server where there is one.
class TOnXServer : public testing::Environment {
  public:
    void SetUp() override {
        if (!TXServer::Get().Running())
            return;
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", TXServer::Get().Display());
    }
};
[[maybe_unused]] testing::Environment* const XServerEnvironment =
    testing::AddGlobalTestEnvironment(new TOnXServer);

} // namespace

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

#ifdef TONALYX_SANITIZED
// The toolkit's X11 platform leaves a buffer of the D-Bus library behind at exit; not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so";
}
#endif

namespace {

class ClipboardOnX11 : public testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "no Xvfb to run an X server";
        QObject::connect(&Timer, &QTimer::timeout, [this] { ++Ticks; });
        Timer.start(10);
    }
    void TearDown() override {
        if (Window)
            Window->close();
    }
    void Start() {
        Window = std::make_unique<TfrmMain>(Core, QStringList{});
        Window->Beeper = [this] { ++Beeps; };
        Window->WarningMessage = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Window->StartUpDone(); }, XWaitBound));
    }
    QAction* Paste() const { return Window->Commands()[TCommandId::acPasteImage]; }
    // An owner serving a small PNG.
    QStringList ServingPicture(const QImage& picture) const {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return TClipboardOwner::Serving("image/png", png, Dir.filePath(QStringLiteral("served")));
    }

    QTemporaryDir Dir;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    int Beeps = 0;
    QTimer Timer; // the main thread's: it ticks only while the window answers
    int Ticks = 0;
};

} // namespace

TEST_F(ClipboardOnX11, AnOwnerThatNeverAnswersStopsNoTimerAndFailsThePasteWithItsReason) {
    Start();
    const struct {
        const char* Name;
        QStringList Owner;
        bool Offered; // what the window learns before the owner stops answering
    } rows[] = {
        {"hung from the start", {"silent"}, false},
        {"hung once asked for the picture", {"offer", "image/png"}, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Name);
        Beeps = 0;
        TClipboardOwner owner(r.Owner);
        ASSERT_TRUE(owner.Ready());
        if (r.Offered) {
            ASSERT_TRUE(QTest::qWaitFor([this] { return Paste()->isEnabled(); }, XWaitBound));
        }
        Ticks = 0;
        if (r.Offered)
            Paste()->trigger();
        else
            Window->PasteImage(); // the command is off: nothing was learned
        ASSERT_TRUE(QTest::qWaitFor([this] { return Beeps == 1; }, XWaitBound));
        // A window waiting on the owner would have seen no tick (or one, released late).
        EXPECT_GE(Ticks, 3);
        EXPECT_EQ(Window->StatusBar()->MessageText().toStdString(),
                  "The program holding the clipboard does not answer");
        EXPECT_EQ(Paste()->isEnabled(), r.Offered); // a question not answered changes nothing
    }
}

TEST_F(ClipboardOnX11, AnAnsweringOwnersPictureIsOfferedAndPasted) {
    Start();
    EXPECT_FALSE(Paste()->isEnabled());
    QImage picture(37, 23, QImage::Format_RGB32);
    picture.fill(qRgb(200, 100, 50));
    TClipboardOwner owner(ServingPicture(picture));
    ASSERT_TRUE(owner.Ready());
    // The X server tells the window of the new owner; the window asks it what it offers.
    ASSERT_TRUE(QTest::qWaitFor([this] { return Paste()->isEnabled(); }, XWaitBound));
    Paste()->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->ImageSizeText() == "37 x 23"; }, XWaitBound));
    EXPECT_EQ(Beeps, 0);
}

TEST_F(ClipboardOnX11, EscapeLeavesAPasteFromAnOwnerThatAnswersALittleAtATimeAndTheNextIsSeen) {
    Start();
    // Each piece well within the time-out of silence; the whole answer never comes.
    TClipboardOwner trickling({"trickle", "image/png", "300"});
    ASSERT_TRUE(trickling.Ready());
    // A file opened while the paste waits is the picture asked for: the paste is dropped, and
    // Paste asks the owner again.
    QImage file(41, 13, QImage::Format_RGB32);
    file.fill(qRgb(90, 90, 200));
    ASSERT_TRUE(file.save(Dir.filePath(QStringLiteral("opened.bmp"))));
    Window->PasteImage(); // the command is off: the window's question is not answered yet
    Window->LoadImageFile(Dir.filePath(QStringLiteral("opened.bmp")));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->ImageSizeText() == "41 x 13"; }, XWaitBound));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Window->PasteImage();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    QTest::qWait(1000); // some pieces have come
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused ? focused : Window.get(), Qt::Key_Escape);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QTest::qWait(500); // nothing comes of it later either
    EXPECT_EQ(Beeps, 0);
    EXPECT_FALSE(Window->StatusBar()->MessageText().startsWith("The program holding"));
    EXPECT_FALSE(Paste()->isEnabled());

    // The question to the trickling owner would wait for the program's deadline; the next
    // owner is asked at once.
    QImage picture(29, 17, QImage::Format_RGB32);
    picture.fill(qRgb(20, 140, 60));
    TClipboardOwner next(ServingPicture(picture));
    ASSERT_TRUE(next.Ready());
    ASSERT_TRUE(QTest::qWaitFor([this] { return Paste()->isEnabled(); }, XWaitBound / 3));
    Paste()->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->ImageSizeText() == "29 x 17"; }, XWaitBound));
    EXPECT_EQ(Beeps, 0);
}
