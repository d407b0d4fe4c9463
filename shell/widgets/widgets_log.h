// The widgets library's log: tonalyx.widgets, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.widgets.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(WidgetsLog)
}
