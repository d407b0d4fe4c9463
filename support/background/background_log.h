// The background library's log: tonalyx.background, quiet below warnings unless
// QT_LOGGING_RULES asks for more.
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(BackgroundLog)
}
