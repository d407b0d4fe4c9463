// tonalyx-server as built, run as a process of its own: stopped with SIGTERM while clients
// hold on, under a file-size limit, and its memory after the attacks. Loopback only; every
// wait is bounded.
#include "server_raw_client.h"
#include "server_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <iostream>
#include <thread>

using namespace tonalyx;
using namespace tonalyx::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class TServerProcess {
  public:
    // Starts the server on a free loopback port over root; fileSizeLimit becomes its
    // RLIMIT_FSIZE.
    TServerProcess(const fs::path& root, std::vector<std::string> options = {},
                   rlim_t fileSizeLimit = RLIM_INFINITY)
        : FOut(root.string() + ".out"), FErr(root.string() + ".err") {
        std::vector<std::string> args = {TONALYX_SERVER, "--listen", "127.0.0.1:0", "--root",
                                         root.string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int out = ::open(FOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(FErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        FPid = ::fork();
        if (FPid == 0) { // only calls that are safe after fork in a threaded process
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out);
        ::close(err);
        // The port is on the first line of standard output once it listens.
        const std::string marker = "listening on http://127.0.0.1:";
        for (int i = 0; i < 500 && FPort == 0; ++i) {
            const std::string text = ReadFile(FOut);
            if (const std::size_t at = text.find(marker); at != std::string::npos)
                FPort = std::stoi(text.substr(at + marker.size()));
            else
                std::this_thread::sleep_for(20ms);
        }
    }
    ~TServerProcess() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }

    int Port() const { return FPort; }
    std::string Pid() const { return std::to_string(FPid); }
    std::string Log() const { return ReadFile(FErr); }

    // Sends signal and waits at most limit for the process to end: its exit status, or -1
    // when it did not end by itself (then it is killed).
    int StopWith(int signal, std::chrono::milliseconds limit) {
        ::kill(FPid, signal);
        const auto end = TTestClock::now() + limit;
        int status = 0;
        while (::waitpid(FPid, &status, WNOHANG) == 0) {
            if (TTestClock::now() > end)
                return -1;
            std::this_thread::sleep_for(10ms);
        }
        FPid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    std::string FOut, FErr;
    pid_t FPid = 0;
    int FPort = 0;
};

std::string UploadRequest(const std::string& name, const std::string& png) {
    const std::string body = "--b\r\nContent-Disposition: form-data; name=\"fname\"\r\n\r\n" +
                             name +
                             "\r\n--b\r\nContent-Disposition: form-data; name=\"file\"; "
                             "filename=\"tonalyx\"\r\nContent-Type: image/png\r\n\r\n" +
                             png + "\r\n--b--\r\n";
    return "POST /upload.php HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; "
           "boundary=b\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Upload(int port, const std::string& name, const std::string& png) {
    TRawClient client(port, "127.0.0.1");
    if (!client.Send(UploadRequest(name, png)))
        return "(not sent)";
    const std::string answer = client.ReadAnswer(30s);
    const std::size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? "(no answer)" : answer.substr(body + 4);
}

bool Answers(int port) {
    return GetFrom(port, "127.0.0.1", "/check.php", 5s).ends_with("\r\n\r\n0");
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(ServerProcess, SigtermEndsItWhateverClientsDo) {
    TTempFolder temp;
    TServerProcess server(temp.Path() / "data");
    ASSERT_NE(server.Port(), 0) << server.Log();
    const std::string upload = UploadRequest(PictureName(1), Png(64, 64, 400 * 1024));
    const std::string check = "GET /check.php HTTP/1.1\r\nHost: x\r\n\r\n";
    // Each crowd comes from an address of its own, within the connections one may hold.
    TCrowd silent(server.Port(), "127.0.0.11", 16, "");
    TCrowd dripping(server.Port(), "127.0.0.12", 16, "GET /check.php HTTP/1.1\r\n");
    TCrowd uploading(server.Port(), "127.0.0.13", 16, upload.substr(0, upload.size() / 2));
    TCrowd idle(server.Port(), "127.0.0.14", 16, check);
    for (int tick = 0; tick < 10; ++tick) {
        dripping.Tick("X");
        uploading.Tick("x");
        idle.Tick("");
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(Answers(server.Port()));
    const auto start = TTestClock::now();
    EXPECT_EQ(server.StopWith(SIGTERM, 10s), 0) << server.Log();
    EXPECT_LT(TTestClock::now() - start, 5s);
    EXPECT_NE(server.Log().find("stopped"), std::string::npos);
    // The uploads cut off by the stop were dropped whole.
    EXPECT_TRUE(NamesIn(temp.Path() / "data/0001").empty());
}

TEST(ServerProcess, AFileSizeLimitRefusesTheUploadNotTheServer) {
    TTempFolder temp;
    TServerProcess server(temp.Path() / "data", {}, 100 * 1024);
    ASSERT_NE(server.Port(), 0) << server.Log();
    EXPECT_EQ(Upload(server.Port(), PictureName(1), Png(8, 8, 300 * 1024)), "1");
    EXPECT_TRUE(Answers(server.Port()));
    EXPECT_TRUE(NamesIn(temp.Path() / "data/0001").empty()); // no part of it, under no name
    EXPECT_EQ(Upload(server.Port(), PictureName(2), Png(8, 8, 1000)), "0");
    EXPECT_EQ(NamesIn(temp.Path() / "data/0001"), std::vector<std::string>{PictureName(2)});
    EXPECT_EQ(server.StopWith(SIGTERM, 10s), 0);
    EXPECT_NE(server.Log().find("File too large"), std::string::npos) << server.Log();
}

TEST(ServerProcess, MemoryComesBackAfterTheAttacks) {
    TTempFolder temp;
    TServerProcess server(temp.Path() / "data");
    ASSERT_NE(server.Port(), 0) << server.Log();
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(Answers(server.Port()));
    const long before = ResidentKiB(server.Pid());
    long peak = before;
    {
        // Header lines by the megabyte, silent connections, and bodies of megabytes of which
        // the server gets what the sockets take at once, then nothing: from five addresses.
        const std::string lines = [] {
            std::string block;
            while (block.size() < 1 << 20)
                block += "X-Flood: " + std::string(8000, 'a') + "\r\n";
            return block;
        }();
#ifdef TONALYX_SANITIZED // a tenth of the attack: the instrumented server is many times slower
        const std::string fake = Png().substr(0, 33) + std::string(300 << 10, 'x');
#else
        const std::string fake = Png().substr(0, 33) + std::string(3 << 20, 'x');
#endif
        const std::string big = UploadRequest(PictureName(3), fake);
        std::vector<std::unique_ptr<TCrowd>> crowds;
        crowds.push_back(std::make_unique<TCrowd>(server.Port(), "127.0.0.21", 16,
                                                  "GET / HTTP/1.1\r\n" + lines));
        crowds.push_back(std::make_unique<TCrowd>(server.Port(), "127.0.0.22", 200, ""));
        for (const char* from : {"127.0.0.23", "127.0.0.24", "127.0.0.25"})
            crowds.push_back(std::make_unique<TCrowd>(server.Port(), from, 16, big));
        // And whole bodies that are no picture, one after another.
        for (int i = 0; i < 8; ++i) {
            const std::string log = server.Log();
            EXPECT_EQ(Upload(server.Port(), PictureName(4), fake), "1")
                << server.Log().substr(log.size());
        }
        peak = std::max(peak, ResidentKiB(server.Pid()));
        for (auto& crowd : crowds)
            EXPECT_TRUE(crowd->AllClosedWithin(30s));
    }
    ASSERT_TRUE(Answers(server.Port()));
    const long after = ResidentKiB(server.Pid());
    std::cout << "resident memory: " << before << " KiB at start, " << peak << " KiB under attack, "
              << after << " KiB after\n";
#ifndef TONALYX_SANITIZED // the sanitizer keeps freed memory in quarantine
    EXPECT_LT(after - before, 16 * 1024);
#endif
    EXPECT_EQ(server.StopWith(SIGTERM, 10s), 0);
}

} // namespace
