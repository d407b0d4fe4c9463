// The status bar's short texts that say what a command did, and the note on a picture
// whose file ends early. No widgets.
#pragma once

#include <QString>

namespace tonalyx {

// After Save Histogram wrote path: names the file, not its folder.
QString HistogramSavedText(const QString& path);
QString HistogramCopiedText();
// Get Link put the tag on the clipboard; the upload it names is still running.
QString LinkCopiedText();
// A network's share page was opened; the upload it shows is still running.
QString SharePageOpenedText();
// The server took the uploaded histogram.
QString HistogramUploadedText();
// The picture shown is decoded as far as its file goes.
QString IncompletePictureText();
// Every pixel of the picture is transparent: nothing is counted.
QString NothingCountedText();

} // namespace tonalyx
