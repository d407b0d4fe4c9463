// An exception that nothing caught reaches the application object, is shown, and the
// program runs on.
#include "application.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <new>
#include <stdexcept>
#include <system_error>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(TApplication);

namespace {

TApplication& App() {
    return *static_cast<TApplication*>(QCoreApplication::instance());
}

// Throws what it was given from its event handler.
class TThrower final : public QObject {
  public:
    std::function<void()> Throw;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            Throw();
        return QObject::event(e);
    }
};

class UnhandledErrors : public testing::Test {
  protected:
    void SetUp() override {
        App().ShowUnhandled = [this](const QString& text) { Shown << text; };
    }
    QStringList Shown;
};

} // namespace

TEST(ExceptionText, SaysWhatWentWrong) {
    const struct {
        std::exception_ptr Error;
        const char* Text;
    } rows[] = {
        {std::make_exception_ptr(std::runtime_error("disk on fire")), "disk on fire"},
        {std::make_exception_ptr(std::bad_alloc()), "Not enough memory to complete the operation."},
        {std::make_exception_ptr(std::system_error(
             std::make_error_code(std::errc::resource_unavailable_try_again), "thread")),
         "thread: Resource temporarily unavailable"},
        {std::make_exception_ptr(std::runtime_error("")), "An unexpected error occurred."},
        {std::make_exception_ptr(42), "An unexpected error occurred."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExceptionText(row.Error), row.Text);
}

TEST_F(UnhandledErrors, ASentEventThatThrowsIsShownAndTheProgramRunsOn) {
    TThrower thrower;
    thrower.Throw = [] { throw std::runtime_error("disk on fire"); };
    QEvent e(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &e));
    EXPECT_EQ(Shown, QStringList({"disk on fire"}));
}

TEST_F(UnhandledErrors, ThrowsFromTheEventLoopAreShownOneByOne) {
    TThrower thrower;
    thrower.Throw = [] { throw std::bad_alloc(); };
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    bool timerRan = false;
    QTimer::singleShot(0, &thrower, [&] {
        timerRan = true;
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                "thread");
    });
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(Shown, QStringList({"Not enough memory to complete the operation.",
                                  "thread: Resource temporarily unavailable"}));
    // The loop still delivers events afterwards.
    bool later = false;
    QTimer::singleShot(0, &thrower, [&] { later = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(later);
}

TEST_F(UnhandledErrors, AnErrorWhileItsMessageIsOpenIsNotShownAgain) {
    TThrower thrower;
    thrower.Throw = [] { throw std::runtime_error("inner"); };
    App().ShowUnhandled = [&](const QString& text) {
        Shown << text;
        QEvent e(QEvent::User); // as if the message box's own loop delivered another
        QCoreApplication::sendEvent(&thrower, &e);
    };
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &e);
    EXPECT_EQ(Shown, QStringList({"inner"}));
}
