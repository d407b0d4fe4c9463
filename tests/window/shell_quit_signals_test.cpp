// SIGTERM, SIGHUP and SIGINT sent to a child process running the window save what Exit
// saves; a second signal during the close ends the child at once; an ignored SIGHUP stays
// ignored; a settings file that is a FIFO neither stops the window from starting nor from
// closing; closing during an open does not wait for it. Every child has a configuration folder of
// its own, never the user's; it tells when it is ready, and every wait has an upper bound only.
#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <csignal>
#include <optional>
#include <string>

#include <sys/stat.h>

TONALYX_QT_TEST_ENVIRONMENT(QCoreApplication); // for QProcess

namespace {

constexpr int Bound = 60000; // ms; an upper bound for a child to start or to end

struct TStored {
    QByteArray State;
    QStringList Recent;
};

// One run of the child with a configuration folder of its own.
class TChildRun {
  public:
    explicit TChildRun(const QString& configFolder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", configFolder);
        env.insert("TONALYX_SERVER_URL", "http://127.0.0.1:9/"); // a closed loopback port
        if (!env.contains("QT_QPA_PLATFORM"))
            env.insert("QT_QPA_PLATFORM", "offscreen");
        FProcess.setProcessEnvironment(env);
        FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~TChildRun() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(Bound);
        }
    }
    // Starts the child; ignoreHangUp starts it with SIGHUP ignored, as nohup does.
    bool Start(const QStringList& args, bool ignoreHangUp = false) {
        if (ignoreHangUp)
            FProcess.setChildProcessModifier([] { std::signal(SIGHUP, SIG_IGN); });
        FProcess.start(QStringLiteral(TONALYX_QUIT_CHILD), args);
        return FProcess.waitForStarted(Bound);
    }
    // The next line the child prints; empty when it ended or the bound passed first.
    QByteArray Line() {
        while (!FProcess.canReadLine())
            if (!FProcess.waitForReadyRead(Bound))
                return {};
        return FProcess.readLine().trimmed();
    }
    void Send(int signalNumber) { ::kill(pid_t(FProcess.processId()), signalNumber); }
    void Write(const QByteArray& line) {
        FProcess.write(line + '\n');
        FProcess.waitForBytesWritten(Bound);
    }
    // Whether the child ended within the bound.
    bool Ended() { return FProcess.waitForFinished(Bound); }
    bool EndedNormally() const { return FProcess.exitStatus() == QProcess::NormalExit; }
    int ExitCode() const { return FProcess.exitCode(); } // the signal after a crash exit

  private:
    QProcess FProcess;
};

class QuitSignals : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Config.isValid());
        ASSERT_TRUE(Pictures.isValid());
        Image = Pictures.filePath("sample.jpg");
        ASSERT_TRUE(QFile::copy(QStringLiteral(TONALYX_SAMPLE_IMAGE), Image));
    }
    QString SettingsFile() const {
        return Config.filePath(QStringLiteral("Varnel Solutions/Tonalyx.conf"));
    }
    TStored Stored() const {
        QSettings s(SettingsFile(), QSettings::IniFormat);
        TStored stored;
        stored.State = s.value("State").toByteArray();
        const int count = s.value("Recent Images/Count").toInt();
        for (int i = 0; i < count; ++i)
            stored.Recent << s.value(QStringLiteral("Recent Images/Item%1").arg(i)).toString();
        return stored;
    }
    // Runs the window with the image, ends it by how (a signal, or 0 for Exit), and gives
    // back what it stored.
    std::optional<TStored> RunWindowAndEnd(int how) {
        TChildRun child(Config.path());
        EXPECT_TRUE(child.Start({"window", Image}));
        EXPECT_EQ(child.Line(), "ready");
        if (how == 0)
            child.Write("exit");
        else
            child.Send(how);
        EXPECT_TRUE(child.Ended());
        EXPECT_TRUE(child.EndedNormally()) << "ended by signal " << child.ExitCode();
        EXPECT_EQ(child.ExitCode(), 0);
        if (testing::Test::HasFailure())
            return std::nullopt;
        return Stored();
    }

    QTemporaryDir Config, Pictures;
    QString Image;
};

class SignalSaves : public QuitSignals, public testing::WithParamInterface<int> {};

TEST_P(SignalSaves, TheStateAndTheRecentListAsExitDoes) {
    const std::optional<TStored> bySignal = RunWindowAndEnd(GetParam());
    ASSERT_TRUE(bySignal);
    EXPECT_EQ(bySignal->State.size(), 48);
    EXPECT_EQ(bySignal->Recent, QStringList{Image});
    // The same run ended by Exit stores the same.
    ASSERT_TRUE(QFile::remove(SettingsFile()));
    const std::optional<TStored> byExit = RunWindowAndEnd(0);
    ASSERT_TRUE(byExit);
    EXPECT_EQ(bySignal->State, byExit->State);
    EXPECT_EQ(bySignal->Recent, byExit->Recent);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalSaves, testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const testing::TestParamInfo<int>& i) {
                             return std::string(i.param == SIGTERM  ? "Term"
                                                : i.param == SIGHUP ? "HangUp"
                                                                    : "Interrupt");
                         });

TEST_F(QuitSignals, ASecondSignalDuringTheCloseEndsAtOnce) {
    TChildRun child(Config.path());
    ASSERT_TRUE(child.Start({"stand-in"}));
    ASSERT_EQ(child.Line(), "ready");
    child.Send(SIGTERM);
    ASSERT_EQ(child.Line(), "closing " + QByteArray::number(SIGTERM)); // and waits there
    child.Send(SIGINT);
    ASSERT_TRUE(child.Ended());
    EXPECT_FALSE(child.EndedNormally());
    EXPECT_EQ(child.ExitCode(), SIGINT);
}

TEST_F(QuitSignals, AnIgnoredHangUpStaysIgnored) {
    TChildRun child(Config.path());
    ASSERT_TRUE(child.Start({"stand-in"}, true));
    ASSERT_EQ(child.Line(), "ready");
    child.Send(SIGHUP);
    child.Send(SIGTERM);
    // Had the hang-up been taken, it would have started the close, and the terminate
    // signal would have ended the child at once.
    ASSERT_EQ(child.Line(), "closing " + QByteArray::number(SIGTERM));
    child.Write("");
    ASSERT_TRUE(child.Ended());
    EXPECT_TRUE(child.EndedNormally());
    EXPECT_EQ(child.ExitCode(), 0);
}

TEST_F(QuitSignals, ClosingDuringAnOpenEndsWithoutWaitingForIt) {
    TChildRun child(Config.path());
    ASSERT_TRUE(child.Start({"window-held", Image}));
    ASSERT_EQ(child.Line(), "ready"); // the open is under way, held until it is cancelled
    child.Write("exit");
    // Were the open waited for, the child would still be running at the bound.
    ASSERT_TRUE(child.Ended());
    EXPECT_TRUE(child.EndedNormally());
    EXPECT_EQ(child.ExitCode(), 0);
    EXPECT_EQ(Stored().State.size(), 48);
    EXPECT_TRUE(Stored().Recent.isEmpty());
}

TEST_F(QuitSignals, AFifoAsTheSettingsFileDelaysNeitherStartNorClose) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(SettingsFile()).path()));
    ASSERT_EQ(mkfifo(QFile::encodeName(SettingsFile()).constData(), 0600), 0);
    TChildRun child(Config.path());
    ASSERT_TRUE(child.Start({"window", Image}));
    ASSERT_EQ(child.Line(), "ready");
    child.Send(SIGTERM);
    ASSERT_TRUE(child.Ended());
    EXPECT_TRUE(child.EndedNormally());
    struct stat after = {};
    ASSERT_EQ(lstat(QFile::encodeName(SettingsFile()).constData(), &after), 0);
    EXPECT_TRUE(S_ISFIFO(after.st_mode));
}

} // namespace
