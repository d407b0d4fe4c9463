#include "appmessagebox.h"

#include "names.h"

namespace tonalyx {

QMessageBox::StandardButton AppMessageBox(const QString& text, QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons) {
    if (text.isEmpty())
        return QMessageBox::NoButton;
    QMessageBox box(icon, DisplayName(), text, buttons);
    box.setTextFormat(Qt::PlainText); // texts from the network must not bring markup or links
    const int pressed = box.exec();
    return static_cast<QMessageBox::StandardButton>(pressed);
}

} // namespace tonalyx
