// The about library's log: tonalyx.about, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.about.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(AboutLog)
}
