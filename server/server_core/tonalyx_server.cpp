#include "tonalyx_server.h"

#include "data_folders.h"
#include "feed.h"
#include "form_data.h"
#include "http_server.h"
#include "picture_store.h"
#include "protocol.h"
#include "request_log.h"
#include "safe_files.h"
#include "site_files.h"
#include "upload_desk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <thread>

namespace tonalyx {

namespace {

// Room for the multipart framing and the name part around the picture itself.
constexpr std::uint64_t FormOverheadBytes = 64 * 1024;
// Pages and the feed are small; a file beyond this is a mistake and is not served.
constexpr std::size_t SiteFileMaxBytes = 1 << 20;
// Uploads decode and write to disk on these; a few at once keep the disk and the cores busy.
constexpr unsigned UploadWorkers = 4;

std::string StatusText(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

THttpAnswer Text(int status, std::string body) {
    THttpAnswer reply;
    reply.Status = status;
    reply.Body = std::move(body);
    return reply;
}

} // namespace

TTonalyxServer::TTonalyxServer(const TServerOptions& options, std::FILE* log)
    : FOptions(options), FLog(log) {}

TTonalyxServer::~TTonalyxServer() = default;

TResult<std::unique_ptr<TTonalyxServer>> TTonalyxServer::Create(const TServerOptions& options,
                                                                std::string_view shortVersion,
                                                                std::FILE* log) {
    std::unique_ptr<TTonalyxServer> server(new TTonalyxServer(options, log));
    if (TStatus prepared = server->Prepare(shortVersion); !prepared.Ok())
        return TResult<std::unique_ptr<TTonalyxServer>>::Failure(prepared.Reason());
    if (TStatus bound = server->Bind(); !bound.Ok())
        return TResult<std::unique_ptr<TTonalyxServer>>::Failure(bound.Reason());
    server->FPublicUrl = options.PublicUrl.empty()
                             ? DefaultPublicUrl(options.Host, server->FHttp->Port())
                             : options.PublicUrl;
    server->FUploads = std::make_unique<TUploadDesk>(*server->FStore, options.MaxUploadBytes,
                                                     options.UploadsPerMinute, server->FPublicUrl);
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
    THttpSettings settings;
    settings.Host = FOptions.Host;
    settings.Port = FOptions.Port;
    settings.Limits = FOptions.Limits;
    settings.BodyBytes =
        FOptions.MaxUploadBytes > std::numeric_limits<std::uint64_t>::max() - FormOverheadBytes
            ? std::numeric_limits<std::uint64_t>::max()
            : FOptions.MaxUploadBytes + FormOverheadBytes;
    settings.ProxySocket = FOptions.ProxySocket;
    settings.TrustedProxy = FOptions.TrustedProxy;
    settings.IoThreads = std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
    settings.Workers = UploadWorkers;
    auto http = THttpServer::Bind(settings, *this);
    if (!http.Ok())
        return TStatus::Failure(http.Reason());
    FHttp = std::move(http.Value());
    return TStatus::Success();
}

int TTonalyxServer::Port() const {
    return FHttp->Port();
}

THttpAnswer TTonalyxServer::Answer(const THttpRequest& request) {
    const bool get = request.Method == "GET" || request.Method == "HEAD";
    if (request.Path == CheckRoute && get)
        return Text(200, std::string(AcceptedAnswer));
    if (request.Path == UploadRoute && request.Method == "POST")
        return Upload(request);
    constexpr std::string_view Pictures = "/0001/";
    if (request.Path.starts_with(Pictures) && get)
        return Picture(std::string_view(request.Path).substr(Pictures.size()));
    for (const TSiteFile& file : SiteFiles())
        if (request.Path == file.Route && get)
            return SiteFile(file.Path, file.ContentType);
    return Refusal(404, request);
}

THttpAnswer TTonalyxServer::Refusal(int status, const THttpRequest& request) {
    // The program reads any answer of the upload script but "0" as a refusal.
    if (request.Path == UploadRoute)
        return Text(status, std::string(RefusedAnswer));
    return Text(status, std::to_string(status) + " " + StatusText(status) + "\n");
}

void TTonalyxServer::Log(const THttpRequest& request, int status, std::uint64_t bytes,
                         const std::string& note) {
    WriteLogLine(FLog, RequestLogLine(request.Client, request.Method,
                                      request.Path.empty() ? "-" : request.Path, status,
                                      static_cast<std::size_t>(bytes), note));
}

THttpAnswer TTonalyxServer::SiteFile(std::string_view path, std::string_view contentType) const {
    auto file = OpenRegularFileAt(FRoot.Get(), path);
    auto content = file.Ok() ? ReadWhole(file.Value().Get(), SiteFileMaxBytes)
                             : TResult<std::string>::Failure(file.Reason());
    if (!content.Ok()) {
        THttpAnswer missing = Text(404, "404 Not Found\n");
        missing.Note = "missing: " + content.Reason();
        return missing;
    }
    const bool feed = path == FeedFile().Path;
    THttpAnswer reply;
    reply.ContentType = contentType;
    reply.Headers = {{"Cache-Control", "no-cache"}};
    reply.Body = feed ? content.Value() : WithPublicUrl(content.Value(), FPublicUrl);
    return reply;
}

THttpAnswer TTonalyxServer::Picture(std::string_view name) const {
    auto opened = FStore->OpenPicture(name);
    struct stat info {};
    if (!opened.Ok() || ::fstat(opened.Value().Get(), &info) != 0)
        return Text(404, "404 Not Found\n");
    THttpAnswer reply;
    reply.ContentType = "image/png";
    reply.Headers = {{"Cache-Control", "public, max-age=31536000, immutable"}};
    reply.File = std::move(opened.Value());
    reply.FileBytes = static_cast<std::uint64_t>(info.st_size);
    return reply;
}

THttpAnswer TTonalyxServer::Upload(const THttpRequest& request) {
    const std::optional<TFormParts> form = ReadFormData(request.ContentType, request.Body);
    const auto part = [&form](std::string_view name) -> std::optional<std::string_view> {
        if (!form)
            return std::nullopt;
        const auto found = form->find(name);
        return found == form->end() ? std::nullopt : std::optional(found->second);
    };
    const TUploadReply outcome = FUploads->Take(request.Client, std::chrono::steady_clock::now(),
                                                part(UploadNamePart), part(UploadPicturePart));
    THttpAnswer reply = Text(200, std::string(outcome.Stored ? AcceptedAnswer : RefusedAnswer));
    reply.Note = outcome.Note;
    return reply;
}

bool TTonalyxServer::Run() {
    return FHttp->Run();
}

void TTonalyxServer::Stop() {
    FHttp->Stop();
}

} // namespace tonalyx
