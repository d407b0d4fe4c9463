// The web server the desktop program talks to: the check and upload scripts, the uploaded
// pictures, the feed and the pages of the link table, all from one data folder.
#pragma once

#include "result.h"
#include "server_options.h"
#include "unique_fd.h"

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tonalyx {

class TPictureStore;
class TUploadDesk;

class TTonalyxServer {
  public:
    // Prepares the data folder (creating it, writing the default feed and pages where
    // missing, warning on log about a feed the program would not take) and binds the
    // listening socket. shortVersion is what the default feed announces.
    static TResult<std::unique_ptr<TTonalyxServer>>
    Create(const TServerOptions& options, std::string_view shortVersion, std::FILE* log);
    ~TTonalyxServer();

    int Port() const { return FPort; }
    const std::string& PublicUrl() const { return FPublicUrl; }

    // Serves on the calling thread until Stop. False when serving failed.
    bool Run();
    // Ends Run from any thread, after the requests in progress; before Run it makes Run
    // return at once.
    void Stop();

  private:
    TTonalyxServer(const TServerOptions& options, std::FILE* log);
    TStatus Prepare(std::string_view shortVersion);
    TStatus Bind();
    void AddRoutes();
    // The status that refuses the request's body before it is read (a body in chunks, of
    // unknown length or over the payload limit), or 0 when the body may be read.
    int RefusedBody(const httplib::Request& req) const;
    void ServeSiteFile(std::string_view path, std::string_view contentType,
                       httplib::Response& res) const;
    void ServePicture(const std::string& name, httplib::Response& res) const;
    void Upload(const httplib::Request& req, httplib::Response& res);
    void LogRequest(const httplib::Request& req, const httplib::Response& res) const;

    const TServerOptions FOptions;
    std::FILE* const FLog;
    TUniqueFd FRoot; // the data folder, open for the server's life
    int FPort = 0;
    std::uint64_t FPayloadLimit = 0; // bytes of a request body, the form's framing included
    std::string FPublicUrl;
    std::unique_ptr<TPictureStore> FStore;
    std::unique_ptr<TUploadDesk> FUploads;
    std::unique_ptr<httplib::Server> FHttp;

    std::mutex FRunLock;
    std::condition_variable FRunEnded;
    bool FRunBegun = false, FRunOver = false, FStopRequested = false;
};

} // namespace tonalyx
