#include "save_dialogs.h"

#include "appmessagebox.h"
#include "names.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tonalyx {

QString TSaveDialogsQt::AskSavePath(const QString& proposedName, const QString& folder) {
    QFileDialog sdMain(FOwner, QStringLiteral("Save Histogram"));
    sdMain.setObjectName(QStringLiteral("sdMain"));
    sdMain.setAcceptMode(QFileDialog::AcceptSave);
    sdMain.setFileMode(QFileDialog::AnyFile);
    sdMain.setNameFilter(QStringLiteral("PNG  Image (*.png)"));
    sdMain.setDefaultSuffix(QStringLiteral("png"));
    // The overwrite question is ours, asked once the final name (with .png) is known.
    sdMain.setOption(QFileDialog::DontConfirmOverwrite);
    sdMain.setSizeGripEnabled(true);
    if (!folder.isEmpty())
        sdMain.setDirectory(folder);
    sdMain.selectFile(proposedName);
    if (sdMain.exec() != QDialog::Accepted || sdMain.selectedFiles().isEmpty())
        return QString();
    return sdMain.selectedFiles().first();
}

bool TSaveDialogsQt::ConfirmOverwrite(const QString& path) {
    const QString text = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                             .arg(QDir::toNativeSeparators(path));
    return AppMessageBox(text, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void TSaveDialogsQt::ShowError(const QString& text) {
    AppMessageBox(text, QMessageBox::Critical, QMessageBox::Ok);
}

} // namespace tonalyx
