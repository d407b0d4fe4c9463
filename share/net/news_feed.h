// The feed reader behind the main window's news timers: TInfoReadThread runs one read on a
// worker thread of its own, and TNewsFeed keeps the record and turns each read into the
// record the window stores. Both are created and used on the main thread.
#pragma once

#include "app_inform.h"

#include <QObject>

#include <chrono>
#include <functional>

namespace tonalyx {

// Reads the feed once per Start on a new worker thread and reports on the thread that
// created it. The worker does the network and parsing work only: it never touches a
// timer, a window or a record of the window; the result crosses to the main thread by a
// queued signal. At most one read runs at a time.
class TInfoReadThread : public QObject {
    Q_OBJECT
  public:
    // What the worker runs; ReadAppInform of the feed address by default. Called on the
    // worker thread.
    using TReader = std::function<TFeedResult()>;

    explicit TInfoReadThread(TReader reader, QObject* parent = nullptr);
    // Leaves a read that still runs to finish by itself; its result is then dropped.
    ~TInfoReadThread() override;

    // Main thread. Starts a read unless one runs; false (and nothing started) when one does.
    bool Start();
    // Main thread. From Start until Done has been emitted.
    bool IsRunning() const { return FRunning; }

  signals:
    // Main thread, exactly once for every read Start began.
    void Done(const tonalyx::TFeedResult& result);

  private:
    TReader FReader;
    bool FRunning = false;
};

// The window's feed: Start on every tick of tmCheckNews, Finished with the record to keep.
class TNewsFeed : public QObject {
    Q_OBJECT
  public:
    // feedUrl: FeedUrl(ServerRootUrl()). timeout bounds each read (tests shorten it).
    explicit TNewsFeed(const QString& feedUrl,
                       std::chrono::milliseconds timeout = DefaultHttpTimeout,
                       QObject* parent = nullptr);

    // Main thread: a tick of tmCheckNews. Clears Ready of the record and starts a read,
    // unless one runs (then the tick does nothing and false comes back). A window keeping
    // a copy of the record clears its Ready as well when this returns true.
    bool Start();
    bool IsReading() const { return FReader.IsRunning(); }
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

    TAppInform FInform;
    TInfoReadThread FReader;
};

} // namespace tonalyx

Q_DECLARE_METATYPE(tonalyx::TFeedResult)
Q_DECLARE_METATYPE(tonalyx::TAppInform)
