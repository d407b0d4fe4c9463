#include "main_window.h"

#include "app_core.h"
#include "appmessagebox.h"
#include "clipboard_watch.h"
#include "commands.h"
#include "file_requests.h"
#include "first_paint.h"
#include "help_about.h"
#include "hist_export.h"
#include "hist_painter.h"
#include "hist_panel.h"
#include "hist_readout.h"
#include "image_panel.h"
#include "image_view.h"
#include "key_preview.h"
#include "links.h"
#include "main_ribbon.h"
#include "names.h"
#include "neighbour_preparer.h"
#include "news_presenter.h"
#include "open_requests.h"
#include "opener_view.h"
#include "options_dialog.h"
#include "paths.h"
#include "pointer_marks.h"
#include "recent_menu.h"
#include "region_choice.h"
#include "ribbon_bar.h"
#include "ribbon_theme.h"
#include "running_version.h"
#include "save_copy.h"
#include "save_dialogs.h"
#include "share_commands.h"
#include "status_bar.h"
#include "status_texts.h"
#include "view_choices.h"
#include "welcome_panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTimer>

#include <algorithm>

namespace tonalyx {

namespace {

constexpr int SplitterMinimum = 100; // pixels each side of the splitter keep at least

} // namespace

TfrmMain::TfrmMain(TAppCore& core, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), FCore(core), FArguments(std::move(arguments)) {
    setObjectName(QStringLiteral("frmMain"));
    Beeper = [] { QApplication::beep(); };
    WarningMessage = [](const QString& text) {
        AppMessageBox(text, QMessageBox::Warning, QMessageBox::Ok);
    };
    FCommands = new TCommands(this);
    CreateWidgets();
    FView = std::make_unique<TWindowOpenerView>(
        TOpenerViewParts{this, rbMain, pnImage, pnHistContainer, sbMain, FReadout, FRecent,
                         &FStates, &FCore, [this] { Beeper(); }, [this] { ImageShown(); },
                         [this] {
                             if (FRegion)
                                 FRegion->PictureReplaced();
                         },
                         [this] { return ShownCounts(); }, [this] { SensorShown(); }});
    FExport =
        std::make_unique<THistExport>([this] { return HistPanelImage(pnHistContainer->Scene()); });
    FSaveCopy = std::make_unique<THistSaveCopy>(
        *FExport, std::make_unique<TSaveDialogsQt>(this),
        [this] { return pnHistContainer->isVisible(); }, SetClipboardPicture);
    FOptions = new TfrmOptions(
        this, [this] { return Theme(); }, [this](int theme) { SetTheme(theme); });
    CreateServices();
    FOpen = new TOpenRequests(
        {this, imMain, FView.get(), &FCore, pnWelcome, FClipboard, &FStates, FCore.OpenSettings},
        std::make_unique<TImageOpener>(*FCore.Hist, *FCore.Files, *FCore.Cache, *FView,
                                       std::make_unique<TNeighbourPreparer>(), FCore.OpenFile),
        this);
    connect(FOpen, &TOpenRequests::Settled, this, [this](bool commandLine) {
        if (commandLine)
            FSettledBeforeStart = !FStarted;
        emit OpenSettled();
    });
    FHelpAbout = new THelpAbout({this, FCommands, pnWelcome, FShare, FNews}, this); // TAB
    FViewChoices = new TViewChoices(*FCommands, *pnHistContainer, *imMain, this);
    FPointer = new TPointerMarks(
        *pnImage, *imMain, *pnHistContainer,
        [this](const QString& text) { sbMain->SetReadout(text, {}); }, this);
    FRegion = new TRegionChoice(
        {FCommands, &FStates, pnImage, imMain, [this] { return FStates.SmoothLevel(); },
         [this] {
             FView->RedrawHistograms();
             FReadout->ImageCounted(); // the statistics and the clipping line follow
         },
         [this](const QString& text) { sbMain->SetRegionNote(text); }},
        this);
    BindCommands();
    setAcceptDrops(true);
    // The window's layout minds only the central widget's minimum width; the ribbon at its
    // narrowest must not be cut off either.
    setMinimumWidth(std::max(minimumSizeHint().width(), rbMain->minimumSizeHint().width()));
    resize(1021, 621 + rbMain->sizeHint().height() + sbMain->sizeHint().height());
    FOpen->OpenCommandLine(FArguments);
}

TfrmMain::~TfrmMain() {
    // The widgets outlive the members: a window destroyed while shown hides them afterwards,
    // so what reports to the members goes first; the opener before the view it reports to.
    delete FOpen;
    delete FStatesView;
    delete FKeyPreview;
    pnHistContainer->SetRenderCallback({});
}

void TfrmMain::CreateWidgets() {
    rbMain = new TRibbonBar(this);
    rbMain->setObjectName(QStringLiteral("rbMain"));
    BuildMainRibbon(*rbMain, *FCommands);
    setMenuWidget(rbMain);
    // Shortcuts work for actions of the window. The paste twin of the quick access
    // toolbar shares Ctrl+V with acPasteImage; keeping it to its own button avoids an
    // ambiguous key.
    (*FCommands)[TCommandId::acPasteImageQAT]->setShortcutContext(Qt::WidgetShortcut);
    for (QAction* a : FCommands->All())
        if (a != (*FCommands)[TCommandId::acPasteImageQAT])
            addAction(a);

    splMain = new QSplitter(Qt::Horizontal, this);
    splMain->setObjectName(QStringLiteral("splMain"));
    splMain->setHandleWidth(11);
    splMain->setOpaqueResize(true);         // live, no outline
    splMain->setChildrenCollapsible(false); // never snaps closed

    pnImage = new TImagePanel((*FCommands)[TCommandId::acOpenImageFile],
                              (*FCommands)[TCommandId::acPasteImageWelcome], splMain);
    pnImage->setMinimumWidth(SplitterMinimum);
    imMain = pnImage->Image();
    pnWelcome = pnImage->Welcome();

    pnHistContainer = new THistPanel(splMain);
    pnHistContainer->setMinimumWidth(SplitterMinimum);
    pnHistContainer->SetModelActions((*FCommands)[TCommandId::acRGB],
                                     (*FCommands)[TCommandId::acHSV],
                                     (*FCommands)[TCommandId::acLab]);
    pnHistContainer->SetRenderCallback([this] {
        if (FView) // made once the widgets are
            FView->RedrawHistograms();
    });
    splMain->addWidget(pnImage);
    splMain->addWidget(pnHistContainer);
    splMain->setStretchFactor(0, 1);
    splMain->setStretchFactor(1, 0);
    splMain->setSizes({1021 - THistPanel::DesignWidth - 11, THistPanel::DesignWidth});
    setCentralWidget(splMain);

    sbMain = new TStatusBar(this);
    setStatusBar(sbMain);
    FReadout = new THistReadout(
        *pnHistContainer,
        [this]() -> const THist* {
            const TCurrentHist* shown = ShownCounts();
            return shown ? &shown->Engine() : nullptr;
        },
        this);
    connect(FReadout, &THistReadout::ReadoutChanged, sbMain, &TStatusBar::SetReadout);
    connect(FReadout, &THistReadout::ClippingChanged, sbMain, &TStatusBar::SetClippingText);

    pmMain = new QMenu(this);
    pmMain->setObjectName(QStringLiteral("pmMain"));
    BuildContextMenu(*pmMain, *FCommands);
    FStatesView = new TCommandStatesView(FStates, *FCommands, *pmMain, *pnHistContainer, this);
    connect(pmMain, &QMenu::aboutToShow, this, &TfrmMain::pmMainPopup);
    rbMain->SetTabOrderAfter(pnImage->FocusHolder()); // first; then the window in reading order

    // The histogram panel keeps the colours of its own: what Save writes must not depend
    // on the theme.
    const auto paintWorkspace = [this] {
        pnImage->SetWorkspaceColour(rbMain->Colours().Workspace);
    };
    paintWorkspace();
    connect(rbMain, &TRibbonBar::themeChanged, this, paintWorkspace);
    connect(pnWelcome, &TWelcomePanel::ProductPageClicked, this, [] { OpenLink(LinkProductPage); });
    connect(pnWelcome, &TWelcomePanel::CompanyPageClicked, this, [] { OpenLink(LinkCompanyHome); });
    FRecent = new TRecentMenu(
        *rbMain, [this](const QString& path) { LoadImageFile(path); }, this);
}

void TfrmMain::CreateServices() {
    FNews = new TNewsPresenter([this] { return FCore.State.get(); }, this);
    FShare =
        new TShareCommands({FExport.get(), sbMain, [this] { return pnHistContainer->isVisible(); },
                            [this] { return FNews->AppInform(); }},
                           this);
    connect(pnWelcome, &TWelcomePanel::TellClicked, FShare,
            [this](int i) { FShare->tbSocNetTellClick(i + 1); });
    connect(pnWelcome, &TWelcomePanel::FollowClicked, FShare,
            [this](int i) { FShare->tbSocNetFollowClick(i + 1); });
    FClipboard = new TClipboardWatch(this);
    FStates.SetClipboardHoldsPicture(FClipboard->HoldsPicture());
    connect(FClipboard, &TClipboardWatch::Changed, this,
            [this](bool holds) { FStates.SetClipboardHoldsPicture(holds); });
    FKeyPreview = new TKeyPreview(*this, [this](int key) {
        // Escape cancels a paste or an open under way; with neither it leaves a region.
        if (!FOpen->KeyDown(key) && key == Qt::Key_Escape && FRegion)
            FRegion->WholePicture();
    });
}

void TfrmMain::BindCommands() {
    using H = THandlerId;
    TCommands& c = *FCommands;
    c.Bind(H::acOpenImageFileExecute, [this](QAction*) { FOpen->AskAndOpen(); });
    c.Bind(H::acPasteImageExecute, [this](QAction*) { PasteImage(); });
    c.Bind(H::acPasteImageWelcomeExecute, [this](QAction*) { FOpen->PasteFromWelcome(); });
    c.Bind(H::acPrevImageExecute, [this](QAction*) { ShowNeighbor(TNeighbor::nPrev); });
    c.Bind(H::acNextImageExecute, [this](QAction*) { ShowNeighbor(TNeighbor::nNext); });
    // A mode of this run, off at start: a development is slow, and the program starts on
    // the cameras' own previews.
    c[TCommandId::acDevelopRaw]->setChecked(false);
    c.Bind(H::acDevelopRawExecute, [this](QAction* a) { FOpen->SetDeveloped(a->isChecked()); });
    c.Bind(H::acSmoothingOnExecute, [this](QAction*) { SetSmoothing(FStates.SmoothLevel()); });
    c.Bind(H::acSaveHistExecute, [this](QAction*) { acSaveHistExecute(); });
    c.Bind(H::acCopyHistExecute, [this](QAction*) {
        if (FSaveCopy->Copy())
            sbMain->ShowDone(HistogramCopiedText());
    });
    c.Bind(H::acExitExecute, [this](QAction*) { close(); });
    c.Bind(H::acOptionsAppOptionsExecute, [this](QAction*) { FOptions->exec(); });
    c.Bind(H::FileExit2Execute, [this](QAction*) { close(); });
    c.Bind(H::acSocNetHTMLExecute, [this](QAction*) { FShare->acSocNetHTMLExecute(); });
    c.Bind(H::acSocNetExecute, [this](QAction* a) { FShare->acSocNetExecute(a); });
    c.Bind(H::acGoToCompanyPageExecute, [](QAction*) { OpenLink(LinkCompanyHome); });
    // THelpAbout binds the help and about commands.
}

// ---- start-up and close

void TfrmMain::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (FStarted)
        return;
    FStarted = true;
    if (FCore.State) { // RestoreState
        const QScreen* screen = QGuiApplication::primaryScreen();
        FCore.State->Load(*FCore.OpenSettings(), screen ? screen->size() : QSize(1024, 768),
                          width());
        RestoreState(*FCore.State, StatefulParts());
    }
    FViewChoices->Restore(LoadViewOptions(*FCore.OpenSettings())); // outside the record
    SetSmoothing(FStates.SmoothLevel());
    StartUp();
}

void TfrmMain::StartUp() {
    FView->SetAppTitle(FOpen->Opener()->CurrentSource());
    pnWelcome->SetCompanyName(DisplayName());
    pnWelcome->SetVersionText(QStringLiteral("ver ") + RunningShortVersion());
    pnWelcome->SetTargetAction((*FCommands)[TCommandId::acGoToCompanyPage]);
    if (!FSettledBeforeStart)
        FStates.SetImgCtrl(false, true);
    sbMain->PlaceLEDs();
    sbMain->SetLEDState(TLEDState::lsGreen);
    FShare->StartWEBServerCheck();
    pnImage->FocusHolder()->setFocus();
    pnHistContainer->HistHeightCorrect();
    RunAfterFirstPaint(imMain, [this] {
        if (FCore.State)
            FixFrame(*FCore.State, StatefulParts());
        if (!FOpen->CommandLineRefusal().isEmpty())
            WarningMessage(FOpen->CommandLineRefusal());
        FStartUpDone = true;
    });
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    FOpen->Close(); // a paste still waiting is dropped, an open under way cancelled
    FNews->Stop();
    FShare->StopTimers();
    FKeyPreview->Stop();
    if (FStarted && FCore.State) { // never shown: nothing of this run to remember
        CollectState(*FCore.State, StatefulParts());
        const std::unique_ptr<QSettings> settings = FCore.OpenSettings();
        FCore.State->Save(*settings);
        FRecent->Save(*settings);
        SaveViewOptions(*settings, FViewChoices->Options());
    }
    FCore.Release();
    e->accept();
}

// ---- opening images

void TfrmMain::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* e) {
    e->acceptProposedAction();
    FOpen->Drop(e->mimeData()->urls());
}

TCurrentHist* TfrmMain::ShownCounts() const {
    return FRegion ? FRegion->ShownCounts(FCore.Hist.get()) : FCore.Hist.get();
}

void TfrmMain::ImageShown() {
    const TImageOpener* opener = FOpen ? FOpen->Opener() : nullptr;
    if (!opener || !FViewChoices)
        return;
    const TPictureRef picture = opener->CurrentPicture();
    FRegion->ImageShown(picture, opener->CurrentForm());
    FStates.SetRawFile(picture && picture->Meta().Rendition != TRawRendition::None);
    SensorShown();
}

void TfrmMain::SensorShown() {
    const TImageOpener* opener = FOpen ? FOpen->Opener() : nullptr;
    if (!opener || !FViewChoices)
        return;
    const TPictureRef picture = opener->CurrentPicture();
    // The overlay and the readout read the sensor's photosites of a raw file, the panel its
    // histogram; a raw file opened directly brings them after its picture.
    FViewChoices->ImageShown(picture, opener->CurrentForm());
    FPointer->ImageShown(opener->CurrentImage(), opener->CurrentForm(),
                         picture ? picture->Mosaic() : nullptr);
    const std::shared_ptr<const TSensorHistogram> sensor = picture ? picture->Sensor() : nullptr;
    pnHistContainer->SetSensor(sensor);
    FStates.SetSensorHistogram(sensor != nullptr);
}

// ---- commands

void TfrmMain::acSaveHistExecute() {
    const THistSaveTarget target = HistSaveTarget(FCore.Files ? FCore.Files->sCurrFile : QString(),
                                                  FOpen->Opener()->CurrentSource().IsClipboard());
    const QString saved = FSaveCopy->Save(target.Name, target.Folder);
    if (!saved.isEmpty())
        sbMain->ShowDone(HistogramSavedText(saved));
}

void TfrmMain::SetSaveDialogs(std::unique_ptr<TSaveDialogs> dialogs) {
    FSaveCopy->SetDialogs(std::move(dialogs));
}

void TfrmMain::SetSmoothing(int levelIndex) {
    const bool region = FRegion->SetSmoothLevel(levelIndex);
    const bool whole = FCore.Hist && FCore.Hist->SetSmoothLevel(levelIndex); // none once closed
    if (region || whole)
        FView->RedrawHistograms();
}

void TfrmMain::pmMainPopup() {
    FStatesView->Apply();
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* e) {
    pmMain->popup(e->globalPos());
}

bool TfrmMain::event(QEvent* e) {
    // Command hints go to the message panel; Qt's own status tips would hide the image size.
    if (e->type() == QEvent::StatusTip) {
        sbMain->ShowHint(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

// ---- state and theme

TStatefulWindow TfrmMain::StatefulParts() {
    using C = TCommandId;
    const TCommands& c = *FCommands;
    return {this,
            rbMain,
            splMain,
            pnHistContainer,
            {c[C::acRGB], c[C::acHSV], c[C::acLab]},
            c[C::acSmoothingOn],
            [this](int theme) { SetTheme(theme); },
            [this] { return Theme(); },
            [this] { FRecent->Load(*FCore.OpenSettings()); }};
}

void TfrmMain::SetTheme(int theme) {
    if (!ribbon::IsRibbonTheme(theme))
        return;
    rbMain->SetTheme(static_cast<ribbon::TRibbonTheme>(theme)); // keeps the tab it was on
    update();
}

int TfrmMain::Theme() const {
    return static_cast<int>(rbMain->Theme());
}

QWidget* TfrmMain::ImagePanel() const {
    return pnImage;
}

const QStringList& TfrmMain::RecentItemsFull() const {
    return FRecent->FullPaths();
}

} // namespace tonalyx
