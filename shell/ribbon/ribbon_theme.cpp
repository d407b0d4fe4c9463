#include "ribbon_theme.h"

#include <array>

namespace ribbon {

namespace {

// One row per theme, in the order of TRibbonTheme. Luna is blue, Obsidian dark graphite
// with light text, Silver light grey. The workspace colours of Obsidian and Silver are the
// image panel colours the window has always had; Luna's is the soft blue of an inactive
// window caption gradient.
const std::array<TRibbonThemeColours, RibbonThemeCount> ThemeTable{{
    // Luna
    {
        .TitleRow = QColor(0xdb, 0xe7, 0xf4),
        .TitleText = QColor(0x1e, 0x39, 0x5b),
        .TabRow = QColor(0xcb, 0xdc, 0xf0),
        .TabText = QColor(0x15, 0x42, 0x8b),
        .TabHover = QColor(0xe4, 0xee, 0xfa),
        .TabSelectedText = QColor(0x15, 0x42, 0x8b),
        .Frame = QColor(0x8d, 0xb2, 0xe3),
        .PageTop = QColor(0xf5, 0xf9, 0xfe),
        .PageBottom = QColor(0xdb, 0xe7, 0xf6),
        .GroupCaptionText = QColor(0x3e, 0x6a, 0xaa),
        .GroupEdge = QColor(0xa7, 0xc3, 0xe8),
        .Separator = QColor(0xb4, 0xcb, 0xe8),
        .ButtonText = QColor(0x15, 0x42, 0x8b),
        .ButtonDisabledText = QColor(0x93, 0xa5, 0xbe),
        .ButtonHover = QColor(0xff, 0xef, 0xbb),
        .ButtonHoverEdge = QColor(0xe3, 0xc0, 0x6a),
        .ButtonPressed = QColor(0xfc, 0xc9, 0x7a),
        .ButtonPressedEdge = QColor(0xc2, 0x91, 0x3b),
        .ButtonChecked = QColor(0xff, 0xd9, 0x94),
        .ButtonCheckedEdge = QColor(0xd2, 0xa0, 0x4c),
        .AppButton = QColor(0x2b, 0x5f, 0xaa),
        .AppButtonHover = QColor(0x3a, 0x73, 0xc4),
        .AppButtonText = QColor(0xff, 0xff, 0xff),
        .MenuBackground = QColor(0xfb, 0xfc, 0xfe),
        .MenuSideBackground = QColor(0xed, 0xf3, 0xfb),
        .MenuEdge = QColor(0x8d, 0xb2, 0xe3),
        .MenuHeaderText = QColor(0x15, 0x42, 0x8b),
        .MenuText = QColor(0x1e, 0x39, 0x5b),
        .MenuFooter = QColor(0xdb, 0xe7, 0xf6),
        .FocusFrame = QColor(0x1e, 0x4f, 0x9c),
        .KeyTipBackground = QColor(0x24, 0x3a, 0x5e),
        .KeyTipEdge = QColor(0x10, 0x22, 0x40),
        .KeyTipText = QColor(0xff, 0xff, 0xff),
        .Workspace = QColor(0xd7, 0xe4, 0xf2),
    },
    // Obsidan
    {
        .TitleRow = QColor(0x2a, 0x2c, 0x2f),
        .TitleText = QColor(0xe6, 0xe7, 0xe8),
        .TabRow = QColor(0x36, 0x39, 0x3d),
        .TabText = QColor(0xe4, 0xe6, 0xe8),
        .TabHover = QColor(0x46, 0x4a, 0x4f),
        .TabSelectedText = QColor(0xff, 0xff, 0xff),
        .Frame = QColor(0x5e, 0x63, 0x69),
        .PageTop = QColor(0x4b, 0x4f, 0x54),
        .PageBottom = QColor(0x3c, 0x3f, 0x43),
        .GroupCaptionText = QColor(0xbf, 0xc5, 0xcc),
        .GroupEdge = QColor(0x61, 0x66, 0x6c),
        .Separator = QColor(0x66, 0x6b, 0x71),
        .ButtonText = QColor(0xf2, 0xf3, 0xf4),
        .ButtonDisabledText = QColor(0x88, 0x8d, 0x93),
        .ButtonHover = QColor(0x5d, 0x63, 0x6a),
        .ButtonHoverEdge = QColor(0x7d, 0x85, 0x8e),
        .ButtonPressed = QColor(0x2d, 0x6a, 0xb0),
        .ButtonPressedEdge = QColor(0x4c, 0x8b, 0xd4),
        .ButtonChecked = QColor(0x2f, 0x5c, 0x92),
        .ButtonCheckedEdge = QColor(0x47, 0x7b, 0xb8),
        .AppButton = QColor(0x1f, 0x6f, 0xb2),
        .AppButtonHover = QColor(0x2b, 0x82, 0xcc),
        .AppButtonText = QColor(0xff, 0xff, 0xff),
        .MenuBackground = QColor(0x3b, 0x3e, 0x42),
        .MenuSideBackground = QColor(0x32, 0x35, 0x38),
        .MenuEdge = QColor(0x5e, 0x63, 0x69),
        .MenuHeaderText = QColor(0xff, 0xff, 0xff),
        .MenuText = QColor(0xee, 0xef, 0xf0),
        .MenuFooter = QColor(0x2c, 0x2e, 0x31),
        .FocusFrame = QColor(0x9c, 0xc8, 0xff),
        .KeyTipBackground = QColor(0xf2, 0xf3, 0xf4),
        .KeyTipEdge = QColor(0x9c, 0xa3, 0xab),
        .KeyTipText = QColor(0x20, 0x23, 0x27),
        .Workspace = QColor(214, 222, 225),
    },
    // Silver
    {
        .TitleRow = QColor(0xef, 0xf1, 0xf4),
        .TitleText = QColor(0x3c, 0x42, 0x49),
        .TabRow = QColor(0xe1, 0xe5, 0xea),
        .TabText = QColor(0x3c, 0x42, 0x49),
        .TabHover = QColor(0xf3, 0xf5, 0xf8),
        .TabSelectedText = QColor(0x20, 0x26, 0x2d),
        .Frame = QColor(0xb4, 0xbb, 0xc5),
        .PageTop = QColor(0xfd, 0xfd, 0xfe),
        .PageBottom = QColor(0xea, 0xed, 0xf1),
        .GroupCaptionText = QColor(0x5f, 0x68, 0x72),
        .GroupEdge = QColor(0xc8, 0xcd, 0xd4),
        .Separator = QColor(0xd0, 0xd5, 0xdb),
        .ButtonText = QColor(0x2b, 0x30, 0x36),
        .ButtonDisabledText = QColor(0xa3, 0xa9, 0xb0),
        .ButtonHover = QColor(0xde, 0xe9, 0xf6),
        .ButtonHoverEdge = QColor(0xa4, 0xbe, 0xde),
        .ButtonPressed = QColor(0xc2, 0xd6, 0xef),
        .ButtonPressedEdge = QColor(0x7d, 0x9f, 0xcb),
        .ButtonChecked = QColor(0xd0, 0xe0, 0xf3),
        .ButtonCheckedEdge = QColor(0x8e, 0xae, 0xd6),
        .AppButton = QColor(0x4a, 0x6a, 0x94),
        .AppButtonHover = QColor(0x5a, 0x7d, 0xab),
        .AppButtonText = QColor(0xff, 0xff, 0xff),
        .MenuBackground = QColor(0xff, 0xff, 0xff),
        .MenuSideBackground = QColor(0xf3, 0xf5, 0xf8),
        .MenuEdge = QColor(0xb4, 0xbb, 0xc5),
        .MenuHeaderText = QColor(0x2b, 0x30, 0x36),
        .MenuText = QColor(0x2b, 0x30, 0x36),
        .MenuFooter = QColor(0xe6, 0xe9, 0xed),
        .FocusFrame = QColor(0x3a, 0x5a, 0x86),
        .KeyTipBackground = QColor(0x3c, 0x42, 0x49),
        .KeyTipEdge = QColor(0x20, 0x26, 0x2d),
        .KeyTipText = QColor(0xff, 0xff, 0xff),
        .Workspace = QColor(235, 241, 241),
    },
}};

// Fills of generated icons: saturated enough to read on every page colour.
const std::array<QColor, 8> IconFills{{
    QColor(0x3b, 0x7d, 0xd8),
    QColor(0x2f, 0xa5, 0x72),
    QColor(0xe0, 0x82, 0x3d),
    QColor(0x8e, 0x5c, 0xc4),
    QColor(0xd9, 0x53, 0x4f),
    QColor(0x1f, 0xa3, 0xb5),
    QColor(0xc9, 0x9a, 0x22),
    QColor(0x5b, 0x6b, 0x7c),
}};

} // namespace

bool IsRibbonTheme(int value) {
    return value >= 0 && value < RibbonThemeCount;
}

QString RibbonThemeName(TRibbonTheme theme) {
    switch (theme) {
    case rtLuna:
        return QStringLiteral("Luna");
    case rtObsidan:
        return QStringLiteral("Obsidian");
    case rtSilver:
        return QStringLiteral("Silver");
    }
    return {};
}

const TRibbonThemeColours& RibbonThemeColours(TRibbonTheme theme) {
    return ThemeTable[IsRibbonTheme(theme) ? theme : rtLuna];
}

QColor RibbonIconFill(const QString& key) {
    // A fixed sum of the characters, not qHash: the colour must not change between runs.
    unsigned sum = 0;
    for (const QChar c : key)
        sum = sum * 31u + c.unicode();
    return IconFills[sum % IconFills.size()];
}

QColor RibbonIconGlyph() {
    return QColor(0xff, 0xff, 0xff);
}

TRibbonStyle::TRibbonStyle(QObject* parent) : QObject(parent) {}

bool TRibbonStyle::SetTheme(TRibbonTheme theme) {
    if (!IsRibbonTheme(theme))
        return false;
    FTheme = theme;
    emit changed();
    return true;
}

} // namespace ribbon
