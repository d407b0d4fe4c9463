// The news and version feed in the main window: the ticks of tmCheckNews start a read, the
// finished read sets the timers, and the ticks of tmShowNews show a news item once. Owns
// both timers; tmCheckNews runs from creation. Main thread only; the reading itself runs on
// the feed's worker.
#pragma once

#include "news_feed.h"

#include <QDate>
#include <QObject>

#include <functional>

class QTimer;

namespace tonalyx {

class TState;

class TNewsPresenter final : public QObject {
    Q_OBJECT
  public:
    // Shows a news text; withLink offers OK and Cancel, else OK alone. True for OK.
    using TShowNews = std::function<bool(const QString& text, bool withLink)>;

    // The date of the last news shown lives in the window state, which state gives (none
    // once it is released at close).
    TNewsPresenter(std::function<TState*()> state, QObject* parent);

    TShowNews ShowNews; // AppMessageBox with the information icon by default
    const TAppInform& AppInform() const { return FAppInform; }

    void tmCheckNewsTimer();
    void tmShowNewsTimer();
    // Reads and shows no more (the window closes).
    void Stop();

  signals:
    // The record changed (a read finished): the about box and the Tell and Follow buttons
    // read it.
    void InformChanged();

  private:
    void InfoReadDone(const TAppInform& inform, bool ok);
    QDate LastShown() const;

    TNewsFeed FFeed;
    QTimer* FCheck;
    QTimer* FShow;
    std::function<TState*()> FState;
    TAppInform FAppInform;
    bool FStopped = false;
};

} // namespace tonalyx
