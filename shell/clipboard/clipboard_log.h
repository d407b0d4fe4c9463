// The clipboard library's log: tonalyx.clipboard, quiet below warnings unless
// QT_LOGGING_RULES asks for more (an owner that did not answer is told at debug level).
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(ClipboardLog)
}
