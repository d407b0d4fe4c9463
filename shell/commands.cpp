#include "shell/commands.h"

#include "ribbon_icon.h"

#include <iterator>

namespace tonalyx {

using ribbon::RibbonIcon;

namespace {

constexpr int Ctrl = Qt::CTRL;

// clang-format off
constexpr TCommandSpec Commands[] = {
    {"acOpenImageFile", "Image", "Open Image", "Open Image File", Ctrl | Qt::Key_O, false, "acOpenImageFileExecute", "document-open", "O"},
    {"acOpenImageFileQAT", "Image", "Open Image", "Open Image File", 0, false, "acOpenImageFileExecute", "document-open", "O"},
    {"acSaveHist", "Image", "Save Histogram", "", Ctrl | Qt::Key_S, false, "acSaveHistExecute", "document-save", "⇩"},
    {"acSaveHistQAT", "Image", "Save Histogram", "", 0, false, "acSaveHistExecute", "document-save", "⇩"},
    {"acSocNetHTML", "Image", "Get Link", "Get Link (HTML code) for Website and Blogs", 0, false, "acSocNetHTMLExecute", "insert-link", "∞"},
    {"acSocNetFB", "Image", "Share via Facebook", "Share via Facebook", 0, false, "acSocNetExecute", "emblem-shared", "f"},
    {"acSocNetGP", "Image", "Share via Google+", "Share via Google+", 0, false, "acSocNetExecute", "emblem-shared", "g+"},
    {"acSocNetTW", "Image", "Share via Twitter", "Share via Twitter", 0, false, "acSocNetExecute", "emblem-shared", "t"},
    {"acCopyHist", "Image", "Copy Histogram", "Copy Histogram to Clipboard", Ctrl | Qt::Key_C, false, "acCopyHistExecute", "edit-copy", "C"},
    {"acCopyHistQAT", "Image", "Copy Histogram", "Copy Histogram to Clipboard", 0, false, "acCopyHistExecute", "edit-copy", "C"},
    {"acPasteImage", "Image", "Paste Image", "Paste Image from Clipboard", Ctrl | Qt::Key_V, false, "acPasteImageExecute", "edit-paste", "P"},
    {"acPasteImageQAT", "Image", "Paste Image", "Paste Image from Clipboard", Ctrl | Qt::Key_V, false, "acPasteImageExecute", "edit-paste", "P"},
    {"acPasteImageWelcome", "Image", "Paste Image from Clipboard", "", 0, false, "acPasteImageWelcomeExecute", "edit-paste", "P"},
    {"acPrevImage", "Image", "Previous Image", "Previous Image File", 0, false, "acPrevImageExecute", "go-previous", "◀"},
    {"acPrevImageQAT", "Image", "Prev Image", "Previous Image File", 0, false, "acPrevImageExecute", "go-previous", "◀"},
    {"acNextImage", "Image", "Next Image", "Next Image File", 0, false, "acNextImageExecute", "go-next", "▶"},
    {"acNextImageQAT", "Image", "Next Image", "Next Image File", 0, false, "acNextImageExecute", "go-next", "▶"},
    {"acRGB", "Historgam", "RGB", "Turn RGB histogram on/off", 0, true, "HistSetVisibleAndHeightCorr", "color-management", "RGB"},
    {"acHSV", "Historgam", "HSV", "Turn HSV histogram on/off", 0, true, "HistSetVisibleAndHeightCorr", "color-management", "HSV"},
    {"acLab", "Historgam", "LAB", "Turn Lab histogram on/off", 0, true, "HistSetVisibleAndHeightCorr", "color-management", "Lab"},
    {"acSmoothingOn", "Historgam", "Smoothing On/Off", "Switsh Historgam Smoothing On/Off", 0, true, "acSmoothingOnExecute", "view-refresh", "∿"},
    {"acHelpTopic", "Help", "Help Topic F1", "Help Topic", Qt::Key_F1, false, "acHelpTopicExecute", "help-contents", "?"},
    {"acAbout", "Help", "About", "About", 0, false, "acAboutExecute", "help-about", "i"},
    {"acOptionsAppOptions", "Image", "Options", "", 0, false, "acOptionsAppOptionsExecute", "preferences-system", "⚙"},
    {"acExit", "Image", "Exit", "", 0, false, "acExitExecute", "application-exit", "✕"},
    {"FileExit2", "", "E&xit", "Exit|Quits the application", 0, false, "FileExit2Execute", "application-exit", "✕"},
    {"acGoToCompanyPage", "Welcome", "Varnel Solutions Products && News", "", 0, false, "acGoToCompanyPageExecute", "go-home", "V"},
};
// clang-format on

const char* const HandlerProperty = "tonalyxHandler";

} // namespace

std::span<const TCommandSpec> CommandTable() {
    return Commands;
}

TCommands::TCommands(QObject* parent) : QObject(parent) {
    for (const TCommandSpec& entry : Commands) {
        auto* a = new QAction(QString::fromUtf8(entry.Caption), parent);
        a->setObjectName(QString::fromLatin1(entry.Name));
        const QString hint = QString::fromUtf8(entry.Hint);
        a->setToolTip(hint.section('|', 0, 0));
        a->setStatusTip(hint.contains('|') ? hint.section('|', 1) : hint);
        if (entry.Shortcut != 0)
            a->setShortcut(QKeySequence(entry.Shortcut));
        a->setCheckable(entry.Checkable);
        a->setChecked(entry.Checkable); // every self-toggling command starts checked
        a->setProperty("category", QString::fromLatin1(entry.Category));
        a->setProperty(HandlerProperty, QString::fromLatin1(entry.Handler));
        a->setIcon(RibbonIcon(QString::fromLatin1(entry.IconName), QString::fromUtf8(entry.Glyph)));
        FByName.insert(a->objectName(), a);
        FOrdered << a;
    }
}

QAction* TCommands::Get(const QString& name) const {
    return FByName.value(name, nullptr);
}

QString TCommands::HandlerOf(const QAction* action) {
    return action ? action->property(HandlerProperty).toString() : QString();
}

void TCommands::Bind(const QString& handler, const std::function<void(QAction*)>& run) {
    for (QAction* a : std::as_const(FOrdered))
        if (HandlerOf(a) == handler)
            connect(a, &QAction::triggered, this, [a, run] { run(a); });
}

} // namespace tonalyx
