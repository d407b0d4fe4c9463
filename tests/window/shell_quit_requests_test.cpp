// Quit requests in this process, on a stand-in window: which signals are taken over (an
// ignored one stays ignored), a signal closes the window once any dialog on top of it is
// dismissed, the application quitting closes it too, and the old handling comes back.
#include "quit_requests.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <vector>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

using THandler = void (*)(int);

THandler Disposition(int signalNumber) {
    struct sigaction now = {};
    sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

// A window that records its close events.
class TStandIn : public QWidget {
  public:
    int Closes = 0;

  protected:
    void closeEvent(QCloseEvent* e) override {
        ++Closes;
        QWidget::closeEvent(e);
    }
};

class QuitRequests : public testing::Test {
  protected:
    void SetUp() override {
        Window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    }
    TStandIn Window;
};

TEST_F(QuitRequests, TakesOverTheQuitSignalsExceptIgnoredOnes) {
    const THandler hupBefore = std::signal(SIGHUP, SIG_IGN);
    const THandler termBefore = Disposition(SIGTERM);
    {
        TQuitRequests requests(&Window);
        EXPECT_FALSE(requests.Handles(SIGHUP));
        EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
        for (int s : {SIGTERM, SIGINT}) {
            EXPECT_TRUE(requests.Handles(s)) << s;
            EXPECT_NE(Disposition(s), SIG_IGN);
            EXPECT_NE(Disposition(s), SIG_DFL);
        }
        EXPECT_FALSE(requests.Handles(SIGUSR1));
    }
    // Gone with the object: as it was before.
    EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
    EXPECT_EQ(Disposition(SIGTERM), termBefore);
    std::signal(SIGHUP, hupBefore);
    EXPECT_EQ(Window.Closes, 0);
}

class SignalCloses : public QuitRequests, public testing::WithParamInterface<int> {};

TEST_P(SignalCloses, TheWindowOnce) {
    TQuitRequests requests(&Window);
    QSignalSpy requested(&requests, &TQuitRequests::CloseRequested);
    ASSERT_EQ(std::raise(GetParam()), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Window.isVisible(); }, 10000));
    EXPECT_EQ(Window.Closes, 1);
    ASSERT_EQ(requested.size(), 1);
    EXPECT_EQ(requested[0][0].toInt(), GetParam());
    // Asking again changes nothing.
    requests.RequestClose(0);
    EXPECT_EQ(requested.size(), 1);
    EXPECT_EQ(Window.Closes, 1);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalCloses, testing::Values(SIGTERM, SIGHUP, SIGINT));

TEST_F(QuitRequests, ADialogOnTopIsDismissedBeforeTheWindowCloses) {
    TQuitRequests requests(&Window);
    QDialog dialog(&Window);
    std::vector<std::string> events;
    bool visibleAfterDialog = false;
    QObject::connect(&requests, &TQuitRequests::CloseRequested,
                     [&] { events.push_back("requested"); });
    // As in the program: the dialog runs its loop on top of the application's.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        const int answer = dialog.exec(); // returns once the request has dismissed it
        events.push_back(answer == QDialog::Rejected ? "dismissed" : "accepted");
        visibleAfterDialog = Window.isVisible();
    });
    QTimer::singleShot(10000, qApp, &QCoreApplication::quit); // an upper bound only
    QApplication::exec(); // ends when the last window has closed
    // The window closed only after the code that opened the dialog had gone on.
    EXPECT_TRUE(visibleAfterDialog);
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.Closes, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"requested", "dismissed"}));
}

TEST_F(QuitRequests, TheApplicationQuittingClosesTheWindow) {
    TQuitRequests requests(&Window);
    QSignalSpy requested(&requests, &TQuitRequests::CloseRequested);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QApplication::exec();
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.Closes, 1);
    // Closed by the request, unless the toolkit closed it first on quitting.
    ASSERT_LE(requested.size(), 1);
    if (requested.size() == 1) {
        EXPECT_EQ(requested[0][0].toInt(), 0);
    }
}

TEST_F(QuitRequests, TheSessionsEndClosesAsASignalDoes) {
    TQuitRequests requests(&Window);
    requests.RequestClose(0);
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.Closes, 1);
}

} // namespace
