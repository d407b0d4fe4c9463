#include "appinfo_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(AppInfoLog, "tonalyx.appinfo", QtWarningMsg)
}
