// Reading the clipboard without waiting on the program that owns it. The platform decides
// how: on X11 the owner is asked over a connection of our own on a worker, with a time-out;
// elsewhere the toolkit's clipboard is read at once, where it is local or announces its
// formats before anyone asks. Main thread.
#pragma once

#include "outcome.h"

#include <QImage>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace tonalyx {

// The only places that touch the toolkit's clipboard pictures. An empty clipboard may answer
// with no data at all; a picture that cannot be read gives a null image.
bool ClipboardHoldsPicture();
QImage ClipboardPicture();
// Puts a picture only on the clipboard: no PNG and no text format of ours.
void SetClipboardPicture(const QImage& picture);

// Whether the named platform plugin tells a program of the clipboard changes of every
// program (QClipboard::dataChanged); where it does not, the clipboard is polled.
bool ReportsClipboardChanges(const QString& platformName);

// The picture formats that can be read, as clipboard format names, the preferred first
// (PNG, then BMP, then the others the image readers know).
QStringList ReadablePictureFormats();
// The first of readable that offered holds; empty when none.
QString PictureFormatOffered(const QStringList& offered, const QStringList& readable);

class TClipboardReader {
  public:
    virtual ~TClipboardReader() = default;
    // Each call reports once on the main thread, within the call or from the event loop,
    // unless the reader is gone first. A failure means the clipboard could not be asked.
    virtual void AskHoldsPicture(std::function<void(TOutcome<bool>)> report) = 0;
    // A null image: what the clipboard offers cannot be read as a picture.
    virtual void FetchPicture(std::function<void(TOutcome<QImage>)> report) = 0;
    // Drop the report still to come of the questions, or of the pictures, asked so far; a
    // worker that asks the owner stops soon after.
    virtual void CancelQuestions() = 0;
    virtual void CancelPictures() = 0;
    void CancelAll() {
        CancelQuestions();
        CancelPictures();
    }
};

// The toolkit's clipboard, answering within the call.
std::unique_ptr<TClipboardReader> MakeToolkitClipboardReader();
// The X11 clipboard of display (empty: $DISPLAY), asked on a worker; an owner may stay
// silent for timeout and take whole for all of an answer. Where this program owns the
// clipboard, local (if any) reads it.
std::unique_ptr<TClipboardReader> MakeX11ClipboardReader(const QByteArray& display,
                                                         std::chrono::milliseconds timeout,
                                                         std::chrono::milliseconds whole,
                                                         std::unique_ptr<TClipboardReader> local);
// The reader for the running platform.
std::unique_ptr<TClipboardReader> MakeClipboardReader();

} // namespace tonalyx
