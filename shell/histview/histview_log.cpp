#include "histview_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(HistViewLog, "tonalyx.histview", QtWarningMsg)
}
