// The HTTP side of tonalyx-server: listens on a TCP port and, for the front server, on a Unix
// socket, keeps the connections within the client limits and hands whole requests to the site. A
// few threads move the bytes of all connections; requests with a body are answered on a pool of
// workers of their own.
#pragma once

#include "http_exchange.h"
#include "result.h"
#include "server_options.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tonalyx {

struct THttpSettings {
    std::string Host;
    int Port = 0; // 0 picks a free port
    TClientLimits Limits;
    std::uint64_t BodyBytes = 0; // the largest request body read
    // Where the front server connects: a Unix socket made at this path (empty for none), and
    // an address of another machine whose TCP connections are the front's (empty for none).
    std::string ProxySocket;
    std::string TrustedProxy;
    unsigned IoThreads = 2;
    unsigned Workers = 4;
};

class THttpServer {
  public:
    // Binds the listening socket; handler outlives the server.
    static TResult<std::unique_ptr<THttpServer>> Bind(const THttpSettings& settings,
                                                      THttpHandler& handler);
    ~THttpServer();

    int Port() const;

    // Serves on the calling thread (and the others it starts) until Stop. False when serving
    // failed.
    bool Run();
    // Ends Run from any thread: takes no more connections, closes the open ones, lets the
    // requests being answered on the workers finish (an upload is stored whole or not at all)
    // and returns once they have. A stop before Run makes Run return at once.
    void Stop();

  private:
    struct TImpl;
    explicit THttpServer(std::unique_ptr<TImpl> impl);
    std::unique_ptr<TImpl> FImpl;
};

} // namespace tonalyx
