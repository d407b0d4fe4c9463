#include "help_about.h"

#include "about_box.h"
#include "commands.h"
#include "help_file.h"
#include "names.h"
#include "news_presenter.h"
#include "running_version.h"
#include "share_commands.h"
#include "share_links.h"
#include "welcome_panel.h"

#include <QLabel>
#include <QToolButton>

namespace tonalyx {

namespace {

QIcon ButtonIcon(const QWidget* panel, const char* name) {
    const auto* b = panel->findChild<QToolButton*>(QString::fromLatin1(name));
    return b ? b->icon() : QIcon();
}

} // namespace

int NetworkOfButton(const QObject* button) {
    const int network = button ? SocNetIndex(button->objectName()) : SocNetLink;
    return network == SocNetLink ? SocNetFacebook : network;
}

THelpAbout::THelpAbout(THelpAboutParts parts, QObject* parent) : QObject(parent) {
    const auto* logo = parts.Welcome->findChild<QLabel*>(QStringLiteral("imProdLogo"));
    TNewsPresenter* news = parts.News;
    FAbout = new TAB(parts.MainWindow,
                     {logo ? logo->pixmap() : QPixmap(),
                      MakerName(),
                      {ButtonIcon(parts.Welcome, "tbTellFB"), ButtonIcon(parts.Welcome, "tbTellGP"),
                       ButtonIcon(parts.Welcome, "tbTellTW")},
                      RunningShortVersion,
                      [news] { return news->AppInform().LastVersion; }});
    TShareCommands* share = parts.Share;
    connect(FAbout, &TAB::tbSocNetTellClick, share,
            [share](QObject* b) { share->tbSocNetTellClick(NetworkOfButton(b)); });
    connect(FAbout, &TAB::tbSocNetFollowClick, share,
            [share](QObject* b) { share->tbSocNetFollowClick(NetworkOfButton(b)); });
    connect(parts.Welcome, &TWelcomePanel::HelpIndexClicked, this, &THelpAbout::acHelpTopicExecute);
    parts.Commands->Bind(THandlerId::acHelpTopicExecute,
                         [this](QAction*) { acHelpTopicExecute(); });
    parts.Commands->Bind(THandlerId::acAboutExecute, [this](QAction*) { acAboutExecute(); });
}

void THelpAbout::acHelpTopicExecute() {
    OpenHelp();
}

void THelpAbout::acAboutExecute() {
    FAbout->exec();
}

} // namespace tonalyx
