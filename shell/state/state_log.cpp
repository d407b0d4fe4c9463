#include "state_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(StateLog, "tonalyx.state", QtWarningMsg)
}
