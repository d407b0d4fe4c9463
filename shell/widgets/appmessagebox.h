// The program's message box: modal, without an owner window, captioned DisplayName().
#pragma once

#include <QMessageBox>
#include <QString>

namespace tonalyx {

// Shows text with the given icon and buttons and returns the button the user pressed.
// An empty text shows nothing and returns QMessageBox::NoButton (0).
QMessageBox::StandardButton AppMessageBox(const QString& text, QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons);

} // namespace tonalyx
