#include "about_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(AboutLog, "tonalyx.about", QtWarningMsg)
}
