// The libraries' log categories: quiet below warnings unless the rules ask for more, and a
// failure swallowed by design (an unreadable window state) shows up once they do.
#include "about_log.h"
#include "appinfo_log.h"
#include "background_log.h"
#include "histview_log.h"
#include "net_log.h"
#include "opening_log.h"
#include "panel_export_log.h"
#include "pictures_log.h"
#include "render_core_log.h"
#include "ribbon_log.h"
#include "state_log.h"
#include "widgets_log.h"
#include "window_log.h"

#include "ustate.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <string>
#include <vector>

using namespace tonalyx;

namespace {

// Before the application object reads them: a developer's own rules would change what
// the defaults are.
struct TNoLoggingRules : testing::Environment {
    void SetUp() override { qunsetenv("QT_LOGGING_RULES"); }
};
[[maybe_unused]] testing::Environment* const NoRules =
    testing::AddGlobalTestEnvironment(new TNoLoggingRules);

} // namespace

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

struct TMessage {
    std::string Category;
    QtMsgType Type;
    QString Text;
};
std::vector<TMessage> Captured;

void Capture(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    Captured.push_back({context.category ? context.category : "", type, text});
}

} // namespace

TEST(LogCategories, OnePerQtLibraryQuietBelowWarnings) {
    const std::pair<const QLoggingCategory& (*)(), const char*> categories[] = {
        {BackgroundLog, "tonalyx.background"},
        {PicturesLog, "tonalyx.pictures"},
        {OpeningLog, "tonalyx.opening"},
        {AppInfoLog, "tonalyx.appinfo"},
        {AboutLog, "tonalyx.about"},
        {NetLog, "tonalyx.net"},
        {PanelExportLog, "tonalyx.panel_export"},
        {ribbon::RibbonLog, "tonalyx.ribbon"},
        {WidgetsLog, "tonalyx.widgets"},
        {HistViewLog, "tonalyx.histview"},
        {StateLog, "tonalyx.state"},
        {WindowLog, "tonalyx.window"},
        {RenderLog, "tonalyx.render"},
    };
    for (const auto& [category, name] : categories) {
        SCOPED_TRACE(name);
        EXPECT_STREQ(category().categoryName(), name);
        EXPECT_FALSE(category().isDebugEnabled());
        EXPECT_FALSE(category().isInfoEnabled());
        EXPECT_TRUE(category().isWarningEnabled());
        EXPECT_TRUE(category().isCriticalEnabled());
    }
}

TEST(LogCategories, TheRulesShowWhatIsSwallowed) {
    QTemporaryDir dir;
    QSettings settings(QDir(dir.path()).filePath("settings.conf"), QSettings::IniFormat);
    settings.setValue("State", QByteArray(47, '\1')); // one byte short
    const QtMessageHandler previous = qInstallMessageHandler(Capture);
    TState state;
    (void)state.Load(settings, {1920, 1080}, 1500);
    const std::size_t quiet = Captured.size();
    QLoggingCategory::setFilterRules(QStringLiteral("tonalyx.state.info=true"));
    (void)state.Load(settings, {1920, 1080}, 1500);
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    EXPECT_EQ(quiet, 0u) << "logged with the default rules";
    ASSERT_EQ(Captured.size(), 1u);
    EXPECT_EQ(Captured[0].Category, "tonalyx.state");
    EXPECT_EQ(Captured[0].Type, QtInfoMsg);
    EXPECT_TRUE(Captured[0].Text.contains("cannot be read")) << Captured[0].Text.toStdString();
    EXPECT_TRUE(Captured[0].Text.contains("47 bytes")) << Captured[0].Text.toStdString();
}
