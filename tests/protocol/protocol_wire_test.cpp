// The program against tonalyx-server: each request as the program makes it, from its own
// addresses, and what it reads back, against a server that serves its shipped defaults.
#include "net_fault_server.h"
#include "qt_environment.h"
#include "server_test_support.h"

#include "app_inform.h"
#include "http_client.h"
#include "share_links.h"
#include "share_service.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <functional>

using namespace tonalyx;
using namespace tonalyx::test;
using namespace std::chrono_literals;

TONALYX_NET_TEST_ENVIRONMENT();

TEST(ProtocolWire, TheServerTakesEveryRequestOfTheProgram) {
    TTempFolder folder;
    TServerOptions options;
    options.Defaults = TONALYX_SITE_DEFAULTS;
    TRunningServer server(folder.Path(), options);
    ASSERT_TRUE(server.Started());
    const QString root =
        QString::fromStdString("http://127.0.0.1:" + std::to_string(server.Port()) + "/");
    TShareService service(
        {.ServerRoot = root, .HttpTimeout = 10s, .UploadFileName = QStringLiteral("tonalyx")});
    QSignalSpy failed(&service, &TShareService::UploadFailed);
    QSignalSpy done(&service, &TShareService::UploadDone);
    const auto drain = [&service] {
        for (int i = 0; i < 10000 && service.QueuedRequests() > 0; ++i)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    const std::string png = Png(4, 3, 1000);

    // Each row makes one request and says what went wrong; empty when the server took it.
    struct TRow {
        const char* What;
        std::function<std::string()> Ask;
    } rows[] = {
        {"the server check",
         [&]() -> std::string {
             service.StartWEBServerCheck();
             drain();
             return service.LEDState() == TLEDState::lsGreen ? "" : "the light is not green";
         }},
        {"an upload, then its public address",
         [&]() -> std::string {
             const TStartedUpload started =
                 service.StartUpload(SocNetLink, QByteArray::fromStdString(png));
             drain();
             if (done.count() != 1)
                 return "the upload was not taken";
             const THttpReply picture =
                 THttpClient(10s).Get(started.Address.toStdString(), png.size());
             if (!picture.Ok())
                 return "the address is not served: " + picture.Outcome.Reason();
             return picture.Body == png ? "" : "the address serves other bytes";
         }},
        {"the shipped feed, read by its elements",
         [&]() -> std::string {
             const TFeedResult feed = ReadAppInform(THttpClient(10s), FeedUrl(root));
             if (!feed.Ok())
                 return DescribeFailure(feed.Error());
             return feed->LastVersion == "9.8.7" ? "" : "the announced version is not read";
         }},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(row.Ask(), "") << row.What;
    EXPECT_EQ(failed.count(), 0);
}
