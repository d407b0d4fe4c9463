// The window library's log: tonalyx.window, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.window.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(WindowLog)
}
