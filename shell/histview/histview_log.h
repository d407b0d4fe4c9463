// The histview library's log: tonalyx.histview, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.histview.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(HistViewLog)
}
