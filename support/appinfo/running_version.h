// The version the program shows of itself (the welcome panel, the about box).
#pragma once

#include <QString>

namespace tonalyx {

// "major.minor.release" of the running executable; empty when it cannot be looked up.
QString RunningShortVersion();

} // namespace tonalyx
