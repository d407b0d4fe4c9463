// The clipboard as the window uses it: whether it offers a picture, told whenever that
// changes, and the picture itself. Main thread.
#pragma once

#include <QImage>
#include <QObject>

#include <functional>

class QTimer;

namespace tonalyx {

// The only places that touch the clipboard's pictures. An empty clipboard may answer with
// no data at all; a picture that cannot be read gives a null image.
bool ClipboardHoldsPicture();
QImage ClipboardPicture();
// Puts a picture only on the clipboard: no PNG and no text format of ours.
void SetClipboardPicture(const QImage& picture);

// Whether the named platform plugin tells a program of the clipboard changes of every
// program (QClipboard::dataChanged); where it does not, the clipboard is polled.
bool ReportsClipboardChanges(const QString& platformName);

class TClipboardWatch final : public QObject {
    Q_OBJECT
  public:
    // Asks once at once, then on every reported change, or every 100 ms (tmMain) where
    // changes are not reported. query replaces ClipboardHoldsPicture in tests.
    explicit TClipboardWatch(QObject* parent, std::function<bool()> query = ClipboardHoldsPicture);

    bool HoldsPicture() const { return FHoldsPicture; }
    // Asks no more (the window closes).
    void Stop();

  signals:
    void Changed(bool holdsPicture);

  private:
    void Ask();

    std::function<bool()> FQuery;
    QTimer* tmMain;
    bool FHoldsPicture = false;
    bool FStopped = false;
};

} // namespace tonalyx
