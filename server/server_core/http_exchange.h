// A request as the site sees it and its answer, apart from how HTTP carries them.
#pragma once

#include "unique_fd.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tonalyx {

struct THttpRequest {
    std::string Method;      // as sent ("GET"); "-" when the request line was never read
    std::string Path;        // percent escapes decoded, without the query
    std::string Client;      // the address the request counts for
    std::string ContentType; // of the body
    std::string Body;        // read whole, within the server's bound
};

struct THttpAnswer {
    int Status = 200;
    std::string ContentType = "text/plain";
    std::string Body;
    std::vector<std::pair<std::string, std::string>> Headers; // more header fields
    // When valid, the answer's body is this open file of FileBytes bytes instead of Body.
    TUniqueFd File;
    std::uint64_t FileBytes = 0;
    std::string Note; // for the log: what the request did, or why not
};

// The path of a request target: percent escapes decoded, the query dropped; a malformed
// escape stays as it is.
std::string DecodedPath(std::string_view target);

// What the site does with requests; the HTTP server calls it from its threads at once.
class THttpHandler {
  public:
    virtual ~THttpHandler() = default;
    // The answer to a request read whole. Requests with a body are answered on worker
    // threads, the others on the threads that move the bytes, so those must be quick.
    virtual THttpAnswer Answer(const THttpRequest& request) = 0;
    // The answer to a request refused with status before its body was read; request holds
    // what could be read of it.
    virtual THttpAnswer Refusal(int status, const THttpRequest& request) = 0;
    // Once per request, when its answer has gone out or its connection has ended.
    virtual void Log(const THttpRequest& request, int status, std::uint64_t bytes,
                     const std::string& note) = 0;
};

} // namespace tonalyx
