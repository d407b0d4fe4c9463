// A window holding a ribbon like a photo program's, and helpers shared by the ribbon's
// widget tests. The tests of one executable make the application object once.
#pragma once

#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_icon.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "ribbon_tabs.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <ostream>

// Readable failure messages for Qt types.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}
inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << c.name().toStdString();
}
inline void PrintTo(QChar c, std::ostream* os) {
    *os << '\'' << QString(c).toStdString() << '\'' << " (" << static_cast<int>(c.unicode()) << ')';
}

namespace ribbon::test {

// A window holding a ribbon with the commands of the program's main window: tab "Main"
// with groups "Image" and "Histogram", tab "Help", six quick access items and the
// application menu. Like the real window, it adds every action to itself.
struct TRibbonWindow {
    QWidget Window;
    TRibbonBar* Bar;
    QAction* Open;
    QAction* Save;
    QAction* Paste;
    QAction* PasteQat;
    QAction* Prev;
    QAction* Next;
    QAction* Rgb;
    QAction* Hsv;
    QAction* Help;
    QAction* About;
    QAction* Exit;
    QAction* Options;
    TRibbonGroup* Image;
    TRibbonGroup* Histogram;
    TRibbonGroup* HelpGroup;

    TRibbonWindow() {
        auto* layout = new QVBoxLayout(&Window);
        layout->setContentsMargins(0, 0, 0, 0);
        Bar = new TRibbonBar(&Window);
        layout->addWidget(Bar);
        layout->addStretch(1);

        Open = Make("Open Image", QKeySequence(Qt::CTRL | Qt::Key_O));
        Open->setToolTip(QStringLiteral("Open Image File"));
        Save = Make("Save Histogram", QKeySequence(Qt::CTRL | Qt::Key_S));
        Paste = Make("Paste Image", QKeySequence(Qt::CTRL | Qt::Key_V));
        Paste->setToolTip(QStringLiteral("Paste Image from Clipboard"));
        PasteQat = Make("Paste Image", {});
        PasteQat->setToolTip(QStringLiteral("Paste Image from Clipboard"));
        Prev = Make("Previous Image", {});
        Next = Make("Next Image", {});
        Rgb = Make("RGB", {}, true);
        Hsv = Make("HSV", {}, true);
        Help = Make("Help Topic F1", QKeySequence(Qt::Key_F1));
        About = Make("About", {});
        Exit = Make("E&xit", {});
        Options = Make("Options", {});

        TRibbonPage* main = Bar->AddPage(QStringLiteral("Main"));
        Image = main->AddGroup(QStringLiteral("Image"));
        Image->AddButton(Open, QStringLiteral("&Open Image"));
        Image->AddButton(Save, QStringLiteral("&Save Histogram"));
        Image->AddSeparator();
        Image->AddButton(Paste, QStringLiteral("&Paste Image"));
        Image->AddSeparator();
        Image->AddButton(Prev, QStringLiteral("P&revious Image"));
        Image->AddButton(Next, QStringLiteral("&Next Image"));
        Histogram = main->AddGroup(QStringLiteral("Histogram"));
        Histogram->AddButton(Rgb, QStringLiteral("&RGB"));
        Histogram->AddButton(Hsv, QStringLiteral("&Lab "));
        HelpGroup = Bar->AddPage(QStringLiteral("Help"))->AddGroup(QStringLiteral("Help"));
        HelpGroup->AddButton(Help, QStringLiteral("&Help Topic F1"));
        HelpGroup->AddSeparator();
        HelpGroup->AddButton(About, QStringLiteral("&About"));

        TRibbonQuickAccess* qat = Bar->QuickAccess();
        qat->AddItem(Open);
        qat->AddItem(Save);
        qat->AddItem(PasteQat, QString(), false);
        qat->AddItem(Prev);
        qat->AddItem(Next);

        TRibbonAppMenu* menu = Bar->AppMenu();
        menu->AddItem(Open, QStringLiteral("&Open Image"));
        menu->AddItem(Paste, QStringLiteral("&Paste Image"));
        menu->AddSeparator();
        menu->AddItem(About, QStringLiteral("&About"));
        menu->AddFooterButton(Exit);
        menu->AddFooterButton(Options);

        Bar->SetHelpAction(Help);
        Bar->SetAppMenuCaption(QStringLiteral("File"));
        Window.addActions(Bar->Actions());
        Window.resize(900, 300);
    }

    QAction* Make(const char* text, const QKeySequence& shortcut, bool checkable = false) {
        auto* action = new QAction(RibbonIcon(QString(), QString(QChar(text[0]))),
                                   QString::fromLatin1(text), &Window);
        action->setShortcut(shortcut);
        action->setCheckable(checkable);
        action->setChecked(checkable);
        return action;
    }

    // Shows the window and makes it the active one, as keyboard tests need.
    bool ShowActive() {
        Window.show();
        Window.activateWindow();
        return QTest::qWaitForWindowActive(&Window);
    }

    TRibbonButton* ButtonOf(QAction* action) const {
        for (TRibbonButton* b : Bar->findChildren<TRibbonButton*>())
            if (b->Action() == action)
                return b;
        return nullptr;
    }
};

// The menu that a right click has popped up, if any.
inline QMenu* OpenPopupMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

inline QColor PixelAt(QWidget& w, const QPoint& pos) {
    const QImage image = w.grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(
        QPoint(static_cast<int>(pos.x() * dpr), static_cast<int>(pos.y() * dpr)));
}

// A point of the tab row right of the tabs, where only the row's background shows.
inline QPoint EmptyTabRowPoint(const TRibbonBar& bar) {
    const QRect tabs = bar.TabBar()->geometry();
    return {tabs.right() + 40, tabs.center().y()};
}

} // namespace ribbon::test
