#include "running_version.h"

#include "ufileinfo.h"

#include <QCoreApplication>

namespace tonalyx {

QString RunningShortVersion() {
    try {
        return TFileInfo(QCoreApplication::applicationFilePath()).VersionStringShort();
    } catch (const TFileInfoError&) {
        return {}; // an executable that cannot be looked up has no version to show
    }
}

} // namespace tonalyx
