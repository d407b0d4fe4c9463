// The HTTP client against loopback servers that answer well, badly or not at all.
#include "net_fault_server.h"

#include "share/http_client.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <atomic>
#include <mutex>

using namespace tonalyx;
using namespace tonalyx::test;

[[maybe_unused]] static testing::Environment* const NetEnvironment =
    testing::AddGlobalTestEnvironment(new TNetEnvironment);

namespace {

using namespace std::chrono_literals;

// Replies of a server of many faults, each on a path of its own.
class HttpClientTest : public testing::Test {
  protected:
    void SetUp() override {
        auto& s = Server.Http();
        s.Get("/zero", [](const auto&, auto& res) { res.set_content("0", "text/plain"); });
        s.Get("/zero-newline",
              [](const auto&, auto& res) { res.set_content("0\n", "text/plain"); });
        s.Get("/empty", [](const auto&, auto& res) { res.set_content("", "text/plain"); });
        s.Get("/missing", [](const auto&, auto& res) {
            res.status = 404;
            res.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
        });
        s.Get("/error-zero", [](const auto&, auto& res) {
            res.status = 500;
            res.set_content("0", "text/plain");
        });
        s.Get("/moved", [](const auto&, auto& res) { res.set_redirect("/target"); });
        s.Get("/target", [this](const auto&, auto& res) {
            ++TargetHits;
            res.set_content("0", "text/plain");
        });
        s.Get("/sixteen", [](const auto&, auto& res) {
            res.set_content(std::string(ShortReplyCap, '1'), "text/plain");
        });
        s.Get("/seventeen", [](const auto&, auto& res) {
            res.set_content(std::string(ShortReplyCap + 1, '1'), "text/plain");
        });
        // Several pieces, as a slow network delivers them.
        s.Get("/pieces", [](const auto&, auto& res) {
            res.set_chunked_content_provider("text/plain", [](std::size_t at, auto& sink) {
                if (at < 12)
                    sink.write("abcd", 4);
                else
                    sink.done();
                return true;
            });
        });
        s.Get("/agent", [this](const auto& req, auto& res) {
            std::lock_guard lock(Mutex);
            Agent = req.get_header_value("User-Agent");
            Cookie = req.get_header_value("Cookie");
            res.set_header("Set-Cookie", "session=1; Path=/");
            res.set_content("0", "text/plain");
        });
        s.Post("/upload.php", [this](const auto& req, auto& res) {
            std::lock_guard lock(Mutex);
            Multipart = req.is_multipart_form_data();
            File = req.get_file_value("file");
            Name = req.get_file_value("fname");
            PartCount = req.files.size();
            res.set_content("0", "text/plain");
        });
        Server.Start();
    }

    TFaultServer Server;
    std::atomic<int> TargetHits{0};
    std::mutex Mutex;
    std::string Agent, Cookie;
    bool Multipart = false;
    httplib::MultipartFormData File, Name;
    std::size_t PartCount = 0;
};

struct TGetCase {
    const char* Path;
    bool Ok;
    long Status;
    const char* Body;
    bool Zero; // IsZeroReply
    bool Overflow;
};

TEST_F(HttpClientTest, GetRepliesCountOnlyA2xxAnswerReadWhole) {
    const TGetCase cases[] = {
        {"/zero", true, 200, "0", true, false},
        {"/zero-newline", true, 200, "0\n", false, false},
        {"/empty", true, 200, "", false, false},
        {"/missing", false, 404, nullptr, false, true}, // the error page is longer than the cap
        {"/error-zero", false, 500, "0", false, false},
        {"/moved", false, 302, nullptr, false, false},
        {"/sixteen", true, 200, "1111111111111111", false, false},
        {"/seventeen", false, 200, "1111111111111111", false, true},
        {"/nowhere", false, 404, "", false, false},
    };
    const THttpClient client;
    for (const TGetCase& c : cases) {
        SCOPED_TRACE(c.Path);
        const THttpReply r = client.Get(Server.Url(c.Path), ShortReplyCap);
        EXPECT_EQ(r.Ok, c.Ok);
        EXPECT_EQ(r.Status, c.Status);
        EXPECT_EQ(r.Overflow, c.Overflow);
        EXPECT_EQ(IsZeroReply(r), c.Zero);
        EXPECT_EQ(r.Error.isEmpty(), c.Ok) << r.Error.toStdString();
        if (c.Body) {
            EXPECT_EQ(r.Body, c.Body);
        }
    }
    EXPECT_EQ(TargetHits, 0) << "a redirect was followed";
}

TEST_F(HttpClientTest, BodyArrivingInPiecesIsReadWhole) {
    const THttpReply r = THttpClient().Get(Server.Url("/pieces"), 2001);
    EXPECT_TRUE(r.Ok) << r.Error.toStdString();
    EXPECT_EQ(r.Body, "abcdabcdabcd");
}

TEST_F(HttpClientTest, SendsTheExecutableNameAndNoCookies) {
    const THttpClient client;
    ASSERT_TRUE(client.Get(Server.Url("/agent"), ShortReplyCap).Ok);
    ASSERT_TRUE(client.Get(Server.Url("/agent"), ShortReplyCap).Ok);
    std::lock_guard lock(Mutex);
    EXPECT_EQ(Agent, QFileInfo(QStringLiteral("/proc/self/exe"))
                         .canonicalFilePath()
                         .section(u'/', -1)
                         .toStdString());
    EXPECT_EQ(Cookie, "") << "a cookie of the earlier answer came back";
}

TEST_F(HttpClientTest, MultipartPostArrivesWithItsPartsAndExactBytes) {
    // PNG-like bytes: zeros, high bytes and a line break that text handling would lose.
    std::string png("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 3000; ++i)
        png += char(i % 7 == 0 ? 0 : i & 0xff);
    const std::string name = "0001tabcdefghij0123456789.png";
    const std::vector<THttpPart> parts = {
        {"file", png, "/opt/tonalyx/tonalyx", "image/png"},
        {"fname", name, "", ""},
    };
    const THttpReply r =
        THttpClient().PostMultipart(Server.Url("/upload.php"), parts, ShortReplyCap);
    EXPECT_TRUE(IsZeroReply(r)) << r.Error.toStdString();
    std::lock_guard lock(Mutex);
    EXPECT_TRUE(Multipart);
    EXPECT_EQ(PartCount, 2u);
    EXPECT_EQ(File.content.size(), png.size());
    EXPECT_TRUE(File.content == png) << "the PNG bytes changed on the way";
    EXPECT_EQ(File.filename, "/opt/tonalyx/tonalyx");
    EXPECT_EQ(File.content_type, "image/png");
    EXPECT_EQ(Name.content, name);
    EXPECT_EQ(Name.filename, "");
}

TEST(HttpClient, ServerDownFailsWithAReason) {
    const TRawPort refusing(false);
    const THttpReply r = THttpClient().Get(refusing.Url("/check.php"), ShortReplyCap);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Status, 0);
    EXPECT_FALSE(r.Error.isEmpty());
}

TEST(HttpClient, ServerThatNeverAnswersEndsAtTheTimeout) {
    const TRawPort silent(true);
    const std::vector<THttpPart> parts = {{"fname", "x", "", ""}};
    const THttpClient client(1000ms);
    const THttpReply get = client.Get(silent.Url("/check.php"), ShortReplyCap);
    const THttpReply post = client.PostMultipart(silent.Url("/upload.php"), parts, ShortReplyCap);
    for (const THttpReply& r : {get, post}) {
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Status, 0);
        EXPECT_TRUE(r.Error.contains(QStringLiteral("imeout")) ||
                    r.Error.contains(QStringLiteral("timed out")))
            << r.Error.toStdString();
    }
}

TEST_F(HttpClientTest, LoopbackBypassesTheEnvironmentsProxy) {
    // A proxy that refuses every connection: going through it would fail.
    const TRawPort deadProxy(false);
    setenv("http_proxy", deadProxy.Url("").c_str(), 1);
    setenv("no_proxy", "intranet.example", 1);
    const THttpReply r = THttpClient().Get(Server.Url("/zero"), ShortReplyCap);
    unsetenv("http_proxy");
    unsetenv("no_proxy");
    EXPECT_TRUE(IsZeroReply(r)) << r.Error.toStdString();
}

TEST(HttpClient, OnlyHttpAddressesAreFetched) {
    const THttpReply r = THttpClient().Get("file:///etc/hostname", ShortReplyCap);
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Body.empty());
}

} // namespace
