#include "open_folder.h"

#include <QSettings>

namespace tonalyx {

namespace {

const QString OpenFolderValue = QStringLiteral("Open Folder");

} // namespace

QString LoadLastOpenFolder(const QSettings& settings) {
    const QVariant stored = settings.value(OpenFolderValue);
    return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
}

void SaveLastOpenFolder(QSettings& settings, const QString& folder) {
    if (folder.isEmpty())
        return;
    settings.setValue(OpenFolderValue, folder);
    settings.sync();
}

} // namespace tonalyx
