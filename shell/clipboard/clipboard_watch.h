// The clipboard as the window uses it: whether it offers a picture, told whenever that
// changes, and the picture itself, taken without waiting on the clipboard's owner. Main
// thread.
#pragma once

#include "clipboard_reader.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>

class QTimer;

namespace tonalyx {

class TClipboardWatch final : public QObject {
    Q_OBJECT
  public:
    // Asks once at once, then on every reported change, or every 100 ms (tmMain) where
    // changes are not reported. One question is out at a time: a reported change drops the
    // one still out (a new owner is asked, whatever the last one does), a poll meanwhile
    // asks again when it is answered.
    explicit TClipboardWatch(QObject* parent,
                             std::unique_ptr<TClipboardReader> reader = MakeClipboardReader());
    ~TClipboardWatch() override;

    // What the last answer said; a failed question leaves it as it was.
    bool HoldsPicture() const { return FHoldsPicture; }
    // Takes the clipboard's picture and reports it once, on this thread (within the call
    // where the platform answers at once). False, and no report, while another is taken.
    bool TakePicture(std::function<void(TOutcome<QImage>)> report);
    bool Taking() const { return FTaking; }
    // Drops the picture being taken: its report never comes. False when none was.
    bool CancelTake();
    // Asks no more and drops the reports still to come (the window closes).
    void Stop();

  signals:
    void Changed(bool holdsPicture);

  private:
    void Ask();
    void AskAnew();
    void Answered(const TOutcome<bool>& holds);

    std::unique_ptr<TClipboardReader> FReader;
    QTimer* tmMain;
    bool FHoldsPicture = false;
    bool FAsking = false;
    bool FAskAgain = false;
    bool FTaking = false;
    bool FStopped = false;
};

} // namespace tonalyx
