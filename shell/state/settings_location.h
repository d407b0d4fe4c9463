// Where the per-user settings live: organisation and application chosen so that the key
// ends in the product name ("…/Varnel Solutions/Tonalyx"; on Linux an INI file under the
// user's configuration folder, on Windows the registry).
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace tonalyx {

// The user's settings. A settings file that is not a regular file (a FIFO, a device, a
// folder, a symbolic link to nothing or to one of those) is neither read nor written: the
// settings given back then read as empty and keep nothing, and a warning goes to the
// "tonalyx.state" log. A symbolic link to a regular file is followed both ways, so the
// file it points to is the one replaced on saving.
std::unique_ptr<QSettings> OpenUserSettings();

// The file OpenUserSettings reads and writes on systems that keep settings in files;
// empty where they are kept elsewhere (the registry).
QString UserSettingsFile();

// Why the file at path cannot hold settings ("is a FIFO", "is a symbolic link to a
// folder", …); empty when it can: a regular file, a symbolic link to one, or nothing yet
// (it is made on saving).
QString SettingsFileProblem(const QString& path);

} // namespace tonalyx
