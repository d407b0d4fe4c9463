#include "ribbon_log.h"

namespace ribbon {
Q_LOGGING_CATEGORY(RibbonLog, "tonalyx.ribbon", QtWarningMsg)
}
