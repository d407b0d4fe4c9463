// The application object: an exception that no handler caught ends up here instead of
// ending the program. Its text is shown in a message box and the program runs on.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

namespace tonalyx {

// A short human text for an exception in flight.
QString ExceptionText(const std::exception_ptr& error);

class TApplication final : public QApplication {
    Q_OBJECT
  public:
    TApplication(int& argc, char** argv);

    // Shows the text of an exception that reached the event loop; a modal message box
    // captioned with the display name by default, replaced by tests.
    std::function<void(const QString&)> ShowUnhandled;

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    bool FShowing = false; // an error raised while its message box is open is not shown again
};

} // namespace tonalyx
