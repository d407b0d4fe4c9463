// The pictures library's log: tonalyx.pictures, quiet below warnings unless QT_LOGGING_RULES asks
// for more ("tonalyx.pictures.debug=true").
#pragma once

#include <QLoggingCategory>

namespace tonalyx {
Q_DECLARE_LOGGING_CATEGORY(PicturesLog)
}
