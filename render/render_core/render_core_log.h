// The render_core library's log: tonalyx.render, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.render.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(RenderLog)
}
