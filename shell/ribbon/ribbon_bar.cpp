#include "ribbon_bar.h"

#include "ribbon_app_menu.h"
#include "ribbon_button.h"
#include "ribbon_group_popup.h"
#include "ribbon_key_tip_mode.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "ribbon_tabs.h"
#include "ribbon_text.h"

#include <QAction>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>

namespace ribbon {

TRibbonBar::TRibbonBar(QWidget* parent) : QWidget(parent), FStyle(new TRibbonStyle(this)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Title row: the quick access toolbar; the title is painted centred over the row.
    FTitleRow = new QHBoxLayout;
    FTitleRow->setContentsMargins(4, 2, 4, 2);
    FQuickAccess = new TRibbonQuickAccess(FStyle, this);
    FTitleRow->addWidget(FQuickAccess);
    FTitleRow->addStretch(1);
    root->addLayout(FTitleRow);

    // Tab row.
    FTabRow = new QHBoxLayout;
    FTabRow->setContentsMargins(4, 0, 4, 0);
    FTabRow->setSpacing(2);
    FAppButton = new TRibbonAppButton(QString(), FStyle, this);
    FTabRow->addWidget(FAppButton, 0, Qt::AlignBottom);
    FTabs = new TRibbonTabBar(FStyle, this);
    FTabRow->addWidget(FTabs, 0, Qt::AlignBottom);
    FTabRow->addStretch(1);
    FMinimizeAction = new QAction(QStringLiteral("Minimize the Ribbon"), this);
    FMinimizeAction->setCheckable(true);
    FMinimizeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F1));
    FMinimizeAction->setToolTip(QStringLiteral("Show only the tab names on the ribbon"));
    addAction(FMinimizeAction); // the bar's own command: its shortcut works wherever the bar is
    connect(FMinimizeAction, &QAction::toggled, this, &TRibbonBar::SetMinimized);
    FMinimizeButton = new TRibbonChevronButton(FMinimizeAction, FStyle, this);
    FTabRow->addWidget(FMinimizeButton, 0, Qt::AlignVCenter);
    root->addLayout(FTabRow);

    FPages = new QStackedWidget(this);
    root->addWidget(FPages);

    FAppMenu = new TRibbonAppMenu(FStyle, this);
    connect(FAppButton, &QAbstractButton::clicked, this, &TRibbonBar::OpenAppMenu);
    connect(FAppMenu, &TRibbonAppMenu::aboutToShow, this, [this] { FAppButton->SetOpen(true); });
    connect(FAppMenu, &TRibbonAppMenu::aboutToHide, this, [this] { FAppButton->SetOpen(false); });
    connect(FAppMenu, &TRibbonAppMenu::recentItemClicked, this, &TRibbonBar::recentItemClicked);
    FAppShortcut = new QShortcut(this);
    FAppShortcut->setContext(Qt::WindowShortcut);
    connect(FAppShortcut, &QShortcut::activated, this, &TRibbonBar::OpenAppMenu);
    SetAppMenuKeyTip(FKeyTip);

    FQuickAccess->AddMenuAction(FMinimizeAction);

    connect(FTabs, &TRibbonTabBar::currentChanged, this, [this](int index) {
        FPages->setCurrentIndex(index);
        emit currentTabChanged(index);
    });
    connect(FTabs, &TRibbonTabBar::tabDoubleClicked, this, [this] { SetMinimized(!FMinimized); });
    connect(FStyle, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
    FKeyTips = new TRibbonKeyTipMode(this);
}

// ---------------------------------------------------------------- pages and tabs

TRibbonPage* TRibbonBar::AddPage(const QString& caption) {
    auto* page = new TRibbonPage(caption, FStyle, FPages);
    FPages->addWidget(page);
    FTabs->AddTab(caption);
    FPages->setCurrentIndex(FTabs->CurrentIndex());
    updateGeometry();
    return page;
}

int TRibbonBar::PageCount() const {
    return FPages->count();
}

TRibbonPage* TRibbonBar::Page(int index) const {
    return qobject_cast<TRibbonPage*>(FPages->widget(index));
}

int TRibbonBar::CurrentTab() const {
    return FTabs->CurrentIndex();
}

void TRibbonBar::SetCurrentTab(int index) {
    FTabs->SetCurrentIndex(index);
}

// ---------------------------------------------------------------- folding

void TRibbonBar::SetMinimized(bool minimized) {
    if (minimized == FMinimized)
        return;
    FMinimized = minimized;
    FPages->setVisible(!minimized);
    FTabs->SetPageShown(!minimized);
    FMinimizeAction->setChecked(minimized);
    FMinimizeAction->setToolTip(minimized
                                    ? QStringLiteral("Show the ribbon's pages")
                                    : QStringLiteral("Show only the tab names on the ribbon"));
    updateGeometry();
    update();
    emit minimizedChanged(minimized);
}

// ---------------------------------------------------------------- application menu

void TRibbonBar::SetAppMenuCaption(const QString& caption) {
    FAppButton->SetCaption(caption);
}

QString TRibbonBar::AppMenuCaption() const {
    return FAppButton->Caption();
}

void TRibbonBar::SetAppMenuKeyTip(QChar key) {
    FKeyTip = key.toUpper();
    FAppShortcut->setKey(QKeySequence(QStringLiteral("Alt+") + FKeyTip));
    FAppButton->setToolTip(QStringLiteral("Alt+") + FKeyTip);
}

void TRibbonBar::OpenAppMenu() {
    if (FAppMenu->isVisible())
        return;
    FAppMenu->Popup(FAppButton->mapToGlobal(QPoint(0, FAppButton->height())), FAppButton);
}

bool TRibbonBar::IsAppMenuOpen() const {
    return FAppMenu->isVisible();
}

void TRibbonBar::AddRecentItem(const QString& caption) {
    FAppMenu->AddRecentItem(caption);
}

QStringList TRibbonBar::RecentItems() const {
    return FAppMenu->RecentItems();
}

void TRibbonBar::ClearRecentItems() {
    FAppMenu->ClearRecentItems();
}

// ---------------------------------------------------------------- help button

void TRibbonBar::SetHelpAction(QAction* action) {
    delete FHelpButton;
    FHelpButton = nullptr;
    if (!action)
        return;
    FHelpButton = new TRibbonQuickButton(action, action->text(), FStyle, this);
    FTabRow->addWidget(FHelpButton, 0, Qt::AlignVCenter);
}

QAction* TRibbonBar::HelpAction() const {
    return FHelpButton ? FHelpButton->Action() : nullptr;
}

// ---------------------------------------------------------------- title

void TRibbonBar::SetCaption(const QString& caption) {
    FCaption = caption;
    update();
}

void TRibbonBar::SetDocumentName(const QString& name) {
    FDocumentName = name;
    update();
}

QString TRibbonBar::TitleText() const {
    return RibbonTitleText(FDocumentName, FCaption);
}

// ---------------------------------------------------------------- theme

void TRibbonBar::SetTheme(TRibbonTheme theme) {
    const int tab = CurrentTab();
    if (!FStyle->SetTheme(theme))
        return;
    // Every widget of the bar and of the menu repaints through the style's signal; the
    // page in view stays the one the user had.
    SetCurrentTab(tab);
    emit themeChanged(theme);
}

TRibbonTheme TRibbonBar::Theme() const {
    return FStyle->Theme();
}

const TRibbonThemeColours& TRibbonBar::Colours() const {
    return FStyle->Colours();
}

// ---------------------------------------------------------------- keyboard

QList<QWidget*> TRibbonBar::TabStops() const {
    QList<QWidget*> stops;
    for (int i = 0; i < FQuickAccess->ItemCount(); ++i)
        stops << FQuickAccess->ItemButton(i);
    stops << FAppButton << FTabs << FMinimizeButton;
    if (FHelpButton)
        stops << FHelpButton;
    for (int i = 0; i < PageCount(); ++i)
        for (TRibbonGroup* group : Page(i)->Groups()) {
            stops << group->DropButton();
            for (TRibbonButton* button : group->Buttons())
                stops << button;
        }
    return stops;
}

void TRibbonBar::SetTabOrderAfter(QWidget* first) {
    for (QWidget* stop : TabStops()) {
        QWidget::setTabOrder(first, stop);
        first = stop;
    }
}

// ---------------------------------------------------------------- the rest

QList<QAction*> TRibbonBar::Actions() const {
    QList<QAction*> actions;
    auto take = [&actions](QAction* action) {
        if (action && !actions.contains(action))
            actions.append(action);
    };
    for (int i = 0; i < PageCount(); ++i)
        for (const TRibbonGroup* group : Page(i)->Groups())
            for (const TRibbonButton* button : group->Buttons())
                take(button->Action());
    for (const TRibbonMenuItem* item : FAppMenu->Items())
        take(item->Action());
    for (const TRibbonMenuItem* item : FAppMenu->FooterButtons())
        take(item->Action());
    for (int i = 0; i < FQuickAccess->ItemCount(); ++i)
        take(FQuickAccess->ItemAction(i));
    take(HelpAction());
    return actions;
}

QSize TRibbonBar::sizeHint() const {
    return QWidget::sizeHint().expandedTo(QSize(400, 0));
}

void TRibbonBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    const QRect title = FTitleRow->geometry();
    const QRect tabs = FTabRow->geometry();
    p.fillRect(QRect(0, 0, width(), title.bottom() + 1), colours.TitleRow);
    p.fillRect(QRect(0, tabs.top(), width(), tabs.height()), colours.TabRow);
    p.setPen(colours.Frame);
    p.drawLine(0, tabs.bottom(), width() - 1, tabs.bottom());

    // The title, centred over the whole width and kept clear of the toolbar.
    const int side = FQuickAccess->geometry().right() + 12;
    const QRect room(side, title.top(), width() - 2 * side, title.height());
    if (room.width() > 0) {
        p.setPen(colours.TitleText);
        p.drawText(room, Qt::AlignCenter,
                   fontMetrics().elidedText(TitleText(), Qt::ElideMiddle, room.width()));
    }
}

void TRibbonBar::contextMenuEvent(QContextMenuEvent* e) {
    FQuickAccess->PopupMenu(e->globalPos());
}

} // namespace ribbon
