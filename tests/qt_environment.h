// A Qt application object for the tests of one executable, made when the tests run
// (not when the test runner only lists them, where no display may exist).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace tonalyx::test {

template <typename App = QApplication> class TQtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
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
