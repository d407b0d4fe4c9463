#include "commands.h"

#include "ribbon_icon.h"

namespace tonalyx {

using ribbon::RibbonIcon;

namespace {

using C = TCommandId;
using H = THandlerId;
using E = TEnabledBy;
constexpr E Always = E::Always, Img = E::ImgCtrl, Nav = E::ImgCtrlNavigation,
            Clip = E::ClipboardPicture, Region = E::RegionShown, Sensor = E::SensorHistogram,
            Raw = E::RawFile;

constexpr int Ctrl = Qt::CTRL;

// The identifier and, as text, its name: the only place a command's name is written.
#define ID(name) C::name, #name

// clang-format off
constexpr TCommandEntry Commands[] = {
    {ID(acOpenImageFile), "Image", "Open Image", "Open Image File", Ctrl | Qt::Key_O, false, H::acOpenImageFileExecute, "document-open", "O", Always},
    {ID(acOpenImageFileQAT), "Image", "Open Image", "Open Image File", 0, false, H::acOpenImageFileExecute, "document-open", "O", Always},
    {ID(acSaveHist), "Image", "Save Histogram", "", Ctrl | Qt::Key_S, false, H::acSaveHistExecute, "document-save", "⇩", Img},
    {ID(acSaveHistQAT), "Image", "Save Histogram", "", 0, false, H::acSaveHistExecute, "document-save", "⇩", Img},
    {ID(acSocNetHTML), "Image", "Get Link", "Get Link (HTML code) for Website and Blogs", 0, false, H::acSocNetHTMLExecute, "insert-link", "∞", Img},
    {ID(acSocNetFB), "Image", "Share via Facebook", "Share via Facebook", 0, false, H::acSocNetExecute, "emblem-shared", "f", Img},
    {ID(acSocNetGP), "Image", "Share via Google+", "Share via Google+", 0, false, H::acSocNetExecute, "emblem-shared", "g+", Img},
    {ID(acSocNetTW), "Image", "Share via Twitter", "Share via Twitter", 0, false, H::acSocNetExecute, "emblem-shared", "t", Img},
    {ID(acCopyHist), "Image", "Copy Histogram", "Copy Histogram to Clipboard", Ctrl | Qt::Key_C, false, H::acCopyHistExecute, "edit-copy", "C", Img},
    {ID(acCopyHistQAT), "Image", "Copy Histogram", "Copy Histogram to Clipboard", 0, false, H::acCopyHistExecute, "edit-copy", "C", Img},
    {ID(acPasteImage), "Image", "Paste Image", "Paste Image from Clipboard", Ctrl | Qt::Key_V, false, H::acPasteImageExecute, "edit-paste", "P", Clip},
    {ID(acPasteImageQAT), "Image", "Paste Image", "Paste Image from Clipboard", Ctrl | Qt::Key_V, false, H::acPasteImageExecute, "edit-paste", "P", Clip},
    {ID(acPasteImageWelcome), "Image", "Paste Image from Clipboard", "", 0, false, H::acPasteImageWelcomeExecute, "edit-paste", "P", Always},
    {ID(acPrevImage), "Image", "Previous Image", "Previous Image File", 0, false, H::acPrevImageExecute, "go-previous", "◀", Nav},
    {ID(acPrevImageQAT), "Image", "Prev Image", "Previous Image File", 0, false, H::acPrevImageExecute, "go-previous", "◀", Nav},
    {ID(acNextImage), "Image", "Next Image", "Next Image File", 0, false, H::acNextImageExecute, "go-next", "▶", Nav},
    {ID(acNextImageQAT), "Image", "Next Image", "Next Image File", 0, false, H::acNextImageExecute, "go-next", "▶", Nav},
    {ID(acRGB), "Historgam", "RGB", "Turn RGB histogram on/off", 0, true, H::HistSetVisibleAndHeightCorr, "color-management", "RGB", Img},
    {ID(acHSV), "Historgam", "HSV", "Turn HSV histogram on/off", 0, true, H::HistSetVisibleAndHeightCorr, "color-management", "HSV", Img},
    {ID(acLab), "Historgam", "LAB", "Turn Lab histogram on/off", 0, true, H::HistSetVisibleAndHeightCorr, "color-management", "Lab", Img},
    {ID(acSmoothingOn), "Historgam", "Smoothing On/Off", "Switsh Historgam Smoothing On/Off", 0, true, H::acSmoothingOnExecute, "view-refresh", "∿", Img},
    {ID(acHelpTopic), "Help", "Help Topic F1", "Help Topic", Qt::Key_F1, false, H::acHelpTopicExecute, "help-contents", "?", Always},
    {ID(acAbout), "Help", "About", "About", 0, false, H::acAboutExecute, "help-about", "i", Always},
    {ID(acOptionsAppOptions), "Image", "Options", "", 0, false, H::acOptionsAppOptionsExecute, "preferences-system", "⚙", Always},
    {ID(acExit), "Image", "Exit", "", 0, false, H::acExitExecute, "application-exit", "✕", Always},
    {ID(FileExit2), "", "E&xit", "Exit|Quits the application", 0, false, H::FileExit2Execute, "application-exit", "✕", Always},
    {ID(acGoToCompanyPage), "Welcome", "Varnel Solutions Products && News", "", 0, false, H::acGoToCompanyPageExecute, "go-home", "V", Always},
    {ID(acLogScale), "View", "Logarithmic Counts", "Logarithmic Counts|Draw the bars by the logarithm of their counts, so that small counts beside a high peak show", Ctrl | Qt::Key_L, true, H::acLogScaleExecute, "view-statistics", "log", Always},
    {ID(acShowClipping), "View", "Show Clipping", "Show Clipping|Paint the pixels at 0 (blue) or 255 (red) in any primary over the picture", Ctrl | Qt::Key_K, true, H::acShowClippingExecute, "dialog-warning", "◩", Always},
    {ID(acWholePicture), "View", "Whole Picture", "Whole Picture|Count the whole picture again in place of the region drawn on it (Esc)", Ctrl | Qt::Key_D, false, H::acWholePictureExecute, "edit-select-all", "▣", Region},
    {ID(acRawHistogram), "View", "Raw Histogram", "Raw Histogram|Show the histogram of the values the camera's sensor recorded, for a raw file", 0, true, H::acRawHistogramExecute, "camera-photo", "RAW", Sensor},
    {ID(acRawLinear), "View", "Linear Raw Values", "Linear Raw Values|Lay the raw histogram out by raw value in place of stops below white", 0, true, H::acRawLinearExecute, "view-statistics", "lin", Sensor},
    {ID(acDevelopRaw), "View", "Develop Raw", "Develop Raw|Show raw files developed from the sensor's values in place of the camera's own preview", 0, true, H::acDevelopRawExecute, "image-x-generic", "DEV", Raw},
};
// clang-format on
#undef ID

constexpr bool InIdentifierOrder() {
    int i = 0;
    for (const TCommandEntry& entry : Commands)
        if (static_cast<int>(entry.Id) != i++)
            return false;
    return i == CommandCount;
}
static_assert(InIdentifierOrder(), "the command table follows TCommandId");

// Twins run one handler; they are available together.
constexpr bool TwinsEnabledAlike() {
    for (const TCommandEntry& a : Commands)
        for (const TCommandEntry& b : Commands)
            if (a.Handler == b.Handler && a.EnabledBy != b.EnabledBy)
                return false;
    return true;
}
static_assert(TwinsEnabledAlike(), "commands of one handler follow one availability rule");

} // namespace

std::span<const TCommandEntry> CommandTable() {
    return Commands;
}

const TCommandEntry& CommandEntry(TCommandId id) {
    return Commands[static_cast<std::size_t>(id)];
}

TCommands::TCommands(QObject* parent) : QObject(parent) {
    for (const TCommandEntry& entry : Commands) {
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
        a->setIcon(RibbonIcon(QString::fromLatin1(entry.IconName), QString::fromUtf8(entry.Glyph)));
        FActions[static_cast<std::size_t>(entry.Id)] = a;
    }
}

void TCommands::Bind(THandlerId handler, const std::function<void(QAction*)>& run) {
    for (const TCommandEntry& entry : Commands) {
        if (entry.Handler != handler)
            continue;
        QAction* a = (*this)[entry.Id];
        connect(a, &QAction::triggered, this, [a, run] { run(a); });
    }
}

} // namespace tonalyx
