// The ribbon's three looks: the theme enumeration, the colours of each theme (one table,
// the only place a ribbon colour is written down) and the holder of the theme in use.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>

namespace ribbon {

// Stored as one byte in the window state; the values are fixed.
enum TRibbonTheme : std::uint8_t { rtLuna = 0, rtObsidan = 1, rtSilver = 2 };

inline constexpr int RibbonThemeCount = 3;

// True for 0, 1 and 2.
bool IsRibbonTheme(int value);
// The name the user sees: "Luna", "Obsidian", "Silver"; empty for a value outside 0..2.
QString RibbonThemeName(TRibbonTheme theme);

// Everything the ribbon paints, for one theme.
struct TRibbonThemeColours {
    // Title row (quick access toolbar and the title) and the tab row below it.
    QColor TitleRow;
    QColor TitleText;
    QColor TabRow;
    QColor TabText;
    QColor TabHover; // an unselected tab under the mouse
    QColor TabSelectedText;
    QColor Frame; // outline of the selected tab and of the page

    // The page under the tabs and its groups.
    QColor PageTop; // the selected tab is filled with this colour too
    QColor PageBottom;
    QColor GroupCaptionText;
    QColor GroupEdge; // the line between two groups
    QColor Separator; // the line between two items of a group

    // Buttons of the page, the quick access toolbar and the application menu.
    QColor ButtonText;
    QColor ButtonDisabledText;
    QColor ButtonHover;
    QColor ButtonHoverEdge;
    QColor ButtonPressed;
    QColor ButtonPressedEdge;
    QColor ButtonChecked;
    QColor ButtonCheckedEdge;

    // The application menu button left of the tabs.
    QColor AppButton;
    QColor AppButtonHover;
    QColor AppButtonText;

    // The application menu's popup.
    QColor MenuBackground;     // left column
    QColor MenuSideBackground; // right column (recent images)
    QColor MenuEdge;
    QColor MenuHeaderText;
    QColor MenuText;
    QColor MenuFooter; // strip of the bottom buttons

    // The frame round the item that has the keyboard focus, and the key tips' labels.
    QColor FocusFrame;
    QColor KeyTipBackground;
    QColor KeyTipEdge;
    QColor KeyTipText;

    // Background of the window's content under the ribbon (the panels round the document);
    // the ribbon itself never paints it.
    QColor Workspace;
};

// The colours of a theme; a value outside 0..2 gives Luna's.
const TRibbonThemeColours& RibbonThemeColours(TRibbonTheme theme);

// Fill colours for generated command icons, chosen by a key so that one glyph always
// gets the same colour; never an invalid colour.
QColor RibbonIconFill(const QString& key);
// The colour of the glyph painted on a generated icon.
QColor RibbonIconGlyph();

// The theme in use by one ribbon. Every ribbon widget reads its colours from here when it
// paints and repaints when the theme changes.
class TRibbonStyle : public QObject {
    Q_OBJECT
  public:
    explicit TRibbonStyle(QObject* parent = nullptr);

    TRibbonTheme Theme() const { return FTheme; }
    const TRibbonThemeColours& Colours() const { return RibbonThemeColours(FTheme); }
    // Switches to theme and emits changed(); a value outside 0..2 changes nothing and
    // returns false.
    bool SetTheme(TRibbonTheme theme);

  signals:
    void changed();

  private:
    TRibbonTheme FTheme = rtLuna;
};

} // namespace ribbon
