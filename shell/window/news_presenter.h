// The news and version feed in the main window: the ticks of tmCheckNews start a read, the
// finished read sets the timers, and the ticks of tmShowNews show a news item once. Main
// thread only; the reading itself runs on the feed's worker.
#pragma once

#include "news_feed.h"

#include <QDate>
#include <QObject>

#include <functional>

class QTimer;

namespace tonalyx {

class TNewsPresenter final : public QObject {
    Q_OBJECT
  public:
    // Shows a news text; withLink offers OK and Cancel, else OK alone. True for OK.
    using TShowNews = std::function<bool(const QString& text, bool withLink)>;

    // The timers are the window's; the last shown date lives in the window state.
    TNewsPresenter(QTimer* tmCheckNews, QTimer* tmShowNews, std::function<QDate()> lastShown,
                   std::function<void(QDate)> setLastShown, QObject* parent);

    TShowNews ShowNews; // AppMessageBox with the information icon by default
    const TAppInform& AppInform() const { return FAppInform; }

    void tmCheckNewsTimer();
    void tmShowNewsTimer();

  signals:
    // The record changed (a read finished): the about box and the Tell and Follow buttons
    // read it.
    void InformChanged();

  private:
    void InfoReadDone(const TAppInform& inform, bool ok);

    TNewsFeed FFeed;
    QTimer* FCheck;
    QTimer* FShow;
    std::function<QDate()> FLastShown;
    std::function<void(QDate)> FSetLastShown;
    TAppInform FAppInform;
};

} // namespace tonalyx
