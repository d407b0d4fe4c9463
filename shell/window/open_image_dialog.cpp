#include "open_image_dialog.h"

#include "open_dialog.h"
#include "open_folder.h"

#include <QFileInfo>

namespace tonalyx {

QString AskImageToOpen(QWidget* parent, const QString& current,
                       const std::function<std::unique_ptr<QSettings>()>& openSettings) {
    TOpenDialog dialog(parent, OpenDialogStartFolder(current, LoadLastOpenFolder(*openSettings())));
    if (const QString shown = OpenDialogPreselected(current); !shown.isEmpty())
        dialog.selectFile(shown);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    SaveLastOpenFolder(*openSettings(), QFileInfo(path).absolutePath());
    return path;
}

} // namespace tonalyx
