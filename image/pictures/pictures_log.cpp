#include "pictures_log.h"

namespace tonalyx {
Q_LOGGING_CATEGORY(PicturesLog, "tonalyx.pictures", QtWarningMsg)
}
