// Where the per-user settings live: organisation and application chosen so that the key
// ends in the product name ("…/Varnel Solutions/Tonalyx"; on Linux an INI file under the
// user's configuration folder, on Windows the registry).
#pragma once

#include <QSettings>

#include <memory>

namespace tonalyx {

std::unique_ptr<QSettings> OpenUserSettings();

} // namespace tonalyx
