#include "main_window.h"

#include "image_loader.h"
#include "ribbon_bar.h"
#include "hist_export.h"
#include "save_copy.h"
#include "app_core.h"
#include "appmessagebox.h"
#include "commands.h"
#include "first_paint.h"
#include "help_about.h"
#include "hist_panel.h"
#include "hist_readout.h"
#include "image_view.h"
#include "main_ribbon.h"
#include "names.h"
#include "neighbour_preparer.h"
#include "news_presenter.h"
#include "options_dialog.h"
#include "paths.h"
#include "save_dialogs.h"
#include "share_commands.h"
#include "status_bar.h"
#include "welcome_panel.h"
#include "links.h"
#include "ufileinfo.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
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

// The image panel: tells its owner about every resize.
class TImagePanel final : public QWidget {
  public:
    explicit TImagePanel(QWidget* parent) : QWidget(parent) {}
    std::function<void(QSize)> OnResize;

  protected:
    void resizeEvent(QResizeEvent*) override {
        if (OnResize)
            OnResize(size());
    }
};

// The panel round the picture shows the ribbon theme's workspace colour, so the window
// reads as one surface in every theme.
void PaintWorkspace(QWidget& panel, const QColor& colour) {
    panel.setAutoFillBackground(true);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, colour);
    panel.setPalette(pal);
}

constexpr int SplitterMinimum = 100; // pixels each side of the splitter keep at least

} // namespace

TfrmMain::TfrmMain(TAppCore& core, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), FCore(core), FArguments(std::move(arguments)) {
    setObjectName(QStringLiteral("frmMain"));
    Beeper = [] { QApplication::beep(); };
    WarningMessage = [](const QString& text) {
        AppMessageBox(text, QMessageBox::Warning, QMessageBox::Ok);
    };
    FOpener = std::make_unique<TImageOpener>(*FCore.Hist, *FCore.Files, *FCore.Cache,
                                             static_cast<TOpenerView&>(*this),
                                             std::make_unique<TNeighbourPreparer>());
    FCommands = new TCommands(this);
    CreateWidgets();
    FExport = std::make_unique<THistExport>(*pnHistContainer);
    FSaveCopy = std::make_unique<THistSaveCopy>(
        *FExport, std::make_unique<TSaveDialogsQt>(this),
        [this] { return pnHistContainer->isVisible(); },
        [](const QImage& picture) { // a picture only: no PNG and no text format of ours
            auto* mime = new QMimeData;
            mime->setImageData(picture);
            QGuiApplication::clipboard()->setMimeData(mime);
        });
    FOptions = new TfrmOptions(
        this, [this] { return Theme(); }, [this](int theme) { SetTheme(theme); });
    CreateTimers();
    FHelpAbout = new THelpAbout({this, FCommands, pnWelcome, FShare, FNews}, this); // TAB
    BindCommands();
    setAcceptDrops(true);
    // The window's layout minds only the central widget's minimum width; the ribbon at its
    // narrowest must not be cut off either.
    setMinimumWidth(std::max(minimumSizeHint().width(), rbMain->minimumSizeHint().width()));
    resize(1021, 621 + rbMain->sizeHint().height() + sbMain->sizeHint().height());
    // The window sees every key before the focused control, and never consumes it.
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
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

    auto* imagePanel = new TImagePanel(splMain);
    pnImage = imagePanel;
    pnImage->setObjectName(QStringLiteral("pnImage"));
    pnImage->setMinimumWidth(SplitterMinimum);

    ed4Focus = new QWidget(pnImage); // holds the keyboard focus; zero width
    ed4Focus->setObjectName(QStringLiteral("ed4Focus"));
    ed4Focus->setFocusPolicy(Qt::StrongFocus);
    ed4Focus->setGeometry(0, 0, 0, 0);

    imMain = new TImageView(pnImage);
    pnWelcome = new TWelcomePanel((*FCommands)[TCommandId::acOpenImageFile],
                                  (*FCommands)[TCommandId::acPasteImageWelcome], pnImage);
    imagePanel->OnResize = [this](QSize size) { // pnImageResize
        imMain->setGeometry(QRect(QPoint(0, 0), size));
        pnWelcome->CentreIn(size);
    };

    pnHistContainer = new THistPanel(splMain);
    pnHistContainer->setMinimumWidth(SplitterMinimum);
    pnHistContainer->SetModelActions((*FCommands)[TCommandId::acRGB],
                                     (*FCommands)[TCommandId::acHSV],
                                     (*FCommands)[TCommandId::acLab]);
    pnHistContainer->SetRenderCallback([this] { RedrawHistograms(); });
    splMain->addWidget(pnImage);
    splMain->addWidget(pnHistContainer);
    splMain->setStretchFactor(0, 1);
    splMain->setStretchFactor(1, 0);
    splMain->setSizes({1021 - THistPanel::DesignWidth - 11, THistPanel::DesignWidth});
    setCentralWidget(splMain);

    sbMain = new TStatusBar(this);
    setStatusBar(sbMain);
    FReadout = new THistReadout(*pnHistContainer, [this] { return FCore.Hist.get(); }, this);
    connect(FReadout, &THistReadout::ReadoutChanged, sbMain, &TStatusBar::SetReadout);
    connect(FReadout, &THistReadout::ClippingChanged, sbMain, &TStatusBar::SetClippingText);

    pmMain = new QMenu(this);
    pmMain->setObjectName(QStringLiteral("pmMain"));
    BuildContextMenu(*pmMain, *FCommands);
    connect(pmMain, &QMenu::aboutToShow, this, &TfrmMain::pmMainPopup);

    // The histogram panel keeps the colours of its own: what Save writes must not depend
    // on the theme.
    const auto paintWorkspace = [this] { PaintWorkspace(*pnImage, rbMain->Colours().Workspace); };
    paintWorkspace();
    connect(rbMain, &TRibbonBar::themeChanged, this, paintWorkspace);
    connect(pnWelcome, &TWelcomePanel::ProductPageClicked, this, [] { OpenLink(LinkProductPage); });
    connect(pnWelcome, &TWelcomePanel::CompanyPageClicked, this, [] { OpenLink(LinkCompanyHome); });
    connect(rbMain, &TRibbonBar::recentItemClicked, this,
            [this](const QString& caption, int) { rbMainRecentItemClick(caption); });
}

void TfrmMain::CreateTimers() {
    const auto timer = [this](const char* name, int interval, bool running, auto handler) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        connect(t, &QTimer::timeout, this, handler);
        if (running)
            t->start();
        return t;
    };
    tmMain = timer("tmMain", 100, true, [this] { tmMainTimer(); });
    // The request queue and the web server check arrive with their features.
    tmCheckNews =
        timer("tmCheckNews", CheckNewsFirstInterval, true, [this] { FNews->tmCheckNewsTimer(); });
    tmShowNews = timer("tmShowNews", ShowNewsInterval, false, [this] { FNews->tmShowNewsTimer(); });
    FNews = new TNewsPresenter(
        tmCheckNews, tmShowNews,
        [this] {
            return FCore.State ? DateFromDayValue(FCore.State->LastShowNewsDate()) : QDate();
        },
        [this](QDate shown) {
            if (FCore.State)
                FCore.State->SetLastShowNewsDate(DayValueFromDate(shown));
        },
        this);
    // The share service connects its handlers to these three.
    tmRequestQueueIndication = timer("tmRequestQueueIndication", 100, false, [] {});
    tmUploadImageExpWatch = timer("tmUploadImageExpWatch", 100, false, [] {});
    tmCheckWEBServer = timer("tmCheckWEBServer", 100000, true, [] {});
    FShare = new TShareCommands(
        {FExport.get(), sbMain, tmRequestQueueIndication, tmUploadImageExpWatch, tmCheckWEBServer,
         [this] { return pnHistContainer->isVisible(); }, [this] { return FNews->AppInform(); }},
        this);
    connect(pnWelcome, &TWelcomePanel::TellClicked, FShare,
            [this](int i) { FShare->tbSocNetTellClick(i + 1); });
    connect(pnWelcome, &TWelcomePanel::FollowClicked, FShare,
            [this](int i) { FShare->tbSocNetFollowClick(i + 1); });
}

void TfrmMain::BindCommands() {
    using H = THandlerId;
    TCommands& c = *FCommands;
    c.Bind(H::acOpenImageFileExecute, [this](QAction*) { acOpenImageFileExecute(); });
    c.Bind(H::acPasteImageExecute, [this](QAction*) { PasteImage(); });
    c.Bind(H::acPasteImageWelcomeExecute, [this](QAction*) { acPasteImageWelcomeExecute(); });
    c.Bind(H::acPrevImageExecute, [this](QAction*) { ShowNeighbor(TNeighbor::nPrev); });
    c.Bind(H::acNextImageExecute, [this](QAction*) { ShowNeighbor(TNeighbor::nNext); });
    c.Bind(H::acSmoothingOnExecute, [this](QAction*) { acSmoothingOnExecute(); });
    c.Bind(H::acSaveHistExecute, [this](QAction*) { acSaveHistExecute(); });
    c.Bind(H::acCopyHistExecute, [this](QAction*) { FSaveCopy->Copy(); });
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
    SetSmoothing((*FCommands)[TCommandId::acSmoothingOn]->isChecked() ? SmoothLevelMedium
                                                                      : SmoothLevelOff);
    StartUp();
}

void TfrmMain::StartUp() {
    SetAppTitle();
    pnWelcome->SetCompanyName(DisplayName());
    QString version;
    try {
        version = TFileInfo(QCoreApplication::applicationFilePath()).VersionStringShort();
    } catch (const TFileInfoError&) {
        // an executable that cannot be looked up has no version to show
    }
    pnWelcome->SetVersionText(QStringLiteral("ver ") + version);
    pnWelcome->SetTargetAction((*FCommands)[TCommandId::acGoToCompanyPage]);
    SetImgCtrl(false, true);
    sbMain->PlaceLEDs();
    sbMain->SetLEDState(TLEDState::lsGreen);
    FShare->StartWEBServerCheck();
    ed4Focus->setFocus();
    pnHistContainer->HistHeightCorrect();
    // The window shows first; a large picture named on the command line decodes after.
    RunAfterFirstPaint(imMain, [this] {
        if (FCore.State)
            FixFrame(*FCore.State, StatefulParts());
        OpenCommandLineImage();
        FStartUpDone = true;
    });
}

void TfrmMain::OpenCommandLineImage() {
    if (FArguments.isEmpty())
        return;
    const QString path = FArguments.first();
    if (TFiles::IsAcceptedImageName(path))
        LoadImageFile(path);
    else
        WarningMessage(QStringLiteral("Format ") + FileExtUpper(path) +
                       QStringLiteral(" not supported."));
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    for (QTimer* t : findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
        t->stop();
    if (FStarted && FCore.State) { // never shown: nothing of this run to remember
        CollectState(*FCore.State, StatefulParts());
        const std::unique_ptr<QSettings> settings = FCore.OpenSettings();
        FCore.State->Save(*settings);
        FRecent.Save(*settings);
    }
    FOpener.reset();
    FCore.Release();
    qApp->removeEventFilter(this);
    e->accept();
}

// ---- opening images

void TfrmMain::LoadImageFile(const QString& path) {
    if (FOpener)
        FOpener->LoadImageFile(path);
}

void TfrmMain::PasteImage() {
    if (!FOpener)
        return;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QImage image;
    if (mime && mime->hasImage())
        image = qvariant_cast<QImage>(mime->imageData());
    FOpener->PasteImage(image);
}

void TfrmMain::ShowNeighbor(TNeighbor neighbor) {
    if (FOpener)
        FOpener->ShowNeighbor(neighbor);
}

void TfrmMain::acOpenImageFileExecute() {
    // The label shows without its bracketed patterns.
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Image"), QString(),
                                                      OpenImageFilter(), nullptr,
                                                      QFileDialog::HideNameFilterDetails);
    if (path.isEmpty())
        return;
    imMain->repaint(); // the area under the closed dialog is redrawn before decoding starts
    LoadImageFile(path);
}

void TfrmMain::acSaveHistExecute() {
    const QString current = FCore.Files ? FCore.Files->sCurrFile : QString();
    FSaveCopy->Save(AddPostFix(FileBaseName(current), QStringLiteral("_histogram")),
                    FolderPart(current));
}

void TfrmMain::SetSaveDialogs(std::unique_ptr<TSaveDialogs> dialogs) {
    FSaveCopy->SetDialogs(std::move(dialogs));
}

void TfrmMain::acPasteImageWelcomeExecute() {
    if ((*FCommands)[TCommandId::acPasteImage]->isEnabled())
        PasteImage();
    else
        Fail(QStringLiteral("The clipboard holds no picture"));
}

void TfrmMain::tmMainTimer() {
    // An empty clipboard may answer with no data at all.
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const bool available = mime && mime->hasImage();
    (*FCommands)[TCommandId::acPasteImage]->setEnabled(available);
    (*FCommands)[TCommandId::acPasteImageQAT]->setEnabled(available);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    e->acceptProposedAction();
    const QString path = urls.isEmpty() ? QString() : urls.first().toLocalFile(); // the first only
    if (path.isEmpty())
        Fail(QStringLiteral("Only image files can be dropped here"));
    else if (!TFiles::IsAcceptedImageName(path))
        Fail(CannotOpenText(path, QStringLiteral("not a JPEG or BMP file")));
    else // after the drop has returned, so the file manager is not held while it decodes
        QTimer::singleShot(0, this, [this, path] { LoadImageFile(path); });
}

// ---- commands

void TfrmMain::SetImgCtrl(bool NewState, bool NavigationIsOff) {
    TCommands& c = *FCommands;
    const bool navigation = NewState && !NavigationIsOff;
    c[TCommandId::acPrevImage]->setEnabled(navigation);
    c[TCommandId::acNextImage]->setEnabled(navigation);
    c[TCommandId::acPrevImageQAT]->setEnabled(c[TCommandId::acPrevImage]->isEnabled());
    c[TCommandId::acNextImageQAT]->setEnabled(c[TCommandId::acNextImage]->isEnabled());
    using C = TCommandId;
    for (TCommandId id : {C::acSaveHist, C::acSaveHistQAT, C::acSocNetHTML, C::acSocNetFB,
                          C::acSocNetGP, C::acSocNetTW, C::acCopyHist, C::acCopyHistQAT, C::acRGB,
                          C::acHSV, C::acLab, C::acSmoothingOn})
        c[id]->setEnabled(NewState);
}

void TfrmMain::acSmoothingOnExecute() {
    SetSmoothing((*FCommands)[TCommandId::acSmoothingOn]->isChecked() ? SmoothLevelMedium
                                                                      : SmoothLevelOff);
}

void TfrmMain::SetSmoothing(int levelIndex) {
    if (!FCore.Hist)
        return; // closed: the engine is released
    THist& hist = *FCore.Hist;
    const std::uint8_t repCnt = SmoothLevels[static_cast<std::size_t>(levelIndex)].RepCnt;
    if (repCnt == hist.SmoothRepeatCnt)
        return;
    hist.SmoothRepeatCnt = repCnt;
    hist.Calc4Show(Origin, Origin4Show); // from the raw counts: the image is not counted again
    RedrawHistograms();
}

void TfrmMain::pmMainPopup() {
    const bool enabled =
        (*FCommands)[TCommandId::acSaveHist]->isEnabled() && pnHistContainer->isVisible();
    for (QAction* a : pmMain->actions())
        if (!a->isSeparator())
            a->setEnabled(enabled);
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* e) {
    pmMain->popup(e->globalPos());
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        // Only the first delivery: the focused widget (or the window without one); the
        // copies that propagate to parents are not handled twice.
        QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        if (w == first && w->window() == this)
            FormKeyDown(static_cast<QKeyEvent*>(e)->key());
    }
    return false;
}

void TfrmMain::FormKeyDown(int key) {
    int step = 0;
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_PageDown:
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    default:
        return;
    }
    if (!FCore.Files || FCore.Files->sCurrFile.isEmpty()) {
        Fail(QStringLiteral("No image is open"));
        return;
    }
    ShowNeighbor(step < 0 ? TNeighbor::nPrev : TNeighbor::nNext);
}

// ---- recent images

void TfrmMain::RememberRecentImage(const QString& path) {
    FRecent.Remember(path);
    ShowRecentCaptions();
}

void TfrmMain::LoadRecentItems() {
    FRecent.Load(*FCore.OpenSettings());
    ShowRecentCaptions();
}

void TfrmMain::ShowRecentCaptions() {
    rbMain->ClearRecentItems();
    const QStringList& captions = FRecent.Captions();
    for (auto it = captions.crbegin(); it != captions.crend(); ++it) // the newest ends on top
        rbMain->AddRecentItem(*it);
}

void TfrmMain::rbMainRecentItemClick(const QString& fileName) {
    const QString path =
        FRecent.PathForClick(fileName, [](const QString& p) { return QFileInfo::exists(p); });
    if (!path.isEmpty())
        LoadImageFile(path);
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
            [this] { LoadRecentItems(); }};
}

void TfrmMain::SetTheme(int theme) {
    if (theme < 0 || theme > 2)
        return;
    rbMain->SetTheme(static_cast<ribbon::TRibbonTheme>(theme)); // keeps the tab it was on
    update();
}

int TfrmMain::Theme() const {
    return static_cast<int>(rbMain->Theme());
}

// ---- what the opener asks of the window

void TfrmMain::SetWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmMain::ShowImage(const QImage& image) {
    imMain->SetImage(image);
}

void TfrmMain::ShowPreparedImage(const QImage& image, const QImage& preview) {
    imMain->SetImage(image, preview);
}

int TfrmMain::PreviewSide() const {
    return imMain->PreviewSide();
}

void TfrmMain::RedrawHistograms() {
    if (FCore.Hist)
        FCore.Hist->Show(Origin4Show, *pnHistContainer);
    pnHistContainer->update();
}

void TfrmMain::SetAppTitle() {
    const TAppTitle t =
        AppTitleText(FCore.Files ? FCore.Files->sCurrFile : QString(), rbMain->DocumentName());
    rbMain->SetCaption(t.Caption);
    rbMain->SetDocumentName(t.DocumentName);
    setWindowTitle(t.AppTitle);
}

void TfrmMain::ShowImageSize(QSize size) {
    sbMain->SetImageSizeText(ImageSizeText(size));
    FReadout->ImageCounted(); // every load, cache hit and paste ends here
}

void TfrmMain::HideWelcome() {
    pnWelcome->hide();
}

void TfrmMain::Beep() {
    Beeper();
}

void TfrmMain::Fail(const QString& reason) {
    Beep();
    sbMain->ShowFailure(reason);
}

bool TfrmMain::event(QEvent* e) {
    // Command hints go to the message panel; Qt's own status tips would hide the image size.
    if (e->type() == QEvent::StatusTip) {
        sbMain->ShowHint(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

} // namespace tonalyx
