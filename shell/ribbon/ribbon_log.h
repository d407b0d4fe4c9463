// The ribbon library's log: tonalyx.ribbon, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.ribbon.debug=true").
#pragma once

#include <QLoggingCategory>

namespace ribbon {
Q_DECLARE_LOGGING_CATEGORY(RibbonLog)
}
