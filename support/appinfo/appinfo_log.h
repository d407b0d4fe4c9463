// The appinfo library's log: tonalyx.appinfo, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.appinfo.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(AppInfoLog)
}
