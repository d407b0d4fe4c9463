// Why a file could not be saved, in plain words for the user ("the disk is full", "no
// permission to write in /pics/"), from the error number of the call that failed.
#pragma once

#include <QString>

namespace tonalyx {

// The reason for errorNumber (an errno value; 0 when none was given) met while saving
// path. Never empty and never the system's "Unknown error".
QString SaveFailureReason(int errorNumber, const QString& path);

// Why a file could not be made at path, found by looking at the path itself: the folder is
// missing, a part of it is no folder, path is a folder, or the folder may not be written.
// 0 when none of these holds.
int CreateFailureCause(const QString& path);

} // namespace tonalyx
