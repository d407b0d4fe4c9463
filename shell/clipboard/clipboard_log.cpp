#include "clipboard_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(ClipboardLog, "tonalyx.clipboard", QtWarningMsg)
}
