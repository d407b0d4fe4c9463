// The open command's question: which picture to open. Runs the open dialog modally where the
// user expects it to start (see OpenDialogStartFolder) and remembers the folder of the
// chosen file for the next run.
#pragma once

#include <QSettings>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace tonalyx {

// current is the path of the picture shown (sCurrFile); openSettings opens the per-user
// settings. The chosen path, or empty when the user cancelled.
QString AskImageToOpen(QWidget* parent, const QString& current,
                       const std::function<std::unique_ptr<QSettings>()>& openSettings);

} // namespace tonalyx
