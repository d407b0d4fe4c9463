#include "news_presenter.h"

#include "appmessagebox.h"
#include "links.h"
#include "named_timer.h"
#include "server_address.h"
#include "ustate.h"

#include <QTimer>

namespace tonalyx {

TNewsPresenter::TNewsPresenter(std::function<TState*()> state, QObject* parent)
    : QObject(parent), FFeed(FeedUrl(ServerRootUrl())),
      FCheck(NamedTimer("tmCheckNews", CheckNewsFirstInterval, this)),
      FShow(NamedTimer("tmShowNews", ShowNewsInterval, this)), FState(std::move(state)) {
    ShowNews = [](const QString& text, bool withLink) {
        return AppMessageBox(text, QMessageBox::Information,
                             withLink ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok) ==
               QMessageBox::Ok;
    };
    connect(FCheck, &QTimer::timeout, this, &TNewsPresenter::tmCheckNewsTimer);
    connect(FShow, &QTimer::timeout, this, &TNewsPresenter::tmShowNewsTimer);
    connect(&FFeed, &TNewsFeed::Finished, this, &TNewsPresenter::InfoReadDone);
    FCheck->start();
}

void TNewsPresenter::Stop() {
    FStopped = true;
    FCheck->stop();
    FShow->stop();
}

QDate TNewsPresenter::LastShown() const {
    const TState* state = FState();
    return state ? DateFromDayValue(state->LastShowNewsDate()) : QDate();
}

void TNewsPresenter::tmCheckNewsTimer() {
    if (FFeed.Start())
        FAppInform.Ready = false;
}

void TNewsPresenter::InfoReadDone(const TAppInform& inform, bool ok) {
    FAppInform = inform;
    FCheck->setInterval(NextCheckNewsInterval(ok));
    if (ok && !FStopped)
        FShow->start();
    emit InformChanged();
}

void TNewsPresenter::tmShowNewsTimer() {
    const TNewsAction action = NewsAction(FAppInform, LastShown());
    if (action == TNewsAction::Wait)
        return;
    FShow->stop();
    if (action == TNewsAction::Skip)
        return;
    // Stored before the box opens: each item is shown once even if the program ends meanwhile.
    if (TState* state = FState())
        state->SetLastShowNewsDate(DayValueFromDate(FAppInform.LastNews.NewsDate));
    const TLastNews news = FAppInform.LastNews;
    const bool withLink = action == TNewsAction::ShowWithLink;
    if (ShowNews(news.Text, withLink) && withLink)
        OpenLink(LinkLiteral, news.Link);
}

} // namespace tonalyx
