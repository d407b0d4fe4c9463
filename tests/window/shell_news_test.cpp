// The news of the feed in the window: read shortly after start-up from a loopback server,
// shown once as plain text, its link opened on OK, and not shown again after a restart.
#include "app_core.h"
#include "links.h"
#include "main_window.h"
#include "news_presenter.h"

#include "net_fault_server.h"
#include "qt_environment.h"
#include "stored_window_state.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <memory>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);
[[maybe_unused]] static testing::Environment* const NetEnvironment =
    testing::AddGlobalTestEnvironment(new test::TNetEnvironment);

namespace {

const char* const FeedWithNews =
    "<Info><Tonalyx><LastVersion>9.9.9</LastVersion></Tonalyx>"
    "<LastNews><Date>2016-03-01</Date><Text>Tonalyx 9.9.9 &lt;b&gt;is out&lt;/b&gt;</Text>"
    "<Link>https://varnel.example/news</Link></LastNews></Info>";

class News : public testing::Test {
  protected:
    void SetUp() override {
        Server.Serve("/Tonalyx-Info/", 200, FeedWithNews);
        Server.Start();
        qputenv("TONALYX_SERVER_URL", QByteArray::fromStdString(Server.Url("/")));
        SetLinkOpener([this](const QString& target) { Opened << target; });
        test::StoreNormalWindow({900, 640});
    }
    void TearDown() override {
        SetLinkOpener({});
        qputenv("TONALYX_SERVER_URL", "http://127.0.0.1:9/");
    }
    // One run: the window until the feed has been read and its news handled.
    void Run(bool answerOk) {
        TAppCore core;
        TfrmMain window(core, {});
        window.News()->ShowNews = [&](const QString& text, bool withLink) {
            Shown << text;
            EXPECT_TRUE(withLink);
            return answerOk;
        };
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.News()->AppInform().Ready; }, 10000));
        QTest::qWait(300); // a few ticks of tmShowNews
        EXPECT_EQ(window.News()->AppInform().LastVersion, "9.9.9");
        window.close();
    }

    test::TFaultServer Server;
    QStringList Shown, Opened;
};

} // namespace

TEST_F(News, IsShownOnceAsPlainTextAndItsLinkOpensOnOk) {
    Run(/*answerOk=*/true);
    EXPECT_EQ(Shown, QStringList({"Tonalyx 9.9.9 <b>is out</b>"}));
    EXPECT_EQ(Opened, QStringList({"https://varnel.example/news"}));
    Run(/*answerOk=*/true); // the next start: the same item is not shown again
    EXPECT_EQ(Shown.size(), 1);
    EXPECT_EQ(Opened.size(), 1);
}

TEST_F(News, CancelOpensNothing) {
    Run(/*answerOk=*/false);
    EXPECT_EQ(Shown.size(), 1);
    EXPECT_TRUE(Opened.isEmpty());
}
