// What the server tests share: a temporary data folder, well-formed picture names, small
// PNG files, and a server running in this process on a free loopback port.
#pragma once

#include "picture_name.h"
#include "tonalyx_server.h"

#include <httplib.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// The picture a test PNG holds: all pixels zero, of any size, depth and colour type, whole
// or with fewer rows of pixel data than the header promises.
struct TPngShape {
    std::uint32_t Width = 2, Height = 3;
    std::size_t MinBytes = 0; // an ancillary chunk before the pixel data pads it to this
    char Depth = 8, ColourType = 6;
    bool Interlaced = false;
    std::uint32_t RowsGiven = ~0u; // of a picture that is not interlaced
};

inline std::string PngOf(const TPngShape& shape) {
    const unsigned channels = shape.ColourType == 2   ? 3
                              : shape.ColourType == 4 ? 2
                              : shape.ColourType == 6 ? 4
                                                      : 1;
    const auto rowBytes = [&](std::uint32_t width) {
        return (std::size_t(width) * channels * unsigned(shape.Depth) + 7) / 8;
    };
    // Each row is its filter byte (none) and its pixels; an interlaced picture is the seven
    // reduced pictures of its passes one after another.
    std::string raw;
    const auto addRows = [&](std::uint32_t width, std::uint32_t height) {
        if (width != 0)
            for (std::uint32_t y = 0; y < height; ++y)
                raw += std::string(rowBytes(width) + 1, '\0');
    };
    if (shape.Interlaced) {
        const unsigned passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& p : passes) {
            const std::uint32_t w = shape.Width > p[0] ? (shape.Width - p[0] + p[2] - 1) / p[2] : 0;
            const std::uint32_t h =
                shape.Height > p[1] ? (shape.Height - p[1] + p[3] - 1) / p[3] : 0;
            if (h != 0)
                addRows(w, h);
        }
    } else {
        addRows(shape.Width, std::min(shape.Height, shape.RowsGiven));
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 6);
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1a\n", 8), ihdr;
    PutBigEndian(ihdr, shape.Width);
    PutBigEndian(ihdr, shape.Height);
    ihdr += shape.Depth;
    ihdr += shape.ColourType;
    ihdr += std::string(2, '\0');
    ihdr += char(shape.Interlaced ? 1 : 0);
    PutChunk(png, "IHDR", ihdr);
    if (shape.ColourType == 3)
        PutChunk(png, "PLTE", std::string(3, '\0'));
    const std::size_t fixed = png.size() + 12 + (12 + packed.size()) + 12;
    if (shape.MinBytes > fixed)
        PutChunk(png, "teXt", std::string(shape.MinBytes - fixed, 'x'));
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", "");
    return png;
}

// A PNG of width × height pixels, at least minBytes long.
inline std::string Png(std::uint32_t width = 2, std::uint32_t height = 3, std::size_t minBytes = 0,
                       char depth = 8, char colourType = 6) {
    return PngOf({width, height, minBytes, depth, colourType});
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
