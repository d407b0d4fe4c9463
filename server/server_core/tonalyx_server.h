// The web server the desktop program talks to: the check and upload scripts, the uploaded
// pictures, the feed and the pages of the link table, all from one data folder.
#pragma once

#include "http_exchange.h"
#include "result.h"
#include "server_options.h"
#include "unique_fd.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tonalyx {

class THttpServer;
class TPictureStore;
class TUploadDesk;

class TTonalyxServer : private THttpHandler {
  public:
    // Prepares the data folder (creating it, writing the default feed and pages where
    // missing, warning on log about a feed the program would not take) and binds the
    // listening socket. shortVersion is what the default feed announces.
    static TResult<std::unique_ptr<TTonalyxServer>>
    Create(const TServerOptions& options, std::string_view shortVersion, std::FILE* log);
    ~TTonalyxServer() override;

    int Port() const;
    const std::string& PublicUrl() const { return FPublicUrl; }

    // Serves on the calling thread until Stop. False when serving failed.
    bool Run();
    // Ends Run from any thread: closes every connection at once; uploads being stored are
    // stored whole first. Before Run it makes Run return at once.
    void Stop();

  private:
    TTonalyxServer(const TServerOptions& options, std::FILE* log);
    TStatus Prepare(std::string_view shortVersion);
    TStatus Bind();

    THttpAnswer Answer(const THttpRequest& request) override;
    THttpAnswer Refusal(int status, const THttpRequest& request) override;
    void Log(const THttpRequest& request, int status, std::uint64_t bytes,
             const std::string& note) override;

    THttpAnswer SiteFile(std::string_view path, std::string_view contentType) const;
    THttpAnswer Picture(std::string_view name) const;
    THttpAnswer Upload(const THttpRequest& request);

    const TServerOptions FOptions;
    std::FILE* const FLog;
    TUniqueFd FRoot; // the data folder, open for the server's life
    std::string FPublicUrl;
    std::unique_ptr<TPictureStore> FStore;
    std::unique_ptr<TUploadDesk> FUploads;
    std::unique_ptr<THttpServer> FHttp; // last: its threads use everything above
};

} // namespace tonalyx
