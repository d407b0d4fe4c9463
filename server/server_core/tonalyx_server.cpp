#include "tonalyx_server.h"

#include "feed.h"
#include "picture_store.h"
#include "request_log.h"
#include "safe_files.h"
#include "site_files.h"
#include "upload_desk.h"
#include "data_folders.h"

#include <httplib.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>

namespace tonalyx {

namespace {

// Room for the multipart framing and the name part around the picture itself.
constexpr std::uint64_t FormOverheadBytes = 64 * 1024;
// Pages and the feed are small; a file beyond this is a mistake and is not served.
constexpr std::size_t SiteFileMaxBytes = 1 << 20;
// The library bounds each header line (8 KiB) but not their number.
constexpr std::size_t MaxHeaderCount = 64;
constexpr std::size_t PictureChunkBytes = 64 * 1024;

std::string StatusText(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 413:
        return "Payload Too Large";
    case 411:
        return "Length Required";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

} // namespace

TTonalyxServer::TTonalyxServer(const TServerOptions& options, std::FILE* log)
    : FOptions(options), FLog(log), FHttp(std::make_unique<httplib::Server>()) {}

TTonalyxServer::~TTonalyxServer() = default;

TResult<std::unique_ptr<TTonalyxServer>> TTonalyxServer::Create(const TServerOptions& options,
                                                                std::string_view shortVersion,
                                                                std::FILE* log) {
    std::unique_ptr<TTonalyxServer> server(new TTonalyxServer(options, log));
    if (TStatus prepared = server->Prepare(shortVersion); !prepared.Ok())
        return TResult<std::unique_ptr<TTonalyxServer>>::Failure(prepared.Reason());
    if (TStatus bound = server->Bind(); !bound.Ok())
        return TResult<std::unique_ptr<TTonalyxServer>>::Failure(bound.Reason());
    server->FPublicUrl = options.PublicUrl.empty() ? DefaultPublicUrl(options.Host, server->FPort)
                                                   : options.PublicUrl;
    server->FUploads = std::make_unique<TUploadDesk>(*server->FStore, options.MaxUploadBytes,
                                                     options.UploadsPerMinute, server->FPublicUrl);
    server->AddRoutes();
    return server;
}

TStatus TTonalyxServer::Prepare(std::string_view shortVersion) {
    std::error_code error;
    std::filesystem::create_directories(FOptions.Root, error);
    if (error)
        return TStatus::Failure("cannot create the data folder " + FOptions.Root + ": " +
                                error.message());
    FRoot.Reset(::open(FOptions.Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!FRoot.Valid())
        return TStatus::Failure("cannot open the data folder " + FOptions.Root + ": " +
                                std::strerror(errno));
    const std::string defaults = !FOptions.Defaults.empty()
                                     ? FOptions.Defaults
                                     : FindDataFolder(RunningExecutable(), "server").string();
    for (const std::string& problem : WriteDefaultSiteFiles(FRoot.Get(), defaults, shortVersion))
        WriteLogLine(FLog, "warning: a default page cannot be written: " + problem);
    auto feed = OpenRegularFileAt(FRoot.Get(), FeedFile().Path);
    auto content = feed.Ok() ? ReadWhole(feed.Value().Get(), SiteFileMaxBytes)
                             : TResult<std::string>::Failure(feed.Reason());
    const std::string feedPath = FOptions.Root + "/" + std::string(FeedFile().Path);
    if (!content.Ok())
        WriteLogLine(FLog,
                     "warning: the feed " + feedPath + " cannot be read: " + content.Reason());
    else
        for (const std::string& problem : FeedProblems(content.Value()))
            WriteLogLine(FLog, "warning: the program will not take the feed " + feedPath + ": " +
                                   problem);
    auto store = TPictureStore::Open(FRoot.Get(), FOptions.QuotaBytes);
    if (!store.Ok())
        return TStatus::Failure("cannot open the picture folder: " + store.Reason());
    FStore = std::move(store.Value());
    return TStatus::Success();
}

TStatus TTonalyxServer::Bind() {
    const std::uint64_t payload =
        FOptions.MaxUploadBytes > std::numeric_limits<std::size_t>::max() - FormOverheadBytes
            ? std::numeric_limits<std::size_t>::max()
            : FOptions.MaxUploadBytes + FormOverheadBytes;
    FPayloadLimit = payload;
    FHttp->set_payload_max_length(static_cast<std::size_t>(payload));
    FHttp->set_read_timeout(10);
    FHttp->set_write_timeout(10);
    FHttp->set_keep_alive_timeout(5);
    FHttp->set_keep_alive_max_count(100);
    // The library's default also sets SO_REUSEPORT, with which a second server would share
    // the port silently instead of failing to start.
    FHttp->set_socket_options([](int socket) {
        const int on = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    if (FOptions.Port == 0) {
        FPort = FHttp->bind_to_any_port(FOptions.Host);
        if (FPort <= 0)
            return TStatus::Failure("cannot listen on " + FOptions.Host + " (any port)");
    } else {
        if (!FHttp->bind_to_port(FOptions.Host, FOptions.Port))
            return TStatus::Failure("cannot listen on " + FOptions.Host + ":" +
                                    std::to_string(FOptions.Port) +
                                    " (in use, or not an address of this machine)");
        FPort = FOptions.Port;
    }
    return TStatus::Success();
}

void TTonalyxServer::AddRoutes() {
    FHttp->set_default_headers({{"X-Content-Type-Options", "nosniff"}});
    // Both run before the library reads a body, which it would otherwise take whole into
    // memory when it comes in chunks, whatever its payload limit.
    FHttp->set_expect_100_continue_handler(
        [this](const httplib::Request& req, httplib::Response& res) {
            const int refused = RefusedBody(req);
            if (refused == 0)
                return 100;
            res.status = refused;
            return refused;
        });
    FHttp->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        TRequestNote::Take();
        const int refused = req.headers.size() > MaxHeaderCount ? 431 : RefusedBody(req);
        if (refused == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = refused;
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
    });
    FHttp->Get(R"(/check\.php)", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("0", "text/plain");
    });
    FHttp->Post(R"(/upload\.php)",
                [this](const httplib::Request& req, httplib::Response& res) { Upload(req, res); });
    FHttp->Get(R"(/0001/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        ServePicture(req.matches[1].str(), res);
    });
    for (const TSiteFile& file : SiteFiles()) {
        // Routes are regular expressions; none of these paths holds a character that means more.
        FHttp->Get(std::string(file.Route),
                   [this, &file](const httplib::Request&, httplib::Response& res) {
                       ServeSiteFile(file.Path, file.ContentType, res);
                   });
    }
    FHttp->set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        // The program reads any answer of the upload script but "0" as a refusal.
        if (req.path == "/upload.php")
            res.set_content("1", "text/plain");
        else if (res.body.empty())
            res.set_content(std::to_string(res.status) + " " + StatusText(res.status) + "\n",
                            "text/plain");
    });
    FHttp->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        LogRequest(req, res);
    });
}

int TTonalyxServer::RefusedBody(const httplib::Request& req) const {
    if (req.has_header("Transfer-Encoding"))
        return 411;
    if (!req.has_header("Content-Length"))
        return req.method == "POST" || req.method == "PUT" || req.method == "PATCH" ? 411 : 0;
    return req.get_header_value<std::uint64_t>("Content-Length") > FPayloadLimit ? 413 : 0;
}

void TTonalyxServer::ServeSiteFile(std::string_view path, std::string_view contentType,
                                   httplib::Response& res) const {
    auto file = OpenRegularFileAt(FRoot.Get(), path);
    auto content = file.Ok() ? ReadWhole(file.Value().Get(), SiteFileMaxBytes)
                             : TResult<std::string>::Failure(file.Reason());
    if (!content.Ok()) {
        TRequestNote::Set("missing: " + content.Reason());
        res.status = 404;
        return;
    }
    const bool feed = path == FeedFile().Path;
    res.set_header("Cache-Control", "no-cache");
    res.set_content(feed ? content.Value() : WithPublicUrl(content.Value(), FPublicUrl),
                    std::string(contentType));
}

void TTonalyxServer::ServePicture(const std::string& name, httplib::Response& res) const {
    auto opened = FStore->OpenPicture(name);
    struct stat info {};
    if (!opened.Ok() || ::fstat(opened.Value().Get(), &info) != 0) {
        res.status = 404;
        return;
    }
    auto fd = std::make_shared<TUniqueFd>(std::move(opened.Value()));
    res.set_header("Cache-Control", "public, max-age=31536000, immutable");
    res.set_content_provider(static_cast<std::size_t>(info.st_size), "image/png",
                             [fd](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 char buffer[PictureChunkBytes];
                                 const ssize_t got =
                                     ::pread(fd->Get(), buffer, std::min(length, sizeof buffer),
                                             static_cast<off_t>(offset));
                                 if (got <= 0)
                                     return false; // a picture never shrinks; this is a read error
                                 sink.write(buffer, static_cast<std::size_t>(got));
                                 return true;
                             });
}

void TTonalyxServer::Upload(const httplib::Request& req, httplib::Response& res) {
    // "fname" is a plain form value but the library files every multipart part as a file.
    // The parts are looked at where they are: the picture may be megabytes.
    const auto part = [&req](const char* name) -> const std::string* {
        const auto found = req.files.find(name);
        return found == req.files.end() ? nullptr : &found->second.content;
    };
    const bool form = req.is_multipart_form_data();
    const TUploadReply reply =
        FUploads->Take(req.remote_addr, std::chrono::steady_clock::now(),
                       form ? part("fname") : nullptr, form ? part("file") : nullptr);
    TRequestNote::Set(reply.Note);
    res.set_content(reply.Stored ? "0" : "1", "text/plain");
}

void TTonalyxServer::LogRequest(const httplib::Request& req, const httplib::Response& res) const {
    std::size_t bytes = res.body.size();
    if (bytes == 0 && res.has_header("Content-Length"))
        bytes = res.get_header_value<std::uint64_t>("Content-Length");
    WriteLogLine(FLog, RequestLogLine(req.remote_addr, req.method, req.path, res.status, bytes,
                                      TRequestNote::Take()));
}

bool TTonalyxServer::Run() {
    {
        std::lock_guard lock(FRunLock);
        FRunBegun = true;
        if (FStopRequested) {
            FRunOver = true;
            return true;
        }
    }
    const bool served = FHttp->listen_after_bind();
    std::lock_guard lock(FRunLock);
    FRunOver = true;
    FRunEnded.notify_all();
    return served || FStopRequested;
}

void TTonalyxServer::Stop() {
    std::unique_lock lock(FRunLock);
    FStopRequested = true;
    // The library ignores a stop that comes before its accept loop has begun, so ask again
    // until Run has returned.
    while (FRunBegun && !FRunOver) {
        FHttp->stop();
        FRunEnded.wait_for(lock, std::chrono::milliseconds(20));
    }
}

} // namespace tonalyx
