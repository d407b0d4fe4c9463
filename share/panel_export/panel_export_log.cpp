#include "panel_export_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(PanelExportLog, "tonalyx.panel_export", QtWarningMsg)
}
