// The folder a picture was last opened from through the open dialog, kept across runs as
// the value "Open Folder" of its own (the 48-byte window record has no room for it).
#pragma once

#include <QString>

class QSettings;

namespace tonalyx {

// Empty when nothing usable is stored.
QString LoadLastOpenFolder(const QSettings& settings);
// An empty folder changes nothing; failures to write are swallowed.
void SaveLastOpenFolder(QSettings& settings, const QString& folder);

} // namespace tonalyx
