// Sharing from the window against the real server on a loopback port: Get Link's tag at
// once and the picture it names equal to what Save writes, the share page opened at once,
// the light green with the server and red without it, and a failed upload told once.
#include "app_core.h"
#include "commands.h"
#include "hist_export.h"
#include "links.h"
#include "main_window.h"
#include "share_commands.h"
#include "share_service.h"
#include "status_bar.h"
#include "status_texts.h"

#include "net_fault_server.h"
#include "qt_environment.h"
#include "server_test_support.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);
[[maybe_unused]] static testing::Environment* const NetEnvironment =
    testing::AddGlobalTestEnvironment(new test::TNetEnvironment);

namespace {

class Share : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(qRgb(120, 60, 200));
        ASSERT_TRUE(img.save(QDir(Dir.path()).filePath("p.bmp")));
        Server = std::make_unique<test::TRunningServer>(Data.Path());
        ASSERT_TRUE(Server->Started());
        qputenv("TONALYX_SERVER_URL", QByteArray::fromStdString(Server->PublicUrl()));
        SetLinkOpener([this](const QString& target) { Opened << target; });
        test::StoreNormalWindow({1000, 700});
        Window = std::make_unique<TfrmMain>(Core, QStringList{});
        Window->Share()->ShowFailure = [this] { ++Failures; };
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        test::OpenAndWait(*Window, QDir(Dir.path()).filePath("p.bmp"));
    }
    void TearDown() override {
        Window->close();
        Window.reset(); // its transfers are cancelled and joined: none outlives the server
        SetLinkOpener({});
        qputenv("TONALYX_SERVER_URL", "http://127.0.0.1:9/");
    }
    bool Idle() const { return Window->Share()->Service().QueuedRequests() == 0; }

    QTemporaryDir Dir;
    test::TTempFolder Data;
    std::unique_ptr<test::TRunningServer> Server;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    QStringList Opened;
    int Failures = 0;
};

} // namespace

TEST_F(Share, GetLinkPutsTheTagAtOnceAndThePictureIsWhatSaveWrites) {
    ASSERT_TRUE(QTest::qWaitFor([this] { return Idle(); }, 10000)); // the start-up check
    EXPECT_EQ(Window->StatusBar()->LEDState(), TLEDState::lsGreen);
    Window->Commands()[C::acSocNetHTML]->trigger();
    const QString tag = QGuiApplication::clipboard()->text();
    const QRegularExpressionMatch m =
        QRegularExpression(
            R"re(^<img src="(http://127\.0\.0\.1:\d+/0001/(0001t\w{20}\.png))"/>$)re")
            .match(tag);
    ASSERT_TRUE(m.hasMatch()) << tag.toStdString();
    EXPECT_EQ(Window->StatusBar()->MessageText(), LinkCopiedText()); // while it uploads
    ASSERT_TRUE(QTest::qWaitFor([this] { return Idle(); }, 10000));
    EXPECT_EQ(Failures, 0);
    EXPECT_EQ(Window->StatusBar()->MessageText(), HistogramUploadedText());
    const auto got = Server->Client().Get(("/0001/" + m.captured(2)).toStdString());
    ASSERT_TRUE(got);
    ASSERT_EQ(got->status, 200);
    const QByteArray saved = Window->Export().HistToPngStream()->data();
    EXPECT_EQ(QByteArray::fromStdString(got->body), saved);
}

TEST_F(Share, ShareOpensTheNetworksPageAtOnce) {
    Window->Commands()[C::acSocNetTW]->trigger();
    ASSERT_EQ(Opened.size(), 1);
    EXPECT_TRUE(Opened.first().contains("/0001/0001t")) << Opened.first().toStdString();
    EXPECT_EQ(Window->StatusBar()->MessageText(), SharePageOpenedText());
    ASSERT_TRUE(QTest::qWaitFor([this] { return Idle(); }, 10000));
    EXPECT_EQ(Failures, 0);
    EXPECT_EQ(Window->StatusBar()->MessageText(), HistogramUploadedText());
}

TEST_F(Share, WithoutTheServerTheLightTurnsRedAndAnUploadFailsOnce) {
    ASSERT_TRUE(QTest::qWaitFor([this] { return Idle(); }, 10000));
    Server->Stop();
    Window->Share()->StartWEBServerCheck();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->LEDState() == TLEDState::lsRed; }, 10000));
    EXPECT_EQ(Failures, 0); // a check that fails quickly says nothing
    Window->Commands()[C::acSocNetHTML]->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Failures > 0 && Idle(); }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(Failures, 1);
    // The box says it; the status bar no longer claims an upload under way, nor one done.
    EXPECT_NE(Window->StatusBar()->MessageText(), LinkCopiedText());
    EXPECT_NE(Window->StatusBar()->MessageText(), HistogramUploadedText());
}

// Closing the program while its server takes connections and never answers: the window
// goes at once, its start-up server check and its feed read cancelled and their
// connections closed, though their time-out is 45 s away.
TEST(ShareClosing, ClosingNeverWaitsForATransfer) {
    test::TRawPort silent(true);
    qputenv("TONALYX_SERVER_URL", QByteArray::fromStdString(silent.Url("/")));
    test::StoreNormalWindow({1000, 700});
    TAppCore core;
    auto window = std::make_unique<TfrmMain>(core, QStringList{});
    window->show();
    // The check starts with the window, the feed's first read a second later.
    for (int request = 0; request < 2; ++request)
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return silent.AcceptOne(std::chrono::milliseconds(0)); }, 20000))
            << "request " << request << " never came";
    const auto before = std::chrono::steady_clock::now();
    window->close();
    window.reset();
    const auto closing = std::chrono::steady_clock::now() - before;
    qputenv("TONALYX_SERVER_URL", "http://127.0.0.1:9/");
    RecordProperty("closing_us",
                   int(std::chrono::duration_cast<std::chrono::microseconds>(closing).count()));
    EXPECT_LT(closing, std::chrono::seconds(5)) << "closing waited for the network";
    EXPECT_TRUE(silent.AcceptedClosed(std::chrono::seconds(5))) << "a transfer outlived the window";
}
