#include "net_fault_server.h"
#include "qt_environment.h"
#include "server_test_support.h"

#include "share_links.h"
#include "share_service.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <atomic>
#include <future>
#include <map>
#include <memory>
#include <mutex>

using namespace tonalyx;
using namespace tonalyx::test;
using namespace std::chrono_literals;

TONALYX_NET_TEST_ENVIRONMENT();

namespace {

// A service over a server root whose tick clock the test moves.
struct TRig {
    std::shared_ptr<std::atomic<long long>> Now = std::make_shared<std::atomic<long long>>(0);
    std::unique_ptr<TShareService> Service;
    std::unique_ptr<QSignalSpy> Failed, Done, Led;
    explicit TRig(const std::string& root) {
        TShareOptions o;
        o.ServerRoot = QString::fromStdString(root);
        o.Clock = [now = Now] { return std::chrono::milliseconds(now->load()); };
        o.HttpTimeout = 10s;
        o.UploadFileName = QStringLiteral("tonalyx");
        Service = std::make_unique<TShareService>(o);
        Failed = std::make_unique<QSignalSpy>(Service.get(), &TShareService::UploadFailed);
        Done = std::make_unique<QSignalSpy>(Service.get(), &TShareService::UploadDone);
        Led = std::make_unique<QSignalSpy>(Service.get(), &TShareService::LedStateChanged);
    }
    // Runs the main loop until every queued request has reported (each worker ends within
    // its transport timeout); bounded.
    void Drain() {
        for (int i = 0; i < 10000 && Service->QueuedRequests() > 0; ++i)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        EXPECT_EQ(Service->QueuedRequests(), 0u);
    }
};

} // namespace

TEST(ShareService, ReplyDecidesLightAndMessage) {
    struct Row {
        const char* What;
        int Status;
        std::string Body;
        bool Good;
    } rows[] = {{"zero", 200, "0", true},
                {"one", 200, "1", false},
                {"empty", 200, "", false},
                {"zero and line break", 200, "0\n", false},
                {"error status", 500, "0", false}};
    for (const Row& row : rows) {
        TFaultServer server;
        std::mutex formLock; // written on the server's thread
        httplib::MultipartFormData file, fname;
        for (const char* path : {"/upload.php", "/check.php"}) {
            server.Http().Post(path, [&](const httplib::Request& req, auto& res) {
                std::lock_guard lock(formLock);
                file = req.get_file_value("file");
                fname = req.get_file_value("fname");
                res.status = row.Status;
                res.set_content(row.Body, "text/plain");
            });
            server.Serve(path, row.Status, row.Body, "text/plain");
        }
        server.Start();
        TRig rig(server.Url("/"));
        const TStartedUpload started = rig.Service->StartUpload(SocNetLink, QByteArray("png"));
        EXPECT_EQ(started.Target, "<img src=\"" + started.Address + "\"/>");
        rig.Drain();
        // A bare file name: a path would tell the server where the user's files are.
        std::unique_lock lock(formLock);
        EXPECT_EQ(file.filename, "tonalyx");
        EXPECT_EQ(file.content_type, "image/png");
        EXPECT_EQ(file.content, "png");
        EXPECT_EQ(fname.content, started.Name.toStdString());
        lock.unlock();
        EXPECT_EQ(rig.Failed->count(), row.Good ? 0 : 1) << row.What;
        EXPECT_EQ(rig.Done->count(), row.Good ? 1 : 0) << row.What;
        EXPECT_EQ(rig.Service->LEDState(), row.Good ? TLEDState::lsGreen : TLEDState::lsRed)
            << row.What;
        rig.Service->StartWEBServerCheck(); // green at its start, then the result
        EXPECT_EQ(rig.Led->last().at(0).value<TLEDState>(), TLEDState::lsGreen) << row.What;
        rig.Drain();
        EXPECT_EQ(rig.Service->LEDState(), row.Good ? TLEDState::lsGreen : TLEDState::lsRed);
        EXPECT_EQ(rig.Failed->count(), row.Good ? 0 : 1) << "a failed check shows no message";
        EXPECT_EQ(rig.Done->count(), row.Good ? 1 : 0) << "a check is no upload";
        EXPECT_FALSE(rig.Service->OnExpiryTick());
        EXPECT_EQ(rig.Service->OnIndicationTick(), !row.Good) << "red keeps the timer running";
    }
}

TEST(ShareService, SilentServerExpiresOnceAtTheDeadline) {
    for (bool upload : {true, false}) {
        TRawPort silent(true);
        TRig rig(silent.Url("/"));
        if (upload)
            rig.Service->StartUpload(SocNetLink, QByteArray("png"));
        else
            rig.Service->StartWEBServerCheck();
        *rig.Now = 1001; // rounded to 1 s: the blinking green
        EXPECT_TRUE(rig.Service->OnIndicationTick());
        EXPECT_EQ(rig.Service->LEDState(), TLEDState::lsGreen);
        *rig.Now = 2000;
        EXPECT_TRUE(rig.Service->OnIndicationTick());
        EXPECT_EQ(rig.Service->LEDState(), TLEDState::lsOff);
        *rig.Now = 39999;
        EXPECT_TRUE(rig.Service->OnExpiryTick());
        EXPECT_EQ(rig.Failed->count(), 0);
        *rig.Now = 40000;
        EXPECT_TRUE(rig.Service->OnExpiryTick());
        EXPECT_EQ(rig.Failed->count(), 1);
        EXPECT_EQ(rig.Service->LEDState(), TLEDState::lsRed);
        EXPECT_TRUE(rig.Service->OnIndicationTick()); // red: no blinking, timer runs on
        EXPECT_EQ(rig.Service->LEDState(), TLEDState::lsRed);
        EXPECT_FALSE(rig.Service->OnExpiryTick());
        EXPECT_EQ(rig.Service->LEDState(), TLEDState::lsRed);
        EXPECT_EQ(rig.Failed->count(), 1);
    }
}

TEST(ShareService, ConcurrentUploadsAreStoredWithTheirOwnNamesAndBytes) {
    TTempFolder folder;
    TRunningServer server(folder.Path());
    ASSERT_TRUE(server.Started());
    const QString root =
        QString::fromStdString("http://127.0.0.1:" + std::to_string(server.Port()) + "/");
    TRig rig(root.toStdString());
    std::map<QString, std::string> sent;
    for (unsigned i = 0; i < 4; ++i) {
        const std::string png = Png(1 + i, 2, 1000 * i);
        const TStartedUpload started =
            rig.Service->StartUpload(int(i), QByteArray::fromStdString(png));
        EXPECT_EQ(started.Address, MakeImageURL(started.Name, root));
        EXPECT_EQ(started.Target, FillURLTemplate(0, int(i), started.Address));
        sent[started.Name] = png;
    }
    ASSERT_EQ(sent.size(), 4u);
    rig.Drain();
    EXPECT_EQ(rig.Failed->count(), 0);
    for (const auto& [name, png] : sent)
        EXPECT_EQ(ReadFile(folder.Path() / "0001" / name.toStdString()), png);
}

// Closing the program with transfers under way: the service goes at once, the server
// still silent, and nothing of it reports afterwards.
TEST(ShareService, DestroyedWithRequestsRunning) {
    TRawPort silent(true);
    TRig rig(silent.Url("/"));
    rig.Service->StartUpload(SocNetLink, QByteArray("png"));
    rig.Service->StartWEBServerCheck();
    ASSERT_TRUE(silent.AcceptOne(10s) && silent.AcceptOne(10s)) << "the requests never came";
    const qsizetype ledChanges = rig.Led->count();
    const auto before = std::chrono::steady_clock::now();
    rig.Service.reset(); // cancels both transfers (10 s from their time-out) and joins them
    const auto closing = std::chrono::steady_clock::now() - before;
    RecordProperty("closing_us",
                   int(std::chrono::duration_cast<std::chrono::microseconds>(closing).count()));
    EXPECT_LT(closing, 5s) << "the close waited for the network";
    EXPECT_TRUE(silent.AcceptedClosed(5s)) << "a transfer outlived the service";
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.Failed->count(), 0);
    EXPECT_EQ(rig.Led->count(), ledChanges);
}

// A request abandoned at its deadline has its transfer cancelled: it reports nothing later,
// and holds no worker of the service.
TEST(ShareService, AnAbandonedRequestsTransferIsCancelled) {
    TRawPort silent(true);
    TRig rig(silent.Url("/"));
    rig.Service->StartWEBServerCheck();
    ASSERT_TRUE(silent.AcceptOne(10s)) << "the check never came";
    *rig.Now = 40000;
    EXPECT_TRUE(rig.Service->OnExpiryTick());
    EXPECT_EQ(rig.Service->LEDState(), TLEDState::lsRed);
    EXPECT_EQ(rig.Failed->count(), 1);
    // Its time-out is 10 s away; the connection closes at once.
    EXPECT_TRUE(silent.AcceptedClosed(5s)) << "the abandoned transfer went on";
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.Failed->count(), 1) << "the abandoned check reported after its deadline";
    EXPECT_EQ(rig.Service->QueuedRequests(), 0u);
}

// An upload abandoned at its deadline was told as failed; the server's "0" arriving after
// that never turns it into one done.
TEST(ShareService, AnUploadAbandonedAtItsDeadlineNeverSaysDone) {
    TFaultServer server;
    std::promise<void> arrived, answered;
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    server.Http().Post("/upload.php", [&](const httplib::Request&, httplib::Response& res) {
        arrived.set_value();
        open.wait();
        res.set_content("0", "text/plain");
        answered.set_value();
    });
    server.Start();
    TRig rig(server.Url("/"));
    rig.Service->StartUpload(SocNetLink, QByteArray("png"));
    ASSERT_EQ(arrived.get_future().wait_for(10s), std::future_status::ready);
    *rig.Now = 40000;
    EXPECT_TRUE(rig.Service->OnExpiryTick());
    EXPECT_EQ(rig.Failed->count(), 1);
    gate.set_value();
    ASSERT_EQ(answered.get_future().wait_for(10s), std::future_status::ready);
    QCoreApplication::processEvents();
    EXPECT_FALSE(rig.Service->OnExpiryTick());
    EXPECT_EQ(rig.Done->count(), 0);
    EXPECT_EQ(rig.Failed->count(), 1);
}
