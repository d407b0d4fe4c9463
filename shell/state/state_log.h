// The state library's log: tonalyx.state, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.state.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(StateLog)
}
