#include "news_feed.h"

#include <QThread>

#include <memory>

namespace tonalyx {

TInfoReadThread::TInfoReadThread(TReader reader, QObject* parent)
    : QObject(parent), FReader(std::move(reader)) {}

TInfoReadThread::~TInfoReadThread() = default;

bool TInfoReadThread::Start() {
    if (FRunning)
        return false;
    FRunning = true;
    // Written by the worker before it ends, read on the main thread after QThread::finished,
    // which the thread's end orders after the write.
    auto result = std::make_shared<TFeedResult>();
    QThread* worker = QThread::create([reader = FReader, result] {
        try {
            *result = reader();
        } catch (const std::exception& e) {
            result->Ok = false;
            result->Error = QString::fromUtf8(e.what());
        } catch (...) {
            result->Ok = false;
            result->Error = QStringLiteral("The feed could not be read");
        }
    });
    // The worker's QThread object lives on the main thread and deletes itself there once
    // the thread has ended; with this object gone first, the connection below is cut and
    // the result is dropped.
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(
        worker, &QThread::finished, this,
        [this, result] {
            FRunning = false;
            emit Done(*result);
        },
        Qt::QueuedConnection);
    worker->start();
    return true;
}

TNewsFeed::TNewsFeed(const QString& feedUrl, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent),
      FReader([feedUrl, timeout] { return ReadAppInform(THttpClient(timeout), feedUrl); }) {
    connect(&FReader, &TInfoReadThread::Done, this, &TNewsFeed::ReadDone);
}

bool TNewsFeed::Start() {
    if (FReader.IsRunning())
        return false;
    FInform.Ready = false;
    return FReader.Start();
}

void TNewsFeed::ReadDone(const TFeedResult& result) {
    FInform = ApplyFeedResult(FInform, result);
    emit Finished(FInform, result.Ok);
}

} // namespace tonalyx
