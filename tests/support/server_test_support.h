// What the server tests share: a temporary data folder, well-formed picture names, small
// PNG files, and a server running in this process on a free loopback port.
#pragma once

#include "tonalyx_server.h"
#include "picture_name.h"

#include <httplib.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace tonalyx::test {

// A folder below the system's temporary folder, removed with everything in it.
class TTempFolder {
  public:
    TTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tonalyx-server-XXXXXX");
        if (::mkdtemp(pattern.data()))
            FPath = pattern;
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    const std::filesystem::path& Path() const { return FPath; }

  private:
    std::filesystem::path FPath;
};

// The n-th of a series of different well-formed picture names: the last random character
// makes the sum a multiple of 7 (nine consecutive digits cover every remainder).
inline std::string PictureName(unsigned n) {
    const std::string_view alphabet = "012345678abcdefghijklmnopqrstuvwxy";
    std::string random;
    for (unsigned i = 0; i < 19; ++i, n /= unsigned(alphabet.size()))
        random += alphabet[n % alphabet.size()];
    for (char last = '0'; last <= '8'; ++last)
        if ((CharCodeSum(random) + unsigned(last)) % 7 == 0) {
            random += last;
            break;
        }
    return "0001t" + random + ".png";
}

inline void PutBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xff);
}

inline void PutChunk(std::string& out, std::string_view type, std::string_view data) {
    PutBigEndian(out, std::uint32_t(data.size()));
    std::string body = std::string(type) + std::string(data);
    out += body;
    PutBigEndian(out, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                          uInt(body.size()))));
}

// A PNG of width × height pixels, at least minBytes long (an ancillary chunk pads it).
inline std::string Png(std::uint32_t width = 2, std::uint32_t height = 3, std::size_t minBytes = 0,
                       char depth = 8, char colourType = 6) {
    std::string png("\x89PNG\r\n\x1a\n", 8), ihdr;
    PutBigEndian(ihdr, width);
    PutBigEndian(ihdr, height);
    ihdr += depth;
    ihdr += colourType;
    ihdr += std::string(3, '\0');
    PutChunk(png, "IHDR", ihdr);
    const std::size_t fixed = png.size() + 12 + 12;
    if (minBytes > fixed)
        PutChunk(png, "teXt", std::string(minBytes - fixed, 'x'));
    PutChunk(png, "IEND", "");
    return png;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void WriteFile(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// A server on 127.0.0.1 and a free port over a temporary data folder, serving on a thread
// of its own until the object goes. Its log goes to a temporary file.
class TRunningServer {
  public:
    explicit TRunningServer(const std::filesystem::path& root, TServerOptions options = {}) {
        // As in the program: a peer that hangs up mid-answer must not end the process.
        std::signal(SIGPIPE, SIG_IGN);
        options.Host = "127.0.0.1";
        options.Port = 0;
        options.Root = root.string();
        FLog = std::tmpfile();
        auto created = TTonalyxServer::Create(options, "9.8.7", FLog);
        if (!created.Ok()) {
            ADD_FAILURE() << created.Reason();
            return;
        }
        FServer = std::move(created.Value());
        FThread = std::thread([this] { FServer->Run(); });
    }
    ~TRunningServer() {
        Stop();
        if (FLog)
            std::fclose(FLog);
    }

    void Stop() {
        if (FServer && FThread.joinable()) {
            FServer->Stop();
            FThread.join();
        }
    }

    bool Started() const { return FServer != nullptr; }
    int Port() const { return FServer->Port(); }
    const std::string& PublicUrl() const { return FServer->PublicUrl(); }

    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", Port());
        client.set_connection_timeout(5);
        client.set_read_timeout(10);
        client.set_write_timeout(10);
        return client;
    }

    // The log so far. A request's line is written after its answer has gone out, so the
    // lines of requests just answered are certain to be there only once stopped.
    std::string Log() const {
        std::fflush(FLog);
        std::rewind(FLog);
        std::string text;
        char buffer[4096];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, FLog))
            text.append(buffer, got);
        return text;
    }

    // The reply body of an upload, or "(no reply)" when the request failed.
    std::string Upload(const std::string& name, const std::string& png) const {
        httplib::Client client = Client();
        const httplib::MultipartFormDataItems form = {
            {"file", png, "/opt/tonalyx/tonalyx", "image/png"}, {"fname", name, "", ""}};
        const auto reply = client.Post("/upload.php", form);
        return reply ? reply->body : std::string("(no reply)");
    }

  private:
    std::FILE* FLog = nullptr;
    std::unique_ptr<TTonalyxServer> FServer;
    std::thread FThread;
};

} // namespace tonalyx::test
