// The command table: every user operation of the main window as a QAction with its
// caption, hint, shortcut, category, check state and handler. The ribbon, the quick
// access toolbar, the menus and the welcome panel all place these same actions, and
// every place outside the table names a command by its identifier.
#pragma once

#include <QAction>
#include <QObject>

#include <array>
#include <functional>
#include <span>

namespace tonalyx {

// The commands, in the order of the table; each enumerator is the command's object name.
// Twins for a second surface carry a suffix (QAT, Welcome) and share their handler.
enum class TCommandId {
    acOpenImageFile,
    acOpenImageFileQAT,
    acSaveHist,
    acSaveHistQAT,
    acSocNetHTML,
    acSocNetFB,
    acSocNetGP,
    acSocNetTW,
    acCopyHist,
    acCopyHistQAT,
    acPasteImage,
    acPasteImageQAT,
    acPasteImageWelcome,
    acPrevImage,
    acPrevImageQAT,
    acNextImage,
    acNextImageQAT,
    acRGB,
    acHSV,
    acLab,
    acSmoothingOn,
    acHelpTopic,
    acAbout,
    acOptionsAppOptions,
    acExit,
    FileExit2,
    acGoToCompanyPage,
    acLogScale,
    acShowClipping,
    acWholePicture,
    acRawHistogram,
    acRawLinear,
    acDevelopRaw,
};
inline constexpr int CommandCount = static_cast<int>(TCommandId::acDevelopRaw) + 1;

// The execute handlers; a handler runs for every command that names it.
enum class THandlerId {
    acOpenImageFileExecute,
    acSaveHistExecute,
    acSocNetHTMLExecute,
    acSocNetExecute,
    acCopyHistExecute,
    acPasteImageExecute,
    acPasteImageWelcomeExecute,
    acPrevImageExecute,
    acNextImageExecute,
    HistSetVisibleAndHeightCorr,
    acSmoothingOnExecute,
    acHelpTopicExecute,
    acAboutExecute,
    acOptionsAppOptionsExecute,
    acExitExecute,
    FileExit2Execute,
    acGoToCompanyPageExecute,
    acLogScaleExecute,
    acShowClippingExecute,
    acWholePictureExecute,
    acRawHistogramExecute,
    acRawLinearExecute,
    acDevelopRawExecute,
};

// What a command's availability follows; TCommandStates derives it.
enum class TEnabledBy {
    Always,
    ImgCtrl,           // SetImgCtrl's NewState
    ImgCtrlNavigation, // NewState and not NavigationIsOff
    ClipboardPicture,  // the clipboard offers a picture
    RegionShown,       // the histograms shown are those of a region of the picture
    SensorHistogram,   // the current picture has its sensor's histogram (a camera raw file)
    RawFile,           // the current picture is a camera raw file's, however it was made
};

struct TCommandEntry {
    TCommandId Id;
    const char* Name;     // the object name, the enumerator's own name
    const char* Category; // "Image", "Historgam", "View", "Help", "Welcome" or "" for none
    const char* Caption;
    const char* Hint; // "short|long" where the two differ; "" for none
    int Shortcut;     // a Qt key combination, 0 for none
    bool Checkable;   // toggles itself before its handler runs; starts checked, unless the
                      // object that owns it sets it from what it remembers
    THandlerId Handler;
    const char* IconName; // the desktop icon theme's name for its picture
    const char* Glyph;    // drawn on a generated icon when the desktop theme has none
    TEnabledBy EnabledBy; // twins follow what their command follows
};

// Every command, in the order of TCommandId.
std::span<const TCommandEntry> CommandTable();
const TCommandEntry& CommandEntry(TCommandId id);

// The actions of the command table, parented to one owner (the main window).
class TCommands : public QObject {
    Q_OBJECT
  public:
    explicit TCommands(QObject* parent);

    QAction* operator[](TCommandId id) const { return FActions[static_cast<std::size_t>(id)]; }
    std::span<QAction* const> All() const { return FActions; }

    // Connects every command whose handler is `handler` to `run`, which receives the
    // invoking action (so twins can tell themselves apart when they need to).
    void Bind(THandlerId handler, const std::function<void(QAction*)>& run);

  private:
    std::array<QAction*, CommandCount> FActions{};
};

} // namespace tonalyx
