// The opening library's log: tonalyx.opening, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.opening.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(OpeningLog)
}
