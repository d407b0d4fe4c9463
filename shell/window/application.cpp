#include "application.h"

#include "appmessagebox.h"

#include <new>

namespace tonalyx {

QString ExceptionText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Not enough memory to complete the operation.");
    } catch (const std::exception& e) {
        const QString what = QString::fromLocal8Bit(e.what());
        return what.isEmpty() ? QStringLiteral("An unexpected error occurred.") : what;
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    ShowUnhandled = [](const QString& text) {
        AppMessageBox(text, QMessageBox::Critical, QMessageBox::Ok);
    };
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const QString text = ExceptionText(std::current_exception());
        if (!FShowing && ShowUnhandled) {
            FShowing = true;
            ShowUnhandled(text);
            FShowing = false;
        }
        return false;
    }
}

} // namespace tonalyx
