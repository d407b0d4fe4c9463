#include "main_ribbon.h"

#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"

#include <QMenu>

namespace tonalyx {

using namespace ribbon;

namespace {

using C = TCommandId;

constexpr TPlacement Separator{C::acOpenImageFile, nullptr, ""};

constexpr TPlacement ImageGroup[] = {
    {C::acOpenImageFile, "&Open Image", ""},
    {C::acSaveHist, "&Save Histogram", "", "SH"},
    Separator,
    {C::acSocNetHTML, "&Get Link", ""},
    {C::acSocNetFB, "S&hare via Facebook", "", "HF"},
    {C::acSocNetGP, "Shar&e via Google+", ""},
    {C::acSocNetTW, "Sh&are via Twitter", ""},
    Separator,
    {C::acCopyHist, "&Copy Histogram", ""},
    {C::acPasteImage, "&Paste Image", ""},
    Separator,
    {C::acPrevImage, "P&revious Image", "", "RP"},
    {C::acNextImage, "&Next Image", ""},
};

constexpr TPlacement HistogramGroup[] = {
    {C::acRGB, "&RGB", "", "RG"},
    {C::acHSV, "&HSV", "", "HS"},
    {C::acLab, "&Lab ", ""}, // the trailing blank is part of the caption
    Separator,
    {C::acSmoothingOn, "&Smoothing On/Off", "", "SM"},
};

// The View tab: how the picture and the histograms are looked at, without changing a count.
constexpr TPlacement PictureGroup[] = {
    {C::acShowClipping, "Show &Clipping", ""},
    {C::acWholePicture, "&Whole Picture", ""},
};

constexpr TPlacement CountAxisGroup[] = {
    {C::acLogScale, "&Logarithmic Counts", ""},
};

constexpr TPlacement RawGroup[] = {
    {C::acRawHistogram, "&Raw Histogram", ""},
    {C::acRawLinear, "Li&near Raw Values", ""},
    {C::acDevelopRaw, "&Develop Raw", ""},
};

constexpr TPlacement HelpGroup[] = {
    {C::acHelpTopic, "&Help Topic F1", ""},
    Separator,
    {C::acAbout, "&About", ""},
};

constexpr TGroupPlacement Groups[] = {
    {"rpMain", "Main", "rgImage", "Image", ImageGroup},
    {"rpMain", "Main", "rgHistogram", "Histogram", HistogramGroup},
    {"rpHelp", "Help", "rgHelp", "Help", HelpGroup},
    // Last, so the first two tabs keep their places.
    {"rpView", "View", "rgPicture", "Picture", PictureGroup},
    {"rpView", "View", "rgCountAxis", "Count Axis", CountAxisGroup},
    {"rpView", "View", "rgRaw", "Raw", RawGroup},
};

constexpr TPlacement AppMenu[] = {
    {C::acOpenImageFile, "&Open Image", ""},
    {C::acPasteImage, "&Paste Image", ""},
    Separator,
    {C::acAbout, "&About", ""},
    Separator,
    {C::acExit, "&Exit", ""},
};

constexpr TPlacement AppMenuFooter[] = {
    {C::FileExit2, "E&xit", ""},
    {C::acOptionsAppOptions, "Options", ""},
};

constexpr TPlacement QuickAccess[] = {
    {C::acOpenImageFileQAT, "", ""}, {C::acSaveHistQAT, "", ""},  {C::acCopyHistQAT, "", ""},
    {C::acPasteImageQAT, "", ""},    {C::acPrevImageQAT, "", ""}, {C::acNextImageQAT, "", ""},
};

constexpr TPlacement ContextMenu[] = {
    {C::acCopyHist, "Copy Histogram", "miCopyHistogram"},
    Separator,
    {C::acSocNetHTML, "Get Link to Histogram", "miGetLink"},
    {C::acSocNetFB, "Share Histogram via Facebook", "miShareviaFacebook"},
    {C::acSocNetGP, "Share Histogram via Google+", "miShareviaGoogle"},
    {C::acSocNetTW, "Share Histogram via Twitter", "miShareviaTwitter"},
};

constexpr TMainPlacements Placements{
    Groups, AppMenu, AppMenuFooter, QuickAccess, C::acPasteImageQAT, C::acHelpTopic, ContextMenu};

template <typename AddItem, typename AddSeparator>
void Place(std::span<const TPlacement> items, const TCommands& commands, AddItem add,
           AddSeparator separator) {
    for (const TPlacement& p : items) {
        if (p.IsSeparator())
            separator();
        else
            add(commands[p.Command], QString::fromUtf8(p.Caption), QString::fromLatin1(p.KeyTip));
    }
}

} // namespace

const TMainPlacements& MainPlacements() {
    return Placements;
}

void BuildMainRibbon(TRibbonBar& ribbon, const TCommands& commands) {
    TRibbonPage* page = nullptr;
    for (const TGroupPlacement& g : Placements.Groups) {
        if (!page || page->objectName() != QLatin1String(g.PageObjectName)) {
            page = ribbon.AddPage(QString::fromUtf8(g.PageCaption));
            page->setObjectName(QString::fromLatin1(g.PageObjectName));
        }
        TRibbonGroup* group = page->AddGroup(QString::fromUtf8(g.Caption));
        group->setObjectName(QString::fromLatin1(g.ObjectName));
        Place(
            g.Items, commands,
            [group](QAction* a, const QString& c, const QString& tip) {
                group->AddButton(a, c)->SetKeyTip(tip);
            },
            [group] { group->AddSeparator(); });
    }
    ribbon.SetHelpAction(commands[Placements.RibbonHelp]);

    TRibbonAppMenu* menu = ribbon.AppMenu();
    Place(
        Placements.AppMenu, commands,
        [menu](QAction* a, const QString& c, const QString& tip) {
            menu->AddItem(a, c)->SetKeyTip(tip);
        },
        [menu] { menu->AddSeparator(); });
    Place(
        Placements.AppMenuFooter, commands,
        [menu](QAction* a, const QString& c, const QString& tip) {
            menu->AddFooterButton(a, c)->SetKeyTip(tip);
        },
        [] {});
    ribbon.SetAppMenuCaption(QStringLiteral("File"));
    ribbon.SetAppMenuKeyTip(u'F');

    TRibbonQuickAccess* qat = ribbon.QuickAccess();
    qat->setObjectName(QStringLiteral("rbMain_QAT"));
    for (const TPlacement& p : Placements.QuickAccess)
        qat->AddItem(commands[p.Command], QString(),
                     p.Command != Placements.QuickAccessShortcutHidden);
}

void BuildContextMenu(QMenu& menu, const TCommands& commands) {
    for (const TPlacement& p : Placements.ContextMenu) {
        if (p.IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        QAction* command = commands[p.Command];
        QAction* mi = menu.addAction(command->icon(), QString::fromUtf8(p.Caption));
        mi->setObjectName(QString::fromLatin1(p.ObjectName));
        QObject::connect(mi, &QAction::triggered, command, &QAction::trigger);
    }
}

} // namespace tonalyx
