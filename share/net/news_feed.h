// The feed reader behind the main window's news timers: TNewsFeed reads the feed on a
// worker of its own and turns each read into the record the window stores. Created and
// used on the main thread.
#pragma once

#include "app_inform.h"
#include "background_tasks.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <stop_token>

namespace tonalyx {

// The window's feed: Start on every tick of tmCheckNews, Finished with the record to keep.
// The read does the network and parsing work only: it never touches a timer, a window or a
// record of the window; its result comes back to the main thread by the worker's report.
// At most one read runs at a time; one still running when the feed is destroyed is cancelled
// at once (its transfer aborted) and reports nothing.
class TNewsFeed : public QObject {
    Q_OBJECT
  public:
    // What a read runs, on the worker thread; it ends soon after cancel is stopped.
    using TReader = std::function<TFeedResult(std::stop_token cancel)>;

    // feedUrl: FeedUrl(ServerRootUrl()). timeout bounds each read (tests shorten it).
    explicit TNewsFeed(const QString& feedUrl,
                       std::chrono::milliseconds timeout = DefaultHttpTimeout,
                       QObject* parent = nullptr);
    // Reads with reader instead (tests).
    explicit TNewsFeed(TReader reader, QObject* parent = nullptr);

    // Main thread: a tick of tmCheckNews. Clears Ready of the record and starts a read,
    // unless one runs (then the tick does nothing and false comes back). A window keeping
    // a copy of the record clears its Ready as well when this returns true.
    bool Start();
    bool IsReading() const { return FReading; }
    // Main thread. The record as the last read left it.
    const TAppInform& Inform() const { return FInform; }

  signals:
    // Main thread, once for every read Start began. inform is what the window keeps as
    // AppInform: the new record, Ready, when ok; else the previous values with Ready
    // cleared. The window then sets tmCheckNews to NextCheckNewsInterval(ok) and, when ok,
    // starts tmShowNews.
    void Finished(const tonalyx::TAppInform& inform, bool ok);

  private:
    void ReadDone(const TFeedResult& result);

    const TReader FReader;
    TAppInform FInform;
    bool FReading = false;
    TBackgroundTasks FTasks; // last: its destructor ends a read before the rest goes
};

} // namespace tonalyx

Q_DECLARE_METATYPE(tonalyx::TAppInform)
