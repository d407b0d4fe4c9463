// The net library's log: tonalyx.net, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.net.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(NetLog)
}
