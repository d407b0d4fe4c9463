#include "net_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(NetLog, "tonalyx.net", QtWarningMsg)
}
