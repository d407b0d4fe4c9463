#include "widgets_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(WidgetsLog, "tonalyx.widgets", QtWarningMsg)
}
