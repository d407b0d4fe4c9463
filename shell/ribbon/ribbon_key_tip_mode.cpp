#include "ribbon_key_tip_mode.h"

#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_group_popup.h"
#include "ribbon_key_tips.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "ribbon_tabs.h"
#include "ribbon_theme.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace ribbon {

// The labels, drawn over the widget that holds their items (the bar, or the application
// menu's popup). It covers its host and lets every click through.
class TRibbonKeyTipOverlay : public QWidget {
  public:
    TRibbonKeyTipOverlay(QWidget* host, const TRibbonStyle* style)
        : QWidget(host), FHost(host), FStyle(style) {
        setObjectName(QStringLiteral("ribbonKeyTips"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        QFont bold = font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 0.9);
        setFont(bold);
        host->installEventFilter(this);
        hide();
    }

    void SetTips(QList<TRibbonKeyTip> tips) {
        FTips = std::move(tips);
        setGeometry(FHost->rect());
        raise();
        setVisible(!FTips.isEmpty());
        update();
    }

    // Where tip's label goes in this widget; empty while its anchor is hidden.
    QRect LabelRect(const TRibbonKeyTip& tip) const {
        QWidget* anchor = tip.Anchor;
        if (!anchor || !anchor->isVisible() || !FHost->isAncestorOf(anchor))
            return {};
        const QFontMetrics fm = fontMetrics();
        const int h = fm.height() + 2;
        const QSize size(std::max(h, fm.horizontalAdvance(tip.Text) + 8), h);
        const QRect own = tip.Area ? tip.Area() : anchor->rect();
        const QRect area(anchor->mapTo(FHost, own.topLeft()), own.size());
        QPoint centre;
        switch (tip.Place) {
        case TRibbonKeyTipPlace::Under:
            centre = {area.center().x(), area.bottom()};
            break;
        case TRibbonKeyTipPlace::Centre:
            centre = area.center();
            break;
        case TRibbonKeyTipPlace::InRow:
            centre = {area.left() + 2 + size.width() / 2 + tip.Slot * (size.width() + 2),
                      area.bottom() - h / 2 - 1};
            break;
        }
        QRect label(QPoint(0, 0), size);
        label.moveCenter(centre);
        // Kept whole inside the host, which clips its children.
        label.moveLeft(std::clamp(label.left(), 0, std::max(0, width() - label.width())));
        label.moveTop(std::clamp(label.top(), 0, std::max(0, height() - label.height())));
        return label;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == FHost && e->type() == QEvent::Resize)
            setGeometry(FHost->rect());
        return false;
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const TRibbonThemeColours& colours = FStyle->Colours();
        for (const TRibbonKeyTip& tip : std::as_const(FTips)) {
            const QRect label = LabelRect(tip);
            if (label.isEmpty())
                continue;
            p.setPen(colours.KeyTipEdge);
            p.setBrush(colours.KeyTipBackground);
            p.drawRoundedRect(QRectF(label).adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
            QColor text = colours.KeyTipText;
            if (!tip.Enabled())
                text.setAlpha(115);
            p.setPen(text);
            p.drawText(label, Qt::AlignCenter, tip.Text);
        }
    }

  private:
    QWidget* FHost;
    const TRibbonStyle* FStyle;
    QList<TRibbonKeyTip> FTips;
};

namespace {

bool IsModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}

// Keys that keep their meaning while labels show.
bool IsNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

// The letter or digit a key types, upper-cased; empty for any other key.
QString TypedCharacter(const QKeyEvent& e) {
    const QString text = e.text();
    if (text.size() == 1 && text[0].isLetterOrNumber())
        return text.toUpper();
    const int key = e.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return QString(QChar(key));
    return {};
}

// The widget a key goes to first; the copies that travel up to its parents are not looked at.
QWidget* KeyReceiver(QWidget* window) {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    return window;
}

QString Digit(int n) {
    return QString::number(n);
}

// The tips with the texts the assignment gives their requests, one request per tip.
QList<TRibbonKeyTip> Labelled(QList<TRibbonKeyTip> tips, const QList<TKeyTipRequest>& requests) {
    const QStringList texts = RibbonKeyTips(requests);
    for (qsizetype i = 0; i < tips.size(); ++i)
        tips[i].Text = texts[i];
    return tips;
}

} // namespace

TRibbonKeyTipMode::TRibbonKeyTipMode(TRibbonBar* bar)
    : QObject(bar), FBar(bar), FBarOverlay(new TRibbonKeyTipOverlay(bar, bar->Style())) {
    qApp->installEventFilter(this);
    // The menu closes by a click outside, by one of its items or by Escape of its own.
    connect(bar->AppMenu(), &TRibbonAppMenu::aboutToHide, this, [this] {
        if (FLevel == TRibbonKeyTipLevel::AppMenu && !FLeaving)
            Stop();
    });
}

QStringList TRibbonKeyTipMode::ShownTips() const {
    QStringList shown;
    for (const TRibbonKeyTip& tip : FTips)
        if (tip.Text.startsWith(FTyped))
            shown << tip.Text;
    return shown;
}

void TRibbonKeyTipMode::Start() {
    if (!FBar->isVisible() || !FBar->isEnabled())
        return;
    Enter(TRibbonKeyTipLevel::Top);
}

void TRibbonKeyTipMode::Stop() {
    if (FLevel == TRibbonKeyTipLevel::Off)
        return;
    FLevel = TRibbonKeyTipLevel::Off;
    FTips.clear();
    FTyped.clear();
    ShowTips();
    Refold();
    emit levelChanged(FLevel);
}

void TRibbonKeyTipMode::Refold() {
    if (FRefold) {
        FRefold = false;
        FBar->SetMinimized(true);
    }
}

void TRibbonKeyTipMode::Enter(TRibbonKeyTipLevel level) {
    FLevel = level;
    FTyped.clear();
    switch (level) {
    case TRibbonKeyTipLevel::Top:
        Refold();
        FTips = TopTips();
        break;
    case TRibbonKeyTipLevel::Page:
        if (FBar->IsMinimized()) { // the page shows while its labels do
            FRefold = true;
            FBar->SetMinimized(false);
        }
        FTips = PageTips();
        break;
    case TRibbonKeyTipLevel::AppMenu:
        FTips = AppMenuTips();
        break;
    case TRibbonKeyTipLevel::Off:
        FTips.clear();
        break;
    }
    ShowTips();
    emit levelChanged(level);
}

void TRibbonKeyTipMode::Relabel() {
    if (FLevel == TRibbonKeyTipLevel::Top)
        FTips = TopTips();
    else if (FLevel == TRibbonKeyTipLevel::Page)
        FTips = PageTips();
    ShowTips();
}

void TRibbonKeyTipMode::ShowTips() {
    QList<TRibbonKeyTip> shown;
    for (const TRibbonKeyTip& tip : std::as_const(FTips))
        if (tip.Text.startsWith(FTyped))
            shown << tip;
    const bool inMenu = FLevel == TRibbonKeyTipLevel::AppMenu;
    if (inMenu && !FMenuOverlay)
        FMenuOverlay = new TRibbonKeyTipOverlay(FBar->AppMenu(), FBar->Style());
    FBarOverlay->SetTips(inMenu ? QList<TRibbonKeyTip>() : shown);
    if (FMenuOverlay)
        FMenuOverlay->SetTips(inMenu ? shown : QList<TRibbonKeyTip>());
}

// ---------------------------------------------------------------- the labels of each level

QList<TRibbonKeyTip> TRibbonKeyTipMode::TopTips() {
    QList<TRibbonKeyTip> tips;
    QList<TKeyTipRequest> requests;

    tips.append({{}, FBar->AppButton(), {}, TRibbonKeyTipPlace::Under, 0, {}, [this] {
                     FBar->OpenAppMenu();
                     Enter(TRibbonKeyTipLevel::AppMenu);
                 }});
    requests.append({QString(), QString(FBar->AppMenuKeyTip())});

    TRibbonTabBar* tabs = FBar->TabBar();
    for (int i = 0; i < FBar->PageCount(); ++i) {
        const auto tab = [tabs, i] { return tabs->TabRect(i); };
        tips.append({{}, tabs, tab, TRibbonKeyTipPlace::Under, 0, {}, [this, i] {
                         FBar->SetCurrentTab(i);
                         Enter(TRibbonKeyTipLevel::Page);
                     }});
        requests.append({tabs->TabCaption(i), FBar->Page(i)->KeyTip()});
    }

    // Quick access items are numbered as they stand, the hidden ones left out.
    TRibbonQuickAccess* qat = FBar->QuickAccess();
    for (int i = 0, n = 0; i < qat->ItemCount(); ++i) {
        TRibbonQuickButton* button = qat->ItemButton(i);
        if (!button->IsWantedAndVisible())
            continue;
        ++n;
        tips.append({{}, button, {}, TRibbonKeyTipPlace::Under, 0, button, [this, button] {
                         Stop();
                         if (QAction* action = button->Action())
                             action->trigger();
                     }});
        requests.append({button->Caption(), n <= 9 ? Digit(n) : QString()});
    }

    return Labelled(std::move(tips), requests);
}

QList<TRibbonKeyTip> TRibbonKeyTipMode::PageTips() {
    QList<TRibbonKeyTip> tips;
    QList<TKeyTipRequest> requests;
    const TRibbonPage* page = FBar->Page(FBar->CurrentTab());
    if (!page)
        return tips;
    for (TRibbonGroup* group : page->Groups()) {
        // A folded group's buttons are hidden; their labels line up on its drop-down.
        const bool folded = group->Mode() == TRibbonGroupMode::Collapsed;
        int slot = 0;
        for (TRibbonButton* button : group->Buttons()) {
            if (!button->IsWantedAndVisible())
                continue;
            TRibbonKeyTip tip;
            if (folded) {
                tip.Anchor = group->DropButton();
                tip.Place = TRibbonKeyTipPlace::InRow;
                tip.Slot = slot++;
            } else {
                // On the icon: the caption stays readable.
                tip.Anchor = button;
                tip.Area = [button] { return button->IconRect(); };
                tip.Place = button->ButtonSize() == TRibbonButtonSize::Large
                                ? TRibbonKeyTipPlace::Under
                                : TRibbonKeyTipPlace::Centre;
            }
            tip.Item = button;
            tip.Pick = [this, button] {
                Stop();
                if (QAction* action = button->Action(); action && action->isEnabled())
                    action->trigger();
            };
            tips.append(tip);
            requests.append({button->Caption(), button->KeyTip()});
        }
    }
    return Labelled(std::move(tips), requests);
}

QList<TRibbonKeyTip> TRibbonKeyTipMode::AppMenuTips() {
    QList<TRibbonKeyTip> tips;
    QList<TKeyTipRequest> requests;
    TRibbonAppMenu* menu = FBar->AppMenu();
    const auto clickLater = [this](QAbstractButton* button) {
        return [this, button] {
            Stop();
            button->click(); // closes the menu, then runs the command
        };
    };
    for (TRibbonMenuItem* item : menu->Items() + menu->FooterButtons()) {
        if (!item->IsWantedAndVisible())
            continue;
        tips.append({{},
                     item,
                     [item] { return item->IconRect(); },
                     TRibbonKeyTipPlace::Centre,
                     0,
                     item,
                     clickLater(item)});
        requests.append({item->Caption(), item->KeyTip()});
    }
    for (int i = 0; i < 9 && menu->RecentButton(i); ++i) {
        QAbstractButton* recent = menu->RecentButton(i);
        // On the number at the entry's left.
        const auto number = [recent] { return QRect(4, 0, recent->height(), recent->height()); };
        tips.append({{}, recent, number, TRibbonKeyTipPlace::Centre, 0, {}, clickLater(recent)});
        requests.append({QString(), Digit(i + 1)});
    }
    return Labelled(std::move(tips), requests);
}

// ---------------------------------------------------------------- keys and the rest

bool TRibbonKeyTipMode::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        if (watched->isWidgetType() && watched == KeyReceiver(FBar->window()))
            return HandleKey(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(e));
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
        FAltAlone = false;
        Stop();
        return false;
    case QEvent::WindowDeactivate:
        if (watched == FBar->window()) {
            FAltAlone = false;
            if (FLevel != TRibbonKeyTipLevel::AppMenu) // the menu's popup does not count
                Stop();
        }
        return false;
    case QEvent::Resize:
        // The buttons take another look when the bar's width changes: place the labels anew
        // once the bar has laid itself out.
        if (watched == FBar &&
            (FLevel == TRibbonKeyTipLevel::Top || FLevel == TRibbonKeyTipLevel::Page))
            QTimer::singleShot(0, this, [this] { Relabel(); });
        return false;
    case QEvent::ApplicationDeactivate:
        FAltAlone = false;
        Stop();
        return false;
    default:
        return false;
    }
}

bool TRibbonKeyTipMode::HandleKey(QWidget* receiver, QKeyEvent* e) {
    const int key = e->key();
    const QEvent::Type type = e->type();
    const QWidget* window = receiver->window();
    const bool ours = FLevel == TRibbonKeyTipLevel::AppMenu ? window == FBar->AppMenu()
                                                            : window == FBar->window();
    if (!ours)
        return false;

    // Alt pressed and released with nothing between starts or ends the labels.
    if (key == Qt::Key_Alt) {
        if (e->isAutoRepeat())
            return false;
        if (type == QEvent::KeyPress) {
            FAltAlone = (e->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) == 0;
        } else if (type == QEvent::KeyRelease && FAltAlone) {
            FAltAlone = false;
            if (FLevel == TRibbonKeyTipLevel::Off)
                Start();
            else
                Stop();
            return true;
        }
        return false;
    }
    if (type == QEvent::KeyRelease || IsModifierKey(key))
        return false;
    FAltAlone = false; // Alt was a modifier this time (Alt+F, Alt+Left, ...)

    if (FLevel == TRibbonKeyTipLevel::Off || IsNavigationKey(key))
        return false;
    // ShortcutOverride is answered "mine" for the keys the labels use, so that no shortcut
    // takes them before their key press arrives.
    const bool override = type == QEvent::ShortcutOverride;
    if (key == Qt::Key_Escape) {
        if (override)
            e->accept();
        else
            Back();
        return true;
    }
    const Qt::KeyboardModifiers mods = e->modifiers();
    const QString typed = TypedCharacter(*e);
    if (!typed.isEmpty() && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        if (override)
            e->accept();
        else
            Type(typed);
        return true;
    }
    Stop(); // any other key goes where it would have gone
    return false;
}

void TRibbonKeyTipMode::Type(const QString& c) {
    const QString typed = FTyped + c;
    bool begins = false;
    for (const TRibbonKeyTip& tip : std::as_const(FTips)) {
        if (tip.Text == typed) {
            FTyped.clear();
            if (!tip.Enabled()) {
                ShowTips();
                return;
            }
            const std::function<void()> pick = tip.Pick; // FTips changes under it
            pick();
            return;
        }
        begins = begins || tip.Text.startsWith(typed);
    }
    if (begins) {
        FTyped = typed;
        ShowTips();
    }
    // A key no label begins with is swallowed; the labels stay.
}

void TRibbonKeyTipMode::Back() {
    if (!FTyped.isEmpty()) {
        FTyped.clear();
        ShowTips();
        return;
    }
    switch (FLevel) {
    case TRibbonKeyTipLevel::AppMenu:
        FLeaving = true;
        FBar->AppMenu()->hide();
        FLeaving = false;
        Enter(TRibbonKeyTipLevel::Top);
        break;
    case TRibbonKeyTipLevel::Page:
        Enter(TRibbonKeyTipLevel::Top);
        break;
    default:
        Stop();
    }
}

} // namespace ribbon
