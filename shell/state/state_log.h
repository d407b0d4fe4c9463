// The log category of what the remembered state passes over by design (a settings file
// that is not a regular file). Quiet below warnings unless QT_LOGGING_RULES says otherwise.
#pragma once

#include <QLoggingCategory>

namespace tonalyx {

Q_DECLARE_LOGGING_CATEGORY(lcState)

} // namespace tonalyx
