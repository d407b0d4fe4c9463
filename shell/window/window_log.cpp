#include "window_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(WindowLog, "tonalyx.window", QtWarningMsg)
}
