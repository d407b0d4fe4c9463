#include "opening_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(OpeningLog, "tonalyx.opening", QtWarningMsg)
}
