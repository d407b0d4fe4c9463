// TfrmMain: the main window. A coordinator: it creates the ribbon, the image panel, the
// histogram panel, the welcome panel and the status bar, wires the command table to its
// handlers, and hands image opening to TImageOpener. Everything runs on the UI thread.
#pragma once

#include "command_states.h"
#include "image_opener.h"
#include "recent_images.h"
#include "window_state.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QLineEdit;
class QMenu;
class QSplitter;
class QTimer;

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

using ribbon::TRibbonBar;
struct TAppCore;
class TCommands;
class THistExport;
class THistSaveCopy;
class TSaveDialogs;
class THistPanel;
class THistReadout;
class TImageView;
class TStatusBar;
class TWelcomePanel;
class TfrmOptions;
class TNewsPresenter;
class TShareCommands;
class THelpAbout;

class TfrmMain final : public QMainWindow, private TOpenerView {
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
    void LoadImageFile(const QString& path);
    void PasteImage();
    void ShowNeighbor(TNeighbor neighbor);
    void SetImgCtrl(bool NewState, bool NavigationIsOff) override;
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
    QWidget* ImagePanel() const { return pnImage; }
    const QStringList& RecentItemsFull() const { return FRecent.FullPaths(); }
    // The ribbon theme and the image panel's colour; a value outside 0..2 changes nothing.
    void SetTheme(int theme);
    int Theme() const;
    TfrmOptions* Options() const { return FOptions; }
    TNewsPresenter* News() const { return FNews; }
    TShareCommands* Share() const { return FShare; }
    THelpAbout* HelpAbout() const { return FHelpAbout; }
    // The preparation of the current image's neighbours (benchmark and tests).
    TNeighbourPreparer* Preparer() const { return FOpener ? FOpener->Preparer() : nullptr; }

    // True once start-up has handled the command-line image, which follows the first paint.
    bool StartUpDone() const { return FStartUpDone; }

    // Shows the command states on the context menu, as each time it opens.
    void pmMainPopup();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    bool event(QEvent* e) override;

  private:
    // TOpenerView
    void SetWaitCursor(bool on) override;
    void ShowImage(const QImage& image) override;
    void ShowPreparedImage(const QImage& image, const QImage& preview) override;
    int PreviewSide() const override;
    void RedrawHistograms() override;
    void SetAppTitle() override;
    void ShowImageSize(QSize size) override;
    void HideWelcome() override;
    void RememberRecentImage(const QString& path) override;
    void Fail(const QString& reason) override;
    void Beep();

    void CreateWidgets();
    void CreateTimers();
    void BindCommands();
    void StartUp();
    TStatefulWindow StatefulParts();
    void LoadRecentItems();
    void ShowRecentCaptions();
    void OpenCommandLineImage();
    void FormKeyDown(int key);
    void rbMainRecentItemClick(const QString& fileName);
    void tmMainTimer();
    void acOpenImageFileExecute();
    void acPasteImageWelcomeExecute();
    void acSaveHistExecute();

    TAppCore& FCore;
    QStringList FArguments;
    std::unique_ptr<TImageOpener> FOpener;
    std::unique_ptr<THistExport> FExport;
    std::unique_ptr<THistSaveCopy> FSaveCopy;
    TCommands* FCommands = nullptr;
    TCommandStates FStates; // the commands' enabled and checked states
    TCommandStatesView* FStatesView = nullptr;
    bool FStarted = false;
    bool FStartUpDone = false;

    TRibbonBar* rbMain = nullptr;
    QSplitter* splMain = nullptr;
    QWidget* pnImage = nullptr;
    TImageView* imMain = nullptr;
    QWidget* ed4Focus = nullptr;
    TWelcomePanel* pnWelcome = nullptr;
    THistPanel* pnHistContainer = nullptr;
    TStatusBar* sbMain = nullptr;
    QMenu* pmMain = nullptr;

    QTimer* tmMain = nullptr;
    QTimer* tmCheckNews = nullptr;
    QTimer* tmShowNews = nullptr;
    QTimer* tmRequestQueueIndication = nullptr;
    QTimer* tmUploadImageExpWatch = nullptr;
    QTimer* tmCheckWEBServer = nullptr;

    TRecentImages FRecent; // the captions of the application menu and the paths behind them
    TfrmOptions* FOptions = nullptr;
    TNewsPresenter* FNews = nullptr;  // the feed's record (AppInform) and the news display
    TShareCommands* FShare = nullptr; // uploads, share pages, the server check, the light
    THelpAbout* FHelpAbout = nullptr; // the help command and the about box
    THistReadout* FReadout = nullptr; // the figures under the pointer and the clipping line
};

} // namespace tonalyx
