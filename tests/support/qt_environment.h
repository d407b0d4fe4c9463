// A Qt application object for the tests of one executable, made when the tests run
// (not when the test runner only lists them, where no display may exist). Every test gets
// a settings folder of its own, so no test reads or writes the user's settings, and no
// test sees what another one stored.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
// The widget tests' application; the tests of libraries without widgets name QGuiApplication.
#if __has_include(<QApplication>)
#include <QApplication>
#endif
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace tonalyx::test {

// Points QSettings' user scope at a fresh folder before each test.
class TSettingsPerTest : public testing::EmptyTestEventListener {
  public:
    void OnTestStart(const testing::TestInfo&) override {
        FDir = std::make_unique<QTemporaryDir>();
        for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(f, QSettings::UserScope, FDir->path());
    }
    void OnTestEnd(const testing::TestInfo&) override { FDir.reset(); }

  private:
    std::unique_ptr<QTemporaryDir> FDir;
};

template <typename App> class TQtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        // Before the application object: the settings paths are fixed at first use.
        // The program's server is a closed loopback port unless a test starts one of its own.
        qputenv("TONALYX_SERVER_URL", "http://127.0.0.1:9/");
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        // A desktop-sized screen (the off-screen platform's own is 800 × 600), with window
        // frames, so that window sizes and their corrections behave as on a desktop.
        if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
            const QString screens = config.filePath(QStringLiteral("screens.json"));
            QFile f(screens);
            if (f.open(QIODevice::WriteOnly))
                f.write(R"({"windowFrameMargins": true, "screens": [{"name": "screen0",
                    "x": 0, "y": 0, "width": 1920, "height": 1080,
                    "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            f.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.toLocal8Bit());
        }
        testing::UnitTest::GetInstance()->listeners().Append(new TSettingsPerTest);
        static int argc = 1;
        static char name[] = "tonalyx-tests";
        static char* argv[] = {name, nullptr};
        FApp = new App(argc, argv);
    }
    void TearDown() override { delete FApp; }

  private:
    App* FApp = nullptr;
};

} // namespace tonalyx::test

// Registers the environment once per test executable.
#define TONALYX_QT_TEST_ENVIRONMENT(App)                                                           \
    [[maybe_unused]] static testing::Environment* const QtTestEnvironment =                        \
        testing::AddGlobalTestEnvironment(new tonalyx::test::TQtEnvironment<App>)
