#include "news_feed.h"

#include "net_log.h"

namespace tonalyx {

TNewsFeed::TNewsFeed(const QString& feedUrl, std::chrono::milliseconds timeout, QObject* parent)
    : TNewsFeed(
          [feedUrl, timeout](std::stop_token cancel) {
              return ReadAppInform(THttpClient(timeout), feedUrl, std::move(cancel));
          },
          parent) {}

TNewsFeed::TNewsFeed(TReader reader, QObject* parent)
    : QObject(parent), FReader(std::move(reader)) {}

bool TNewsFeed::Start() {
    if (FReading)
        return false;
    FReading = true;
    FInform.Ready = false;
    FTasks.Start([reader = FReader](std::stop_token cancel) { return reader(std::move(cancel)); },
                 [this](TFeedResult result) { ReadDone(result); });
    return true;
}

void TNewsFeed::ReadDone(const TFeedResult& result) {
    FReading = false;
    if (!result.Ok()) // the next tick tries again; the user is not told
        qCInfo(NetLog).noquote() << "the feed was not read:"
                                 << QString::fromStdString(DescribeFailure(result.Error()));
    FInform = ApplyFeedResult(FInform, result);
    emit Finished(FInform, result.Ok());
}

} // namespace tonalyx
