// tonalyx-server behind nginx with the site file it ships, as deployed: Debian's nginx runs
// on a loopback port in a temporary prefix, in front of a server in this process. A missing
// nginx fails these tests; the test command installs it.
#include "server_raw_client.h"
#include "server_test_support.h"

#include "http_client.h"
#include "share_links.h"
#include "share_service.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>

#include <future>
#include <thread>

using namespace tonalyx;
using namespace tonalyx::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string Replaced(std::string text, const std::string& placeholder, const std::string& value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

// A port nothing listens on now; nginx takes it a moment later.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// nginx with the shipped site file, its placeholders filled in, in a prefix of its own below
// folder; stopped when the object goes.
class TNginx {
  public:
    TNginx(const fs::path& folder, int port, const fs::path& data, const fs::path& upstream) {
        const fs::path prefix = folder / "nginx";
        fs::create_directories(prefix);
        std::string site = ReadFile(TONALYX_NGINX_SITE);
        site = Replaced(site, "@LISTEN@", "127.0.0.1:" + std::to_string(port));
        site = Replaced(site, "@DATA_FOLDER@", data.string());
        site = Replaced(site, "@UPSTREAM@", "unix:" + upstream.string());
        site = Replaced(site, "@MAX_BODY@", "8256k");
        WriteFile(prefix / "tonalyx.conf", site);
        const std::string p = prefix.string();
        // Run as root, the master hands the connections to workers of an unprivileged user,
        // who must be able to read the data folder and, as a member of its group, open the
        // server's socket. The connections are as many as the README asks for.
        std::string user;
        if (::geteuid() == 0) {
            user = "user nobody nogroup;\n";
            if (const group* nogroup = ::getgrnam("nogroup"))
                ::chown(upstream.c_str(), uid_t(-1), nogroup->gr_gid);
        }
        WriteFile(prefix / "nginx.conf",
                  "daemon off;\nworker_processes 1;\nworker_rlimit_nofile 8192;\n" + user + "pid " +
                      p + "/nginx.pid;\n" + "error_log " + p +
                      "/error.log;\nevents { worker_connections 4096; }\n" +
                      "http {\n    access_log " + p + "/access.log;\n" +
                      "    client_body_temp_path " + p + "/body;\n    proxy_temp_path " + p +
                      "/proxy;\n    fastcgi_temp_path " + p + "/fastcgi;\n    uwsgi_temp_path " +
                      p + "/uwsgi;\n    scgi_temp_path " + p + "/scgi;\n    include " + p +
                      "/tonalyx.conf;\n}\n");
        FErrors = prefix / "error.log";
        std::vector<std::string> args = {TONALYX_NGINX,     "-p", p + "/",         "-c",
                                         p + "/nginx.conf", "-e", FErrors.string()};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        FPid = ::fork();
        if (FPid == 0) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        for (int i = 0; i < 500 && !FReady; ++i) {
            int status = 0;
            if (::waitpid(FPid, &status, WNOHANG) == FPid) {
                FPid = 0; // it ended: no nginx there, or it refused the configuration
                return;
            }
            TRawClient probe(port);
            FReady = probe.Connected();
            if (!FReady)
                std::this_thread::sleep_for(20ms);
        }
    }
    ~TNginx() {
        if (FPid <= 0)
            return;
        ::kill(FPid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 500 && ::waitpid(FPid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(20ms);
        if (::waitpid(FPid, &status, WNOHANG) == 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, &status, 0);
        }
    }
    TNginx(const TNginx&) = delete;
    TNginx& operator=(const TNginx&) = delete;

    bool Ready() const { return FReady; }
    std::string Errors() const { return ReadFile(FErrors); }

  private:
    pid_t FPid = 0;
    bool FReady = false;
    fs::path FErrors;
};

// The data folder and the server, nginx in front of it, and the front's public address.
struct TFront {
    explicit TFront(TServerOptions options = {}) : Port(FreePort()) {
        // The workers read the data folder through this one.
        fs::permissions(Temp.Path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
        Url = "http://127.0.0.1:" + std::to_string(Port) + "/";
        options.PublicUrl = Url;
        options.ProxySocket = (Temp.Path() / "front.sock").string();
        Server = std::make_unique<TRunningServer>(Data(), options);
        if (Server->Started())
            Nginx = std::make_unique<TNginx>(Temp.Path(), Port, Data(), options.ProxySocket);
    }
    fs::path Data() const { return Temp.Path() / "data"; }
    bool Ready() const { return Nginx && Nginx->Ready(); }
    std::string Problem() const {
        return std::string(TONALYX_NGINX) + " did not start: " + (Nginx ? Nginx->Errors() : "");
    }
    httplib::Client Client(const char* from = "127.0.0.1") const {
        httplib::Client client("127.0.0.1", Port);
        client.set_interface(from);
        client.set_connection_timeout(5);
        client.set_read_timeout(10);
        client.set_write_timeout(10);
        return client;
    }
    httplib::Result Upload(const char* from, const std::string& name, const std::string& png) {
        const httplib::MultipartFormDataItems form = {{"file", png, "tonalyx", "image/png"},
                                                      {"fname", name, "", ""}};
        return Client(from).Post("/upload.php", form);
    }

    TTempFolder Temp;
    int Port;
    std::string Url;
    std::unique_ptr<TRunningServer> Server;
    std::unique_ptr<TNginx> Nginx;
};

TEST(ServerFront, GetLinkUploadsThroughTheFrontAndNginxServesThePicture) {
    TFront front;
    ASSERT_TRUE(front.Ready()) << front.Problem();
    InitHttp();
    const std::string png = Png(40, 30, 5000);
    const QString name = MakeUploadFileName();
    const TUploadRequest request{front.Url + "upload.php", name, QStringLiteral("tonalyx"),
                                 QByteArray(png.data(), qsizetype(png.size()))};
    ASSERT_TRUE(UploadImage(THttpClient(10s), request)) << front.Server->Log();
    // The link Get Link puts on the clipboard names the front.
    const QString address = MakeImageURL(name, QString::fromStdString(front.Url));
    EXPECT_EQ(FillURLTemplate(UrlGroupShare, SocNetLink, address),
              "<img src=\"" + address + "\"/>");
    const std::string path = address.toStdString().substr(front.Url.size() - 1);
    const auto picture = front.Client().Get(path.c_str());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->status, 200);
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(picture->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(picture->body, png);
    // nginx read it from the data folder; tonalyx-server only took the upload.
    EXPECT_TRUE(picture->get_header_value("Server").starts_with("nginx"));
    front.Server->Stop();
    EXPECT_NE(front.Server->Log().find("stored " + address.toStdString()), std::string::npos);
    EXPECT_EQ(front.Server->Log().find("GET /0001/"), std::string::npos);
}

TEST(ServerFront, FeedAndPagesCarryThePublicAddress) {
    TFront front;
    ASSERT_TRUE(front.Ready()) << front.Problem();
    httplib::Client client = front.Client();
    const auto feed = client.Get("/Tonalyx-Info/");
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->status, 200);
    EXPECT_EQ(feed->body, ReadFile(front.Data() / "Tonalyx-Info/feed.xml"));
    EXPECT_TRUE(feed->get_header_value("Content-Type").starts_with("application/xml"));
    struct TRow {
        const char* Path;
        std::string Contains;
    } rows[] = {
        {"/", "href=\"" + front.Url + "Tonalyx/\""},
        {"/Tonalyx/", front.Url + "Download/"},
        {"/Lumivar/", "<title>Lumivar</title>"},
        {"/Download/", "9.8.7"},
        {"/check.php", "0"},
    };
    for (const TRow& row : rows) {
        const auto page = client.Get(row.Path);
        ASSERT_TRUE(page) << row.Path;
        EXPECT_EQ(page->status, 200) << row.Path;
        EXPECT_NE(page->body.find(row.Contains), std::string::npos) << row.Path;
        EXPECT_EQ(page->body.find("@PUBLIC_URL@"), std::string::npos) << row.Path;
    }
}

TEST(ServerFront, NothingButPicturesIsServedFromTheFolder) {
    TFront front;
    ASSERT_TRUE(front.Ready()) << front.Problem();
    WriteFile(front.Temp.Path() / "outside/secret.png", "secret");
    const std::string linked = PictureName(5), picture = PictureName(6);
    fs::create_symlink(front.Temp.Path() / "outside/secret.png", front.Data() / "0001" / linked);
    WriteFile(front.Data() / "0001/.incoming-0123456789abcdef-1", "secret");
    WriteFile(front.Data() / "0001/notes.txt", "secret");
    WriteFile(front.Data() / "0001/0001tSECRETSECRETSECRET12.png", "secret");
    WriteFile(front.Data() / "0001" / picture, Png());
    WriteFile(front.Data() / "secret.txt", "secret");
    for (const std::string& path :
         {"/0001/" + linked, std::string("/0001/.incoming-0123456789abcdef-1"),
          std::string("/0001/notes.txt"), std::string("/0001/0001tSECRETSECRETSECRET12.png"),
          std::string("/0001/"), std::string("/secret.txt"), std::string("/index.html"),
          std::string("/Tonalyx-Info/feed.xml"), std::string("/Tonalyx/index.html"),
          std::string("/0001/%2e%2e/secret.txt"), "/0001/" + picture + "/x",
          std::string("/upload.php")}) {
        const auto reply = front.Client().Get(path.c_str());
        ASSERT_TRUE(reply) << path;
        EXPECT_NE(reply->status, 200) << path;
        EXPECT_EQ(reply->body.find("secret"), std::string::npos) << path;
    }
    const auto good = front.Client().Get(("/0001/" + picture).c_str());
    ASSERT_TRUE(good);
    EXPECT_EQ(good->status, 200);
}

TEST(ServerFront, SlowClientsDoNotStopAFreshOne) {
    TFront front;
    ASSERT_TRUE(front.Ready()) << front.Problem();
    TCrowd silent(front.Port, "127.0.0.1", 100, "");
    TCrowd headers(front.Port, "127.0.0.1", 50, "GET /check.php HTTP/1.1\r\nHost: x\r\n");
    TCrowd bodies(front.Port, "127.0.0.1", 50,
                  "POST /upload.php HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; "
                  "boundary=b\r\nContent-Length: 100000\r\n\r\n--b\r\n");
    auto probes = std::async(std::launch::async, [&] { return LongestProbe(front.Port, 10); });
    while (probes.wait_for(100ms) != std::future_status::ready) {
        headers.Tick("X");
        bodies.Tick("x");
    }
    EXPECT_LT(probes.get(), 2s);
    // nginx holds the slow bodies; none of them reached the server.
    front.Server->Stop();
    EXPECT_EQ(front.Server->Log().find("POST /upload.php"), std::string::npos);
}

TEST(ServerFront, UploadLimitsCountRealClients) {
    TServerOptions options;
    options.UploadsPerMinute = 3;
    TFront front(options);
    ASSERT_TRUE(front.Ready()) << front.Problem();
    const auto body = [](const httplib::Result& reply) {
        return reply ? std::to_string(reply->status) + " " + reply->body : "(no reply)";
    };
    // The server's own limit, for each address nginx names.
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(body(front.Upload("127.0.0.2", PictureName(10 + i), Png())), "200 0");
    EXPECT_EQ(body(front.Upload("127.0.0.2", PictureName(13), Png())), "200 1");
    EXPECT_EQ(body(front.Upload("127.0.0.3", PictureName(14), Png())), "200 0");
    // nginx's limit, which refuses before the server sees the upload: ten at once at most.
    int tooOften = 0;
    for (unsigned i = 0; i < 20; ++i)
        tooOften += body(front.Upload("127.0.0.4", PictureName(20 + i), Png())) == "429 1";
    EXPECT_GT(tooOften, 0);
    EXPECT_EQ(body(front.Upload("127.0.0.5", PictureName(40), Png())), "200 0");
    // Too large for the front: refused as the program expects.
    EXPECT_EQ(body(front.Upload("127.0.0.6", PictureName(41), Png(1, 1, 9 << 20))), "413 1");
    front.Server->Stop();
    const std::string log = front.Server->Log();
    EXPECT_NE(log.find(" 127.0.0.2 POST /upload.php 200 1 refused: too many"), std::string::npos)
        << log;
    EXPECT_NE(log.find(" 127.0.0.3 POST /upload.php 200 1 stored"), std::string::npos) << log;
}

TEST(ServerFront, HostileRequestsThroughTheFront) {
    TFront front;
    ASSERT_TRUE(front.Ready()) << front.Problem();
    // A PNG's signature and header, then something else: refused, nothing stored.
    const auto fake = front.Upload("127.0.0.2", PictureName(1), Png().substr(0, 33) + "<html>");
    ASSERT_TRUE(fake);
    EXPECT_EQ(fake->body, "1");
    EXPECT_TRUE(fs::is_empty(front.Data() / "0001"));
    // A flood of header lines is cut short by the front.
    TRawClient client(front.Port);
    ASSERT_TRUE(client.Send("GET /check.php HTTP/1.1\r\nHost: x\r\n"));
    std::string block;
    while (block.size() < 256 * 1024)
        block += "X-Flood: " + std::string(8000, 'a') + "\r\n";
    std::size_t sent = 0;
    bool closed = false;
    for (const auto end = TTestClock::now() + 20s;
         !closed && sent < (64u << 20) && TTestClock::now() < end;) {
        const long now = client.TrySend(block);
        closed = now < 0;
        sent += std::size_t(std::max(now, 0L));
        client.Read(now > 0 ? 0ms : 10ms, &closed);
    }
    EXPECT_TRUE(closed);
    EXPECT_LT(sent, 32u << 20);
    EXPECT_TRUE(GetFrom(front.Port, "127.0.0.2", "/check.php", 5s).ends_with("\r\n\r\n0"));
}

TEST(ServerFront, AddressesForgedStraightAtTheServerCountForTheirPeer) {
    TServerOptions options;
    options.UploadsPerMinute = 3;
    TFront front(options);
    ASSERT_TRUE(front.Ready()) << front.Problem();
    // A local process at the server's own port, naming a new client every time: only the
    // front's socket is believed, so all six count for 127.0.0.1.
    const char* headers[] = {"X-Real-IP", "X-Forwarded-For"};
    int stored = 0;
    for (int i = 0; i < 6; ++i) {
        httplib::Client client = front.Server->Client();
        const httplib::Headers forged = {{headers[i % 2], "10.9.0." + std::to_string(i + 1)},
                                         {"X-Forwarded-For", "10.8.0." + std::to_string(i + 1)}};
        const httplib::MultipartFormDataItems form = {{"file", Png(), "tonalyx", "image/png"},
                                                      {"fname", PictureName(50 + i), "", ""}};
        const auto reply = client.Post("/upload.php", forged, form);
        ASSERT_TRUE(reply) << i;
        stored += reply->body == "0";
    }
    EXPECT_EQ(stored, 3);
    front.Server->Stop();
    const std::string log = front.Server->Log();
    EXPECT_EQ(log.find(" 10.9.0."), std::string::npos) << log;
    EXPECT_EQ(log.find(" 10.8.0."), std::string::npos) << log;
    EXPECT_NE(log.find(" 127.0.0.1 POST /upload.php 200 1 refused: too many"), std::string::npos)
        << log;
}

TEST(ServerFront, SlowClientsThatComeBackLeaveTheFrontAnswering) {
    struct TRow {
        const char* What;
        bool AtTheServer; // else at nginx
        std::size_t Count;
    } rows[] = {
        // More than nginx's connections used to be; each held for its header's deadline.
        {"at nginx, from one address", false, 1500},
        // Straight at the server's port from nginx's own machine, where nginx's address
        // once counted for nobody: bounded as any client.
        {"at the server, from 127.0.0.1", true, 300},
    };
    for (const TRow& row : rows) {
        TFront front;
        ASSERT_TRUE(front.Ready()) << front.Problem();
        TDrippers drippers(row.AtTheServer ? front.Server->Port() : front.Port, row.Count,
                           {"127.0.0.1"});
        const int answered = ProbesAnsweredAmong(drippers, front.Port, 20);
        EXPECT_GE(answered, 18) << row.What << ": " << drippers.Opened() << " opened";
    }
}

TEST(ServerFront, TheCheckAnswersWhileOneAddressHoldsManyConnections) {
    TFront front;
    ASSERT_TRUE(front.Ready()) << front.Problem();
    // Twenty answers too large for the sockets' buffers, left unread: each holds its
    // connection, as many users behind one address may.
    const std::string picture = "/0001/" + PictureName(7);
    WriteFile(front.Data() / picture.substr(1), Png(1, 1, 16 << 20));
    TCrowd readers(front.Port, "127.0.0.3", 20, "GET " + picture + " HTTP/1.1\r\nHost: x\r\n\r\n");
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(GetFrom(front.Port, "127.0.0.3", "/check.php", 5s).ends_with("\r\n\r\n0"));
    // The bound still holds where it acts.
    for (const std::string& path : {std::string("/Tonalyx/"), picture})
        EXPECT_TRUE(GetFrom(front.Port, "127.0.0.3", path, 5s).starts_with("HTTP/1.1 429")) << path;
}

} // namespace
