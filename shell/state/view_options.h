// The View tab's choices, remembered from one run to the next in the settings group "View",
// apart from the 48-byte record (which they leave as it is). One table names each choice's
// key and default; a choice the tab gains later is a row of it. Main thread only.
#pragma once

#include <span>

class QSettings;

namespace tonalyx {

struct TViewOptions {
    bool LogScale = false;  // the histograms' count axis is logarithmic
    bool Clipping = false;  // the clipped pixels are painted over the picture
    bool Raw = false;       // a raw file's sensor histogram is shown under the others
    bool RawLinear = false; // that histogram's axis is the raw values, not stops below white
    friend bool operator==(const TViewOptions&, const TViewOptions&) = default;
};

struct TViewOptionKey {
    const char* Key; // under "View/"
    bool TViewOptions::*Field;
};
// Every remembered choice; a missing or unreadable value keeps the default of TViewOptions.
std::span<const TViewOptionKey> ViewOptionKeys();

// The remembered choices; a value that is not a boolean is logged (tonalyx.state, at debug
// level) and left at its default.
TViewOptions LoadViewOptions(const QSettings& settings);
// Writes every choice; the settings file is written when settings is done with, as the
// window's other settings are.
void SaveViewOptions(QSettings& settings, const TViewOptions& options);

} // namespace tonalyx
