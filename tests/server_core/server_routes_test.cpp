// tonalyx-server in this process on a free loopback port, spoken to over HTTP.
#include "server_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <set>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::test;
namespace fs = std::filesystem;

namespace {

// Every file below folder, with its content.
std::map<std::string, std::string> Contents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
    return files;
}

TEST(ServerRoutes, EveryRouteAnswers) {
    TTempFolder temp;
    TRunningServer server(temp.Path() / "data");
    ASSERT_TRUE(server.Started());
    const std::string name = PictureName(1), png = Png(4, 4, 300);
    ASSERT_EQ(server.Upload(name, png), "0");
    struct TRow {
        std::string Path;
        int Status;
        std::string ContentType, Contains;
    } rows[] = {
        {"/check.php", 200, "text/plain", "0"},
        {"/check%2ephp?from=tonalyx", 200, "text/plain", "0"},
        {"/0001/" + name, 200, "image/png", png},
        {"/Tonalyx-Info/", 200, "application/xml", "<LastVersion>9.8.7</LastVersion>"},
        {"/Tonalyx/", 200, "text/html", server.PublicUrl() + "Download/"},
        {"/Lumivar/", 200, "text/html", "<title>Lumivar</title>"},
        {"/", 200, "text/html", "<title>Varnel Solutions</title>"},
        {"/Download/", 200, "text/html", "9.8.7"},
        {"/checkXphp", 404, "text/plain", ""},
        {"/check.php/", 404, "text/plain", ""},
        {"/0001/" + PictureName(2), 404, "text/plain", ""},
        {"/0001/", 404, "text/plain", ""},
        {"/Tonalyx", 404, "text/plain", ""},
        {"/Tonalyx/index.html", 404, "text/plain", ""},
        {"/Tonalyx-Info/feed.xml", 404, "text/plain", ""},
    };
    httplib::Client client = server.Client();
    for (const TRow& row : rows) {
        const auto reply = client.Get(row.Path.c_str());
        ASSERT_TRUE(reply) << row.Path;
        EXPECT_EQ(reply->status, row.Status) << row.Path;
        EXPECT_TRUE(reply->get_header_value("Content-Type").starts_with(row.ContentType))
            << row.Path << ": " << reply->get_header_value("Content-Type");
        if (row.Status == 200 && row.Path.starts_with("/check"))
            EXPECT_EQ(reply->body, "0");
        else if (row.Path.starts_with("/0001/") && row.Status == 200)
            EXPECT_EQ(reply->body, png);
        else
            EXPECT_NE(reply->body.find(row.Contains), std::string::npos) << row.Path;
        EXPECT_EQ(reply->body.find("@PUBLIC_URL@"), std::string::npos) << row.Path;
    }
    // HEAD answers the headers alone; only the upload script takes a POST.
    const auto head = client.Head(("/0001/" + name).c_str());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(png.size()));
    EXPECT_TRUE(head->body.empty());
    const auto post = client.Post("/check.php", "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 404);
    // The maker's own edits are served, and never replaced by the defaults at a restart.
    WriteFile(temp.Path() / "data/Tonalyx-Info/feed.xml", "<x>edited</x>");
    const auto feed = client.Get("/Tonalyx-Info/");
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->body, "<x>edited</x>");
    server.Stop();
    EXPECT_NE(server.Log().find(" GET /check.php 200 1"), std::string::npos) << server.Log();
    EXPECT_NE(server.Log().find("stored " + server.PublicUrl() + "0001/" + name),
              std::string::npos);
}

TEST(ServerRoutes, PublicUrlGoesIntoPagesOnly) {
    TTempFolder temp;
    TServerOptions options;
    options.PublicUrl = "http://pictures.example/";
    TRunningServer server(temp.Path(), options);
    ASSERT_TRUE(server.Started());
    const auto page = server.Client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("href=\"http://pictures.example/Tonalyx/\""), std::string::npos);
    EXPECT_NE(ReadFile(temp.Path() / "index.html").find("@PUBLIC_URL@"), std::string::npos);
}

TEST(ServerUploads, RefusedUploadsStoreNothing) {
    TTempFolder temp;
    TServerOptions options;
    options.MaxUploadBytes = 4096;
    TRunningServer server(temp.Path() / "data", options);
    ASSERT_TRUE(server.Started());
    std::string damaged = Png();
    damaged[30] ^= 0x40;
    struct TRow {
        const char* What;
        std::string Name, Body;
    } rows[] = {
        {"climbs out", "../../../outside.png", Png()},
        {"climbs out at full length", "0001t../00000000000000006.png", Png()},
        {"too short", "0001t0000000000000000006.png", Png()},
        {"with a 9", "0001t00000000000000000956.png", Png()},
        {"with a z", "0001t00000000000000000z36.png", Png()},
        {"wrong sum", "0001t00000000000000000000.png", Png()},
        {"other prefix", "0002t00000000000000000006.png", Png()},
        {"other extension", "0001t00000000000000000006.gif", Png()},
        {"not a PNG", PictureName(3), "<html>not a picture</html>"},
        {"damaged PNG header", PictureName(4), damaged},
        {"a PNG header, then no picture", PictureName(9), Png().substr(0, 33) + "<html></html>"},
        {"a PNG cut short", PictureName(10), Png(30, 30).substr(0, 60)},
        {"empty file", PictureName(5), ""},
        {"one byte over the limit", PictureName(6), Png(1, 1, 4097)},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(server.Upload(row.Name, row.Body), "1") << row.What;
    httplib::Client client = server.Client();
    const auto noName = client.Post(
        "/upload.php", httplib::MultipartFormDataItems{{"file", Png(), "a.png", "image/png"}});
    ASSERT_TRUE(noName);
    EXPECT_EQ(noName->body, "1");
    const auto notAForm = client.Post("/upload.php", "fname=" + PictureName(7), "text/plain");
    ASSERT_TRUE(notAForm);
    EXPECT_EQ(notAForm->body, "1");
    EXPECT_TRUE(fs::is_empty(temp.Path() / "data/0001"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
    // At the limit it is taken.
    EXPECT_EQ(server.Upload(PictureName(8), Png(1, 1, 4096)), "0");
}

// Sends an upload as clients do for large bodies: the headers with "Expect: 100-continue",
// the body only after the server's interim answer. Returns everything the server sent.
std::string UploadAfterContinue(int port, const std::string& name, const std::string& png) {
    const std::string boundary = "tonalyxboundary";
    const std::string body = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"fname\"\r\n\r\n" + name +
                             "\r\n--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"file\"; "
                             "filename=\"t.png\"\r\nContent-Type: image/png\r\n\r\n" +
                             png + "\r\n--" + boundary + "--\r\n";
    const std::string head = "POST /upload.php HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: "
                             "close\r\nExpect: 100-continue\r\nContent-Type: multipart/form-data; "
                             "boundary=" +
                             boundary + "\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\n\r\n";
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{5, 0}; // no answer within 5 s fails the test rather than hanging it
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string received;
    char buffer[4096];
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == ssize_t(head.size())) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got > 0 && std::string_view(buffer, std::size_t(got)).starts_with("HTTP/1.1 100")) {
            ::send(fd, body.data(), body.size(), MSG_NOSIGNAL);
            while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                received.append(buffer, std::size_t(got));
        }
    }
    ::close(fd);
    return received;
}

TEST(ServerUploads, UploadAfterContinueIsTaken) {
    TTempFolder temp;
    TRunningServer server(temp.Path());
    ASSERT_TRUE(server.Started());
    const std::string reply = UploadAfterContinue(server.Port(), PictureName(1), Png());
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 200")) << reply;
    EXPECT_TRUE(reply.ends_with("\r\n\r\n0")) << reply;
    EXPECT_EQ(ReadFile(temp.Path() / "0001" / PictureName(1)), Png());
}

TEST(ServerUploads, BodiesOverTheLimitOrInChunksAreRefusedUnread) {
    TTempFolder temp;
    TServerOptions options;
    options.MaxUploadBytes = 4096;
    TRunningServer server(temp.Path(), options);
    ASSERT_TRUE(server.Started());
    // Far over the limit with the framing allowance: refused before the body is read;
    // either the answer is not "0" or the connection is dropped.
    EXPECT_NE(server.Upload(PictureName(1), Png(1, 1, 1 << 20)), "0");
    // A body in chunks has no length to check beforehand; the library would hold it whole.
    httplib::Client client = server.Client();
    const std::string chunk(64 * 1024, 'x');
    int chunksSent = 0;
    const auto chunked = client.Post(
        "/upload.php",
        [&](std::size_t, httplib::DataSink& sink) {
            if (++chunksSent > 32)
                sink.done();
            else
                sink.write(chunk.data(), chunk.size());
            return true;
        },
        "multipart/form-data; boundary=x");
    EXPECT_TRUE(!chunked || (chunked->status == 411 && chunked->body == "1"));
    const auto check = server.Client().Get("/check.php");
    ASSERT_TRUE(check);
    EXPECT_EQ(check->body, "0");
    EXPECT_TRUE(fs::is_empty(temp.Path() / "0001"));
}

TEST(ServerUploads, NoPictureIsEverReplaced) {
    TTempFolder temp;
    TRunningServer server(temp.Path());
    ASSERT_TRUE(server.Started());
    const std::string first = Png(1, 1, 100), second = Png(2, 2, 100);
    ASSERT_EQ(server.Upload(PictureName(1), first), "0");
    EXPECT_EQ(server.Upload(PictureName(1), second), "1");
    EXPECT_EQ(ReadFile(temp.Path() / "0001" / PictureName(1)), first);

    // Eight uploads of one name at once, each with other bytes: one is stored, whole.
    constexpr int Uploads = 8;
    std::vector<std::string> bodies, replies(Uploads);
    for (int i = 0; i < Uploads; ++i)
        bodies.push_back(Png(std::uint32_t(10 + i), 1, 200000));
    std::vector<std::thread> threads;
    for (int i = 0; i < Uploads; ++i)
        threads.emplace_back([&, i] { replies[i] = server.Upload(PictureName(2), bodies[i]); });
    for (std::thread& thread : threads)
        thread.join();
    const int stored = int(std::count(replies.begin(), replies.end(), "0"));
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(std::count(replies.begin(), replies.end(), "1"), Uploads - 1);
    const std::string kept = ReadFile(temp.Path() / "0001" / PictureName(2));
    EXPECT_NE(std::find(bodies.begin(), bodies.end(), kept), bodies.end());
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path() / "0001"), fs::directory_iterator()),
              2);
}

TEST(ServerUploads, RateLimitPerClient) {
    TTempFolder temp;
    TServerOptions options;
    options.UploadsPerMinute = 3;
    TRunningServer server(temp.Path(), options);
    ASSERT_TRUE(server.Started());
    EXPECT_EQ(server.Upload(PictureName(1), Png()), "0");
    EXPECT_EQ(server.Upload("refused but counted.png", Png()), "1");
    EXPECT_EQ(server.Upload(PictureName(2), Png()), "0");
    EXPECT_EQ(server.Upload(PictureName(3), Png()), "1");
    EXPECT_FALSE(fs::exists(temp.Path() / "0001" / PictureName(3)));
    // Only uploads count; the rest of the server answers on.
    const auto check = server.Client().Get("/check.php");
    ASSERT_TRUE(check);
    EXPECT_EQ(check->body, "0");
    server.Stop();
    EXPECT_NE(server.Log().find("too many uploads"), std::string::npos);
}

TEST(ServerUploads, QuotaCountsWhatIsStoredAcrossRestarts) {
    TTempFolder temp;
    const std::string png = Png(1, 1, 1000);
    TServerOptions options;
    options.QuotaBytes = 2 * png.size() + png.size() / 2;
    {
        TRunningServer server(temp.Path(), options);
        ASSERT_TRUE(server.Started());
        EXPECT_EQ(server.Upload(PictureName(1), png), "0");
        EXPECT_EQ(server.Upload(PictureName(1), png), "1"); // refused, and gives its room back
        EXPECT_EQ(server.Upload(PictureName(2), png), "0");
        EXPECT_EQ(server.Upload(PictureName(3), png), "1");
        server.Stop();
        EXPECT_NE(server.Log().find("quota"), std::string::npos);
    }
    // Half a picture's room is left.
    TRunningServer restarted(temp.Path(), options);
    ASSERT_TRUE(restarted.Started());
    EXPECT_EQ(restarted.Upload(PictureName(4), Png(1, 1, png.size() * 6 / 10)), "1");
    fs::remove(temp.Path() / "0001" / PictureName(1));
    TRunningServer again(temp.Path(), options);
    ASSERT_TRUE(again.Started());
    EXPECT_EQ(again.Upload(PictureName(4), png), "0");
}

TEST(ServerConfinement, NothingOutsideTheDataFolderIsReadOrWritten) {
    TTempFolder temp;
    const fs::path root = temp.Path() / "data", outside = temp.Path() / "outside";
    WriteFile(outside / "secret.png", Png());
    WriteFile(outside / "index.html", "secret page");
    WriteFile(outside / "feed.xml", "<secret/>");
    {
        TRunningServer first(root); // lays out the data folder
        ASSERT_TRUE(first.Started());
    }
    // Links placed in the data folder by someone else, each pointing outside.
    fs::create_directory_symlink(outside, root / "0001" / "sub");
    fs::create_symlink(outside / "secret.png", root / "0001" / PictureName(1));
    fs::remove_all(root / "Lumivar");
    fs::create_directory_symlink(outside, root / "Lumivar");
    fs::remove(root / "Tonalyx-Info/feed.xml");
    fs::create_symlink(outside / "feed.xml", root / "Tonalyx-Info/feed.xml");
    fs::remove(root / "index.html");
    fs::create_symlink(outside / "index.html", root / "index.html");
    fs::create_symlink("/etc", root / "0001" / "etc");
    const auto before = Contents(outside);

    TRunningServer server(root);
    ASSERT_TRUE(server.Started());
    httplib::Client client = server.Client();
    for (const std::string& path :
         {"/0001/" + PictureName(1), std::string("/0001/sub/secret.png"), std::string("/Lumivar/"),
          std::string("/Tonalyx-Info/"), std::string("/"), std::string("/0001/etc/passwd"),
          std::string("/0001/%2e%2e/index.html"),
          std::string("/0001/..%2f..%2foutside%2findex.html"),
          std::string("/0001/%2E%2E%2F%2E%2E%2Foutside%2Fsecret.png"),
          std::string("/Tonalyx/../../outside/index.html")}) {
        const auto reply = client.Get(path.c_str());
        ASSERT_TRUE(reply) << path;
        EXPECT_EQ(reply->status, 404) << path;
        EXPECT_EQ(reply->body.find("secret"), std::string::npos) << path;
    }
    // An upload under the linked name neither follows the link nor replaces it.
    EXPECT_EQ(server.Upload(PictureName(1), Png(9, 9)), "1");
    EXPECT_EQ(server.Upload("../../outside/secret.png", Png(9, 9)), "1");
    EXPECT_TRUE(fs::is_symlink(root / "0001" / PictureName(1)));
    EXPECT_EQ(Contents(outside), before);
    // The linked feed and page folder are reported when the server starts.
    EXPECT_NE(server.Log().find("warning: the feed"), std::string::npos) << server.Log();
    EXPECT_NE(server.Log().find("warning: a default page"), std::string::npos) << server.Log();
}

TEST(ServerLifecycle, FeedWarningsAndBoundsAndStops) {
    struct TRow {
        const char* What;
        std::string Feed;
        bool Warns;
    } rows[] = {
        {"edited and sound", "<i><Tonalyx><LastVersion>2.0.0</LastVersion></Tonalyx></i>", false},
        {"not well-formed", "<i><Tonalyx></i>", true},
        {"over 2000 bytes", "<i>" + std::string(2000, ' ') + "</i>", true},
    };
    for (const TRow& row : rows) {
        TTempFolder temp;
        WriteFile(temp.Path() / "Tonalyx-Info/feed.xml", row.Feed);
        TRunningServer server(temp.Path());
        ASSERT_TRUE(server.Started());
        EXPECT_EQ(server.Log().find("warning:") != std::string::npos, row.Warns) << row.What;
        EXPECT_EQ(ReadFile(temp.Path() / "Tonalyx-Info/feed.xml"), row.Feed) << row.What;
    }

    TTempFolder temp;
    TRunningServer server(temp.Path());
    ASSERT_TRUE(server.Started());
    httplib::Headers many;
    for (int i = 0; i < 100; ++i)
        many.emplace("X-Header-" + std::to_string(i), "x");
    const auto crowded = server.Client().Get("/check.php", many);
    ASSERT_TRUE(crowded);
    EXPECT_EQ(crowded->status, 431);

    // A stop that comes before serving has begun is not lost.
    TServerOptions options;
    options.Port = 0;
    options.Root = (temp.Path() / "second").string();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::tmpfile(), &std::fclose);
    auto second = TTonalyxServer::Create(options, "9.8.7", log.get());
    ASSERT_TRUE(second.Ok()) << second.Reason();
    second.Value()->Stop();
    EXPECT_TRUE(second.Value()->Run());
    // A port in use is refused with a reason.
    options.Port = server.Port();
    auto clash = TTonalyxServer::Create(options, "9.8.7", log.get());
    EXPECT_FALSE(clash.Ok());
    EXPECT_NE(clash.Reason().find(std::to_string(server.Port())), std::string::npos);
}

// One request over the Unix socket at path; what came back within a few seconds.
std::string AskOverSocket(const fs::path& path, const std::string& request) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        timeval wait{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buffer[4096];
        for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, std::size_t(got));
    }
    ::close(fd);
    return answer;
}

TEST(ServerLifecycle, TheFrontsSocket) {
    TTempFolder temp;
    const fs::path socket = temp.Path() / "front.sock";
    TServerOptions options;
    options.ProxySocket = socket.string();
    {
        TRunningServer server(temp.Path() / "data", options);
        ASSERT_TRUE(server.Started());
        EXPECT_EQ(fs::status(socket).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::group_write);
        const std::string ask = "GET /check.php HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
        EXPECT_TRUE(AskOverSocket(socket, ask + "X-Real-IP: 10.1.2.3\r\n\r\n").ends_with("0"));
        EXPECT_TRUE(AskOverSocket(socket, ask + "\r\n").ends_with("0"));
        // A second server cannot take the socket of a running one.
        TServerOptions second = options;
        second.Root = (temp.Path() / "second").string();
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::tmpfile(), &std::fclose);
        const auto clash = TTonalyxServer::Create(second, "9.8.7", log.get());
        EXPECT_FALSE(clash.Ok());
        EXPECT_NE(clash.Reason().find("another server"), std::string::npos) << clash.Reason();
        server.Stop();
        const std::string served = server.Log();
        EXPECT_NE(served.find(" 10.1.2.3 GET /check.php 200"), std::string::npos) << served;
        EXPECT_NE(served.find(" local GET /check.php 200"), std::string::npos) << served;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(socket))); // removed at the end
    // A socket left by a server that is gone is taken over; any other file is left alone.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    EXPECT_TRUE(TRunningServer(temp.Path() / "data", options).Started());
    WriteFile(socket, "notes");
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::tmpfile(), &std::fclose);
    options.Root = (temp.Path() / "data").string();
    EXPECT_FALSE(TTonalyxServer::Create(options, "9.8.7", log.get()).Ok());
    EXPECT_EQ(ReadFile(socket), "notes");
}

} // namespace

namespace {

std::string LogText(std::FILE* log) {
    std::rewind(log);
    std::string text;
    char buffer[512];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, log))
        text.append(buffer, n);
    return text;
}

TEST(ServerDefaults, CopiedFromTheFolderGivenWithTheVersion) {
    TTempFolder temp;
    WriteFile(temp.Path() / "defaults/Tonalyx-Info/feed.xml", "<v>@VERSION@</v>");
    WriteFile(temp.Path() / "defaults/index.html", "<p>@VERSION@ @PUBLIC_URL@</p>");
    TServerOptions options;
    options.Port = 0;
    options.Root = (temp.Path() / "data").string();
    options.Defaults = (temp.Path() / "defaults").string();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::tmpfile(), &std::fclose);
    auto server = TTonalyxServer::Create(options, "4.5.6", log.get());
    ASSERT_TRUE(server.Ok()) << server.Reason();
    EXPECT_EQ(ReadFile(temp.Path() / "data/Tonalyx-Info/feed.xml"), "<v>4.5.6</v>");
    // The public address is put in when the page is served, not when it is copied.
    EXPECT_EQ(ReadFile(temp.Path() / "data/index.html"), "<p>4.5.6 @PUBLIC_URL@</p>");
    // The three pages the folder lacks are named in a warning; the server runs without them.
    const std::string warnings = LogText(log.get());
    EXPECT_NE(warnings.find("Download/index.html"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("feed.xml"), std::string::npos) << warnings;
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "data/Download/index.html"));
}

TEST(ServerDefaults, MissingFolderIsAWarningAndEditedFilesStay) {
    TTempFolder temp;
    WriteFile(temp.Path() / "data/index.html", "edited");
    TServerOptions options;
    options.Port = 0;
    options.Root = (temp.Path() / "data").string();
    options.Defaults = (temp.Path() / "nowhere").string();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::tmpfile(), &std::fclose);
    auto server = TTonalyxServer::Create(options, "4.5.6", log.get());
    ASSERT_TRUE(server.Ok()) << server.Reason();
    EXPECT_EQ(ReadFile(temp.Path() / "data/index.html"), "edited");
    const std::string warnings = LogText(log.get());
    EXPECT_NE(warnings.find("nowhere"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("Tonalyx/index.html"), std::string::npos) << warnings;
}

} // namespace
