// The panel_export library's log: tonalyx.panel_export, quiet below warnings unless
// QT_LOGGING_RULES asks for more ("tonalyx.panel_export.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(PanelExportLog)
}
