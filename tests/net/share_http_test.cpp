// The HTTP client against loopback servers that answer well, badly or not at all.
#include "net_fault_server.h"

#include "http_client.h"

#include <QFileInfo>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

using namespace tonalyx;
using namespace tonalyx::test;

[[maybe_unused]] static testing::Environment* const NetEnvironment =
    testing::AddGlobalTestEnvironment(new TNetEnvironment);

namespace {

using namespace std::chrono_literals;

class HttpClientTest : public testing::Test {
  protected:
    void SetUp() override {
        Server.Serve("/zero", 200, "0");
        Server.Serve("/zero-newline", 200, "0\n");
        Server.Serve("/empty", 200, "");
        Server.Serve("/missing", 404, "<html><body><h1>404 Not Found</h1></body></html>");
        Server.Serve("/error-zero", 500, "0");
        Server.Serve("/sixteen", 200, std::string(ShortReplyCap, '1'));
        Server.Serve("/seventeen", 200, std::string(ShortReplyCap + 1, '1'));
        Server.ServeInPieces("/pieces", "abcdabcdabcd", 4);
        Server.Http().Get("/moved", [](const auto&, auto& res) { res.set_redirect("/zero"); });
        Server.Http().Get("/agent", [this](const auto& req, auto& res) {
            std::lock_guard lock(Mutex);
            Agent = req.get_header_value("User-Agent");
            Cookie = req.get_header_value("Cookie");
            res.set_header("Set-Cookie", "session=1; Path=/");
            res.set_content("0", "text/plain");
        });
        Server.Http().Post("/upload.php", [this](const auto& req, auto& res) {
            std::lock_guard lock(Mutex);
            Files = req.files;
            res.set_content("0", "text/plain");
        });
        Server.Start();
    }

    TFaultServer Server;
    std::mutex Mutex; // the server's threads write what the test reads
    std::string Agent, Cookie;
    httplib::MultipartFormDataMap Files;
};

TEST_F(HttpClientTest, OnlyA2xxAnswerReadWholeCounts) {
    const struct {
        const char* Path;
        bool Ok, Zero, Overflow;
        long Status;
        const char* Body;
    } cases[] = {
        {"/zero", true, true, false, 200, "0"},
        {"/zero-newline", true, false, false, 200, "0\n"},
        {"/empty", true, false, false, 200, ""},
        {"/missing", false, false, true, 404, nullptr}, // an error page longer than the cap
        {"/error-zero", false, false, false, 500, "0"},
        {"/moved", false, false, false, 302, nullptr}, // followed, it would answer "0"
        {"/sixteen", true, false, false, 200, "1111111111111111"},
        {"/seventeen", false, false, true, 200, "1111111111111111"},
        {"/nowhere", false, false, false, 404, ""},
    };
    const THttpClient client;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const THttpReply r = client.Get(Server.Url(c.Path), ShortReplyCap);
        EXPECT_EQ(r.Ok(), c.Ok);
        EXPECT_EQ(IsZeroReply(r), c.Zero);
        EXPECT_EQ(r.Overflow, c.Overflow);
        EXPECT_EQ(r.Status, c.Status);
        EXPECT_EQ(r.Outcome.Reason().empty(), c.Ok) << r.Outcome.Reason();
        // The detail names the request, for the log.
        EXPECT_EQ(r.Outcome.Detail().find("GET http://127.0.0.1:") == 0, !c.Ok)
            << r.Outcome.Detail();
        EXPECT_EQ(r.Body, c.Body ? c.Body : r.Body);
    }
    // The cap counts over all the pieces of a body.
    const THttpReply whole = client.Get(Server.Url("/pieces"), 12);
    EXPECT_TRUE(whole.Ok() && whole.Body == "abcdabcdabcd") << whole.Outcome.Reason();
    const THttpReply cut = client.Get(Server.Url("/pieces"), 11);
    EXPECT_TRUE(!cut.Ok() && cut.Overflow && cut.Body == "abcdabcdabc");
}

TEST_F(HttpClientTest, SendsTheExecutableNameAndNoCookies) {
    const THttpClient client;
    ASSERT_TRUE(client.Get(Server.Url("/agent"), ShortReplyCap).Ok());
    ASSERT_TRUE(client.Get(Server.Url("/agent"), ShortReplyCap).Ok());
    std::lock_guard lock(Mutex);
    EXPECT_EQ(Agent, QFileInfo(QStringLiteral("/proc/self/exe"))
                         .canonicalFilePath()
                         .section(u'/', -1)
                         .toStdString());
    EXPECT_EQ(Cookie, "") << "a cookie of the earlier answer came back";
}

TEST_F(HttpClientTest, MultipartPostArrivesWithItsPartsAndExactBytes) {
    // Zeros, high bytes and line breaks, as in a PNG.
    std::string png("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 3000; ++i)
        png += char(i % 7 == 0 ? 0 : i & 0xff);
    const std::string name = "0001tabcdefghij0123456789.png";
    const THttpReply r = THttpClient().PostMultipart(
        Server.Url("/upload.php"),
        {{"file", png, "/opt/tonalyx/tonalyx", "image/png"}, {"fname", name, "", ""}},
        ShortReplyCap);
    EXPECT_TRUE(IsZeroReply(r)) << r.Outcome.Reason();
    std::lock_guard lock(Mutex);
    ASSERT_EQ(Files.size(), 2u);
    const httplib::MultipartFormData& file = Files.find("file")->second;
    EXPECT_TRUE(file.content == png) << "the bytes changed on the way";
    EXPECT_EQ(file.filename, "/opt/tonalyx/tonalyx");
    EXPECT_EQ(file.content_type, "image/png");
    EXPECT_EQ(Files.find("fname")->second.content, name);
    EXPECT_EQ(Files.find("fname")->second.filename, "");
}

TEST_F(HttpClientTest, LoopbackBypassesTheEnvironmentsProxy) {
    const TRawPort deadProxy(false); // refuses every connection
    setenv("http_proxy", deadProxy.Url("").c_str(), 1);
    setenv("no_proxy", "intranet.example", 1);
    const THttpReply r = THttpClient().Get(Server.Url("/zero"), ShortReplyCap);
    unsetenv("http_proxy");
    unsetenv("no_proxy");
    EXPECT_TRUE(IsZeroReply(r)) << r.Outcome.Reason();
}

TEST(HttpClient, NoServerSilenceAndOtherSchemesFailWithAReason) {
    const TRawPort refusing(false), silent(true);
    const THttpClient client(1000ms); // the silent port takes this long, twice
    const THttpReply replies[] = {
        client.Get(refusing.Url("/check.php"), ShortReplyCap),
        client.Get(silent.Url("/check.php"), ShortReplyCap),
        client.PostMultipart(silent.Url("/upload.php"), {{"fname", "x", "", ""}}, ShortReplyCap),
        client.Get("file:///etc/hostname", ShortReplyCap),
    };
    for (const THttpReply& r : replies) {
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(r.Status, 0);
        EXPECT_TRUE(r.Body.empty());
        EXPECT_FALSE(r.Outcome.Reason().empty());
    }
    EXPECT_NE(replies[1].Outcome.Reason().find("imeout"), std::string::npos)
        << replies[1].Outcome.Reason();
}

// A server that takes the connection and never answers, the request's time-out far away:
// cancelling from another thread ends the transfer at once, whether the cancel comes before
// the transfer began to wait or while it waits for the answer.
TEST(HttpClient, ACancelledTransferEndsAtOnce) {
    const THttpClient client(60s);
    for (const auto& [post, waiting] : {std::pair(false, false), std::pair(false, true),
                                        std::pair(true, false), std::pair(true, true)}) {
        SCOPED_TRACE(std::string(post ? "POST" : "GET") + (waiting ? ", waiting" : ""));
        TRawPort silent(true);
        std::stop_source cancel;
        std::mutex mutex;
        std::condition_variable changed;
        bool started = false;
        std::unique_ptr<THttpReply> reply;
        const std::vector<THttpPart> parts{{"fname", "x", "", ""}};
        std::thread transfer([&] {
            {
                std::lock_guard lock(mutex);
                started = true;
            }
            changed.notify_all();
            THttpReply r =
                post ? client.PostMultipart(silent.Url("/upload.php"), parts, ShortReplyCap,
                                            cancel.get_token())
                     : client.Get(silent.Url("/check.php"), ShortReplyCap, cancel.get_token());
            std::lock_guard lock(mutex);
            reply = std::make_unique<THttpReply>(std::move(r));
            changed.notify_all();
        });
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return started; });
        }
        if (waiting) {
            EXPECT_TRUE(silent.AcceptOne(10s)) << "the request never came";
        }
        cancel.request_stop();
        std::unique_lock lock(mutex);
        const bool ended = changed.wait_for(lock, 10s, [&] { return reply != nullptr; });
        lock.unlock();
        transfer.join(); // bounded by the client's 60 s at worst, when the check above failed
        ASSERT_TRUE(ended) << "still waiting 10 s after the cancel";
        EXPECT_FALSE(reply->Ok());
        EXPECT_EQ(reply->Outcome.Reason(), "The transfer was cancelled");
    }
}

} // namespace
