#include "background_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(BackgroundLog, "tonalyx.background", QtWarningMsg)
}
