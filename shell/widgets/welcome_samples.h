// The welcome panel's sample pictures, drawn when the panel is made: small histograms that
// show at a glance what the two explanatory texts beside them say.
#pragma once

#include <QPixmap>

namespace tonalyx {

// Beside "Turn on desired histogram": the RGB, HSV and Lab histograms with their switches,
// two on and one off (its histogram greyed).
QPixmap HistogramChoiceSample(qreal devicePixelRatio = 1.0);
// Beside "Save histogram, copy it …": a histogram panel going to a file, the clipboard and
// the social networks.
QPixmap SharedPanelSample(qreal devicePixelRatio = 1.0);

} // namespace tonalyx
