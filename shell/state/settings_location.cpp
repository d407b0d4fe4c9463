#include "settings_location.h"

#include "names.h"
#include "scrambled.h"

namespace tonalyx {

namespace {

// The leading piece of the key; QSettings adds the platform's own root ("Software").
constexpr TScrambled ScrambledOrganisation(u"Varnel Solutions");

} // namespace

std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       ScrambledOrganisation.Text(), ProductName());
}

} // namespace tonalyx
