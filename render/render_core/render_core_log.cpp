#include "render_core_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(RenderLog, "tonalyx.render", QtWarningMsg)
}
