#include "news_presenter.h"

#include "appmessagebox.h"
#include "links.h"
#include "server_address.h"

#include <QTimer>

namespace tonalyx {

TNewsPresenter::TNewsPresenter(QTimer* tmCheckNews, QTimer* tmShowNews,
                               std::function<QDate()> lastShown,
                               std::function<void(QDate)> setLastShown, QObject* parent)
    : QObject(parent), FFeed(FeedUrl(ServerRootUrl())), FCheck(tmCheckNews), FShow(tmShowNews),
      FLastShown(std::move(lastShown)), FSetLastShown(std::move(setLastShown)) {
    ShowNews = [](const QString& text, bool withLink) {
        return AppMessageBox(text, QMessageBox::Information,
                             withLink ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok) ==
               QMessageBox::Ok;
    };
    FCheck->setInterval(CheckNewsFirstInterval);
    FShow->setInterval(ShowNewsInterval);
    connect(&FFeed, &TNewsFeed::Finished, this, &TNewsPresenter::InfoReadDone);
}

void TNewsPresenter::tmCheckNewsTimer() {
    if (FFeed.Start())
        FAppInform.Ready = false;
}

void TNewsPresenter::InfoReadDone(const TAppInform& inform, bool ok) {
    FAppInform = inform;
    FCheck->setInterval(NextCheckNewsInterval(ok));
    if (ok)
        FShow->start();
    emit InformChanged();
}

void TNewsPresenter::tmShowNewsTimer() {
    const TNewsAction action = NewsAction(FAppInform, FLastShown());
    if (action == TNewsAction::Wait)
        return;
    FShow->stop();
    if (action == TNewsAction::Skip)
        return;
    // Stored before the box opens: each item is shown once even if the program ends meanwhile.
    FSetLastShown(FAppInform.LastNews.NewsDate);
    const TLastNews news = FAppInform.LastNews;
    const bool withLink = action == TNewsAction::ShowWithLink;
    if (ShowNews(news.Text, withLink) && withLink)
        OpenLink(LinkLiteral, news.Link);
}

} // namespace tonalyx
