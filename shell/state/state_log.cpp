#include "state_log.h"

namespace tonalyx {

Q_LOGGING_CATEGORY(lcState, "tonalyx.state", QtWarningMsg)

} // namespace tonalyx
