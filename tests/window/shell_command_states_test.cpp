// The commands' enabled and checked states after sequences of what happens to the window:
// opens, failed opens, pastes, revisits from the cache (through the real opener), the
// histogram panel shown and hidden, the clipboard's content, the smoothing switch; then the
// same states shown on the actions and the context menu.
#include "command_states.h"

#include "image_opener.h"
#include "main_ribbon.h"
#include "ucache.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <cctype>
#include <string>
#include <vector>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

// The command groups as the window's command table describes them; twins included.
const TCommandId ImageCommands[] = {C::acSaveHist, C::acSaveHistQAT, C::acSocNetHTML,
                                    C::acSocNetFB, C::acSocNetGP,    C::acSocNetTW,
                                    C::acCopyHist, C::acCopyHistQAT, C::acRGB,
                                    C::acHSV,      C::acLab,         C::acSmoothingOn};
const TCommandId NavigationCommands[] = {C::acPrevImage, C::acPrevImageQAT, C::acNextImage,
                                         C::acNextImageQAT};
const TCommandId PasteCommands[] = {C::acPasteImage, C::acPasteImageQAT};
const TCommandId AlwaysAvailable[] = {C::acOpenImageFile,
                                      C::acOpenImageFileQAT,
                                      C::acPasteImageWelcome,
                                      C::acHelpTopic,
                                      C::acAbout,
                                      C::acOptionsAppOptions,
                                      C::acExit,
                                      C::FileExit2,
                                      C::acGoToCompanyPage};

enum class TStep {
    StartUp,     // what start-up sets before any image
    Open,        // a.bmp, decoded
    OpenOther,   // b.bmp, decoded
    FailedOpen,  // broken.jpg, which does not decode
    Revisit,     // a.bmp again, from the cache
    Paste,       // a picture from the clipboard
    FailedPaste, // a clipboard picture that cannot be read
    PanelShown,
    PanelHidden,
    ClipboardPicture,
    ClipboardEmpty,
    SmoothingOff,
    SmoothingOn,
};

// What the row expects: the image commands, previous/next, paste, the context menu's items,
// the smoothing switch checked.
struct TExpected {
    bool Image, Navigation, Paste, ContextMenu, Smoothing;
};

struct TStatesRow {
    const char* Name;
    std::vector<TStep> Steps;
    TExpected Expected;
};

using S = TStep;
constexpr bool y = true, n = false;
// clang-format off
const TStatesRow Rows[] = {
    //                                                              image, nav, paste, menu, smooth
    {"as created", {},                                              {y, y, y, n, y}},
    {"start-up", {S::StartUp},                                      {n, n, y, n, y}},
    {"start-up with the panel shown", {S::StartUp, S::PanelShown},  {n, n, y, n, y}},
    {"a failed open before any image", {S::StartUp, S::FailedOpen}, {y, y, y, n, y}},
    {"an open", {S::StartUp, S::PanelShown, S::Open},               {y, y, y, y, y}},
    {"an open, then the panel hidden",
     {S::StartUp, S::PanelShown, S::Open, S::PanelHidden},          {y, y, y, n, y}},
    {"the panel hidden before the first image",
     {S::StartUp, S::PanelShown, S::PanelHidden, S::Open},          {y, y, y, n, y}},
    {"a paste after an open", {S::StartUp, S::PanelShown, S::Open, S::Paste}, {y, n, y, y, y}},
    {"a revisit after a paste",
     {S::StartUp, S::Open, S::OpenOther, S::Paste, S::Revisit},     {y, n, y, n, y}},
    {"a revisit after an open",
     {S::StartUp, S::Open, S::OpenOther, S::Revisit},               {y, y, y, n, y}},
    {"a failed paste first", {S::StartUp, S::FailedPaste},          {y, n, y, n, y}},
    {"a failed paste after an open", {S::StartUp, S::Open, S::FailedPaste}, {y, y, y, n, y}},
    {"a failed paste after a paste", {S::StartUp, S::Paste, S::FailedPaste}, {y, y, y, n, y}},
    {"a failed open after a paste", {S::StartUp, S::Paste, S::FailedOpen}, {y, y, y, n, y}},
    {"the clipboard emptied", {S::StartUp, S::ClipboardEmpty},      {n, n, n, n, y}},
    {"the clipboard emptied and filled",
     {S::StartUp, S::ClipboardEmpty, S::Open, S::ClipboardPicture}, {y, y, y, n, y}},
    {"smoothing switched off", {S::StartUp, S::SmoothingOff, S::Open}, {y, y, y, n, n}},
    {"smoothing switched off and on",
     {S::StartUp, S::SmoothingOff, S::SmoothingOn},                 {n, n, y, n, y}},
};
// clang-format on

// The opener's view that only records the commands' availability in the model.
class TStatesView : public TOpenerView {
  public:
    explicit TStatesView(TCommandStates& states) : FStates(states) {}
    void SetWaitCursor(bool) override {}
    void SetImgCtrl(bool NewState, bool NavigationIsOff) override {
        FStates.SetImgCtrl(NewState, NavigationIsOff);
    }
    void ShowImage(const QImage&) override {}
    void RedrawHistograms() override {}
    void SetAppTitle(const TPictureSource&) override {}
    void ShowImageSize(QSize, TRawRendition) override {}
    void HideWelcome() override {}
    void RememberRecentImage(const QString&) override {}
    void Fail(const QString&) override {}

  private:
    TCommandStates& FStates;
};

QImage Solid(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

class CommandStates : public testing::TestWithParam<TStatesRow> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(Solid(20, 10, qRgb(200, 0, 0)).save(Path("a.bmp")));
        ASSERT_TRUE(Solid(8, 8, qRgb(0, 200, 0)).save(Path("b.bmp")));
        QFile broken(Path("broken.jpg"));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture");
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }

    void Run(TStep step) {
        switch (step) {
        case S::StartUp:
            States.SetImgCtrl(false, true);
            break;
        case S::Open:
            Opener.LoadImageFile(Path("a.bmp"));
            break;
        case S::OpenOther:
            Opener.LoadImageFile(Path("b.bmp"));
            break;
        case S::FailedOpen:
            Opener.LoadImageFile(Path("broken.jpg"));
            break;
        case S::Revisit:
            ASSERT_TRUE(Cache.Contains(Path("a.bmp")));
            Opener.LoadImageFile(Path("a.bmp"));
            break;
        case S::Paste:
            Opener.PasteImage(Solid(5, 5, qRgb(1, 2, 3)));
            break;
        case S::FailedPaste:
            Opener.PasteImage(QImage());
            break;
        case S::PanelShown:
            States.SetPanelVisible(true);
            break;
        case S::PanelHidden:
            States.SetPanelVisible(false);
            break;
        case S::ClipboardPicture:
            States.SetClipboardHoldsPicture(true);
            break;
        case S::ClipboardEmpty:
            States.SetClipboardHoldsPicture(false);
            break;
        case S::SmoothingOff:
            States.SetChecked(C::acSmoothingOn, false);
            break;
        case S::SmoothingOn:
            States.SetChecked(C::acSmoothingOn, true);
            break;
        }
        // Opens are taken in from the event loop.
        ASSERT_TRUE(QTest::qWaitFor([this] { return !Opener.IsOpening(); }, 60000));
    }

    QTemporaryDir Dir;
    TCommandStates States;
    TStatesView View{States};
    TCurrentHist Hist;
    TFiles Files;
    TCache Cache{16 << 20};
    TImageOpener Opener{Hist, Files, Cache, View};
};

} // namespace

TEST_P(CommandStates, FollowWhatHappened) {
    const TStatesRow& row = GetParam();
    for (TStep step : row.Steps)
        Run(step);
    const TExpected& want = row.Expected;
    for (TCommandId id : ImageCommands)
        EXPECT_EQ(States.Enabled(id), want.Image) << CommandEntry(id).Name;
    for (TCommandId id : NavigationCommands)
        EXPECT_EQ(States.Enabled(id), want.Navigation) << CommandEntry(id).Name;
    for (TCommandId id : PasteCommands)
        EXPECT_EQ(States.Enabled(id), want.Paste) << CommandEntry(id).Name;
    for (TCommandId id : AlwaysAvailable)
        EXPECT_TRUE(States.Enabled(id)) << CommandEntry(id).Name;
    EXPECT_EQ(States.ContextMenuEnabled(), want.ContextMenu);
    EXPECT_EQ(States.Checked(C::acSmoothingOn), want.Smoothing);
    EXPECT_EQ(States.SmoothLevel(), SmoothLevelOfSwitch(want.Smoothing));
    for (TCommandId id : {C::acRGB, C::acHSV, C::acLab})
        EXPECT_TRUE(States.Checked(id)) << CommandEntry(id).Name;
    EXPECT_FALSE(States.Checked(C::acSaveHist)); // does not toggle
}

INSTANTIATE_TEST_SUITE_P(Sequences, CommandStates, testing::ValuesIn(Rows),
                         [](const testing::TestParamInfo<TStatesRow>& row) {
                             std::string name;
                             for (const char* c = row.param.Name; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

TEST(CommandStatesChanges, AreToldOncePerChangeAndNotForARepeat) {
    TCommandStates states;
    int told = 0;
    states.OnChange = [&] { ++told; };
    states.SetImgCtrl(true, false); // as created
    states.SetPanelVisible(false);
    states.SetClipboardHoldsPicture(true);
    states.SetChecked(C::acLab, true);
    states.SetChecked(C::acSaveHist, true); // not a toggle
    EXPECT_EQ(told, 0);
    states.SetImgCtrl(false, true);
    states.SetImgCtrl(false, true);
    states.SetPanelVisible(true);
    states.SetClipboardHoldsPicture(false);
    states.SetChecked(C::acLab, false);
    EXPECT_EQ(told, 4);
    EXPECT_FALSE(states.Checked(C::acSaveHist));
}

// The model on the window's own actions and context menu.
TEST(CommandStatesView, ShowsTheStatesOnTheActionsAndTheContextMenu) {
    QWidget window;
    auto* panel = new QWidget(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(panel);
    TCommands commands(&window);
    QMenu menu;
    BuildContextMenu(menu, commands);
    TCommandStates states;
    TCommandStatesView view(states, commands, menu, *panel, &window);
    const auto contextItems = [&] {
        int enabled = 0;
        for (QAction* a : menu.actions())
            enabled += !a->isSeparator() && a->isEnabled();
        return enabled;
    };

    states.SetImgCtrl(false, true);
    EXPECT_FALSE(commands[C::acCopyHistQAT]->isEnabled());
    EXPECT_FALSE(commands[C::acNextImageQAT]->isEnabled());
    EXPECT_TRUE(commands[C::acOpenImageFile]->isEnabled());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    states.SetImgCtrl(true, true);
    EXPECT_TRUE(commands[C::acSaveHistQAT]->isEnabled());
    EXPECT_FALSE(commands[C::acPrevImageQAT]->isEnabled());
    EXPECT_EQ(contextItems(), 5); // the panel was shown with the window
    panel->hide();
    EXPECT_EQ(contextItems(), 0);
    panel->show();
    EXPECT_EQ(contextItems(), 5);
    window.hide();
    EXPECT_EQ(contextItems(), 0);

    states.SetClipboardHoldsPicture(false);
    EXPECT_FALSE(commands[C::acPasteImage]->isEnabled());
    EXPECT_FALSE(commands[C::acPasteImageQAT]->isEnabled());

    commands[C::acSmoothingOn]->trigger(); // toggles itself
    EXPECT_FALSE(states.Checked(C::acSmoothingOn));
    EXPECT_EQ(states.SmoothLevel(), SmoothLevelOff);
    commands[C::acSmoothingOn]->setChecked(true); // as a restored state sets it
    EXPECT_EQ(states.SmoothLevel(), SmoothLevelMedium);
}

TEST(RegionShown, WholePictureIsAvailableOnlyWhileARegionIsCounted) {
    TCommandStates states;
    int changes = 0;
    states.OnChange = [&] { ++changes; };
    EXPECT_FALSE(states.Enabled(C::acWholePicture));
    for (const bool shown : {true, true, false}) {
        states.SetRegionShown(shown);
        EXPECT_EQ(states.Enabled(C::acWholePicture), shown);
    }
    EXPECT_EQ(changes, 2); // the repeat changes nothing
    // The picture's own commands do not follow it.
    EXPECT_TRUE(states.Enabled(C::acSaveHist));
}
