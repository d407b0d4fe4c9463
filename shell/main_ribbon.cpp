#include "shell/main_ribbon.h"

#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "shell/commands.h"

namespace tonalyx {

using namespace ribbon;

namespace {

// One entry of a group or menu: a command with the caption it shows there; an empty
// command name is a separator.
struct TPlacement {
    const char* Command;
    const char* Caption;
};

template <typename AddItem, typename AddSeparator>
void Place(std::initializer_list<TPlacement> items, const TCommands& commands, AddItem add,
           AddSeparator separator) {
    for (const TPlacement& p : items) {
        if (*p.Command == '\0')
            separator();
        else
            add(commands[QString::fromLatin1(p.Command)], QString::fromUtf8(p.Caption));
    }
}

void FillGroup(TRibbonGroup* group, std::initializer_list<TPlacement> items,
               const TCommands& commands) {
    Place(
        items, commands, [group](QAction* a, const QString& c) { group->AddButton(a, c); },
        [group] { group->AddSeparator(); });
}

} // namespace

void BuildMainRibbon(TRibbonBar& ribbon, const TCommands& commands) {
    TRibbonPage* rpMain = ribbon.AddPage(QStringLiteral("Main"));
    rpMain->setObjectName(QStringLiteral("rpMain"));
    TRibbonGroup* rgImage = rpMain->AddGroup(QStringLiteral("Image"));
    rgImage->setObjectName(QStringLiteral("rgImage"));
    FillGroup(rgImage,
              {{"acOpenImageFile", "&Open Image"},
               {"acSaveHist", "&Save Histogram"},
               {"", ""},
               {"acSocNetHTML", "&Get Link"},
               {"acSocNetFB", "S&hare via Facebook"},
               {"acSocNetGP", "Shar&e via Google+"},
               {"acSocNetTW", "Sh&are via Twitter"},
               {"", ""},
               {"acCopyHist", "&Copy Histogram"},
               {"acPasteImage", "&Paste Image"},
               {"", ""},
               {"acPrevImage", "P&revious Image"},
               {"acNextImage", "&Next Image"}},
              commands);
    TRibbonGroup* rgHistogram = rpMain->AddGroup(QStringLiteral("Histogram"));
    rgHistogram->setObjectName(QStringLiteral("rgHistogram"));
    FillGroup(rgHistogram,
              {{"acRGB", "&RGB"},
               {"acHSV", "&HSV"},
               {"acLab", "&Lab "},
               {"", ""},
               {"acSmoothingOn", "&Smoothing On/Off"}},
              commands);

    TRibbonPage* rpHelp = ribbon.AddPage(QStringLiteral("Help"));
    rpHelp->setObjectName(QStringLiteral("rpHelp"));
    TRibbonGroup* rgHelp = rpHelp->AddGroup(QStringLiteral("Help"));
    rgHelp->setObjectName(QStringLiteral("rgHelp"));
    FillGroup(rgHelp, {{"acHelpTopic", "&Help Topic F1"}, {"", ""}, {"acAbout", "&About"}},
              commands);
    ribbon.SetHelpAction(commands[QStringLiteral("acHelpTopic")]);

    TRibbonAppMenu* menu = ribbon.AppMenu();
    Place(
        {{"acOpenImageFile", "&Open Image"},
         {"acPasteImage", "&Paste Image"},
         {"", ""},
         {"acAbout", "&About"},
         {"", ""},
         {"acExit", "&Exit"}},
        commands, [menu](QAction* a, const QString& c) { menu->AddItem(a, c); },
        [menu] { menu->AddSeparator(); });
    menu->AddFooterButton(commands[QStringLiteral("FileExit2")], QStringLiteral("E&xit"));
    menu->AddFooterButton(commands[QStringLiteral("acOptionsAppOptions")],
                          QStringLiteral("Options"));
    ribbon.SetAppMenuCaption(QStringLiteral("File"));
    ribbon.SetAppMenuKeyTip(u'F');

    TRibbonQuickAccess* qat = ribbon.QuickAccess();
    qat->setObjectName(QStringLiteral("rbMain_QAT"));
    for (const char* name : {"acOpenImageFileQAT", "acSaveHistQAT", "acCopyHistQAT",
                             "acPasteImageQAT", "acPrevImageQAT", "acNextImageQAT"}) {
        const bool pasteTwin = qstrcmp(name, "acPasteImageQAT") == 0;
        qat->AddItem(commands[QString::fromLatin1(name)], QString(), !pasteTwin);
    }
}

} // namespace tonalyx
