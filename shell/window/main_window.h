// TfrmMain: the main window, which creates the pieces and wires them: the ribbon, the image
// panel, the histogram panel, the status bar and the command table; the command states, the
// clipboard watch and the key preview; the opener with its view; the news, the sharing and
// the help. Everything runs on the UI thread.
#pragma once

#include "command_states.h"
#include "image_opener.h"
#include "open_requests.h"
#include "window_state.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QMenu;
class QSplitter;

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

using ribbon::TRibbonBar;
struct TAppCore;
class TClipboardWatch;
class TCommands;
class TKeyPreview;
class THistExport;
class THistSaveCopy;
class TSaveDialogs;
class THistPanel;
class THistReadout;
class TImagePanel;
class TImageView;
class TRecentMenu;
class TStatusBar;
class TWelcomePanel;
class TWindowOpenerView;
class TfrmOptions;
class TNewsPresenter;
class TShareCommands;
class THelpAbout;
class TViewChoices;
class TPointerMarks;
class TRegionChoice;

class TfrmMain final : public QMainWindow {
    Q_OBJECT
  public:
    // core outlives the window; arguments are the program's command-line arguments
    // without the program name (only the first is used).
    TfrmMain(TAppCore& core, QStringList arguments, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // How the window reaches the user outside its widgets; tests replace them.
    std::function<void()> Beeper;                       // the desktop's alert sound
    std::function<void(const QString&)> WarningMessage; // a modal warning with OK

    // ---- used by the command handlers, the start-up and tests
    void LoadImageFile(const QString& path) { FOpen->LoadImageFile(path); }
    void PasteImage() { FOpen->PasteImage(); }
    void ShowNeighbor(TNeighbor neighbor) { FOpen->ShowNeighbor(neighbor); }
    // Redraws from the raw counts when the level (an index into SmoothLevels) is a new one.
    void SetSmoothing(int levelIndex);

    TCommands& Commands() const { return *FCommands; }
    const TCommandStates& CommandStates() const { return FStates; }
    const THistExport& Export() const { return *FExport; }
    // Replaces the save dialog, the overwrite question and the error box (tests).
    void SetSaveDialogs(std::unique_ptr<TSaveDialogs> dialogs);
    TRibbonBar* Ribbon() const { return rbMain; }
    THistPanel* HistPanel() const { return pnHistContainer; }
    TWelcomePanel* Welcome() const { return pnWelcome; }
    TImageView* MainImage() const { return imMain; }
    TStatusBar* StatusBar() const { return sbMain; }
    QMenu* ContextMenu() const { return pmMain; }
    QSplitter* Splitter() const { return splMain; }
    QWidget* ImagePanel() const;
    const QStringList& RecentItemsFull() const;
    // The ribbon theme and the image panel's colour; a value outside 0..2 changes nothing.
    void SetTheme(int theme);
    int Theme() const;
    TfrmOptions* Options() const { return FOptions; }
    TNewsPresenter* News() const { return FNews; }
    TShareCommands* Share() const { return FShare; }
    THelpAbout* HelpAbout() const { return FHelpAbout; }
    TViewChoices* ViewChoices() const { return FViewChoices; }
    TRegionChoice* RegionChoice() const { return FRegion; }
    // The preparation of the current image's neighbours (benchmark and tests).
    TNeighbourPreparer* Preparer() const {
        return FOpen->Opener() ? FOpen->Opener()->Preparer() : nullptr;
    }

    // True once start-up is over: the first paint, and the command-line image shown or
    // failed. That image is decoded while the window is being built.
    bool StartUpDone() const { return FStartUpDone && !FOpen->CommandLineOpening(); }
    // Whether an image is being opened; OpenSettled is emitted when it ends.
    bool Opening() const { return FOpen->Opener() && FOpen->Opener()->IsOpening(); }

  signals:
    void OpenSettled();

  public:
    // Shows the command states on the context menu, as each time it opens.
    void pmMainPopup();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool event(QEvent* e) override;

  private:
    void CreateWidgets();
    void CreateServices();
    void BindCommands();
    void StartUp();
    TStatefulWindow StatefulParts();
    void acSaveHistExecute();
    // After every load, cache hit and paste: the pieces that follow the current picture.
    void ImageShown();
    // The pieces that follow the current picture's sensor (a raw file's), once shown and
    // again when its sensor arrives after it.
    void SensorShown();
    // The histograms shown: a region's while one is counted, else the picture's; null once
    // closed.
    TCurrentHist* ShownCounts() const;

    TAppCore& FCore;
    QStringList FArguments;
    std::unique_ptr<TWindowOpenerView> FView; // what opening shows, on the pieces below
    std::unique_ptr<THistExport> FExport;
    std::unique_ptr<THistSaveCopy> FSaveCopy;
    TCommands* FCommands = nullptr;
    TCommandStates FStates; // the commands' enabled and checked states
    TCommandStatesView* FStatesView = nullptr;
    bool FStarted = false;
    bool FStartUpDone = false;
    bool FSettledBeforeStart = false; // the command line's picture ended before the first show

    TRibbonBar* rbMain = nullptr;
    QSplitter* splMain = nullptr;
    TImagePanel* pnImage = nullptr;
    TImageView* imMain = nullptr;
    TWelcomePanel* pnWelcome = nullptr;
    THistPanel* pnHistContainer = nullptr;
    TStatusBar* sbMain = nullptr;
    QMenu* pmMain = nullptr;

    TRecentMenu* FRecent = nullptr; // the recent images of the application menu
    TfrmOptions* FOptions = nullptr;
    TNewsPresenter* FNews = nullptr;       // the feed's record (AppInform) and the news display
    TShareCommands* FShare = nullptr;      // uploads, share pages, the server check, the light
    THelpAbout* FHelpAbout = nullptr;      // the help command and the about box
    THistReadout* FReadout = nullptr;      // the figures under the pointer and the clipping line
    TClipboardWatch* FClipboard = nullptr; // whether Paste has a picture to take
    TKeyPreview* FKeyPreview = nullptr;    // the navigation keys, before the focused control
    TViewChoices* FViewChoices = nullptr;  // the View tab's toggles
    TPointerMarks* FPointer = nullptr;     // the pixel under the pointer, on the histograms
    TRegionChoice* FRegion = nullptr;      // a region of the picture counted alone
    TOpenRequests* FOpen = nullptr;        // the ways to a picture, into the opener
};

} // namespace tonalyx
