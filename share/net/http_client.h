// Plain HTTP to the maker's web server over libcurl: a GET with a short text reply (the
// feed, the server check) and a multipart/form-data POST (the upload). One blocking
// request per call, on whichever worker thread calls it, that ends at once when its
// cancellation token is stopped; a client keeps no connection, cookie or state between
// calls, so one client may serve several threads at once.
#pragma once

#include "outcome.h"

#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tonalyx {

// Once, in main() before any thread starts: libcurl's global set-up and the user agent
// (the executable's file name). Calling it again does nothing. libcurl's global state is
// left to the end of the process (curl_global_cleanup is not called): tests set it up
// once per process, and every transfer has been joined before main returns anyway.
void InitHttp();

// A little above the 40-second deadline of the request queue, so that the queue, not the
// transport, decides when a request has taken too long.
inline constexpr std::chrono::milliseconds DefaultHttpTimeout{45000};
// Enough for the check's and the upload's "0" and for telling it from anything longer.
inline constexpr std::size_t ShortReplyCap = 16;

struct THttpReply {
    long Status = 0;       // the HTTP status; 0 when no answer came
    std::string Body;      // at most the cap's bytes, as they came
    bool Overflow = false; // the body was longer than the cap and was cut off
    // Success: a 2xx answer whose body was read whole within the cap. Otherwise the reason
    // (the status, the cut-off, libcurl's words, or "The transfer was cancelled") with the
    // request and libcurl's code as the detail.
    TOutcome<void> Outcome = TOutcome<void>::Failure("No request was made");
    bool Ok() const { return Outcome.Ok(); }
};

// One part of a multipart POST. Data is sent with its exact size (PNG bytes contain zeros)
// and must stay valid for the call.
struct THttpPart {
    std::string Name;
    std::string_view Data;
    std::string FileName;    // the filename attribute; none when empty
    std::string ContentType; // the part's content type; none when empty
};

class THttpClient {
  public:
    // timeout covers a whole request, connecting included.
    explicit THttpClient(std::chrono::milliseconds timeout = DefaultHttpTimeout);

    // Any thread. maxBody: the longest body accepted; a longer one fails with Overflow.
    // Stopping cancel ends the transfer at once, from any thread, whatever the network does.
    THttpReply Get(const std::string& url, std::size_t maxBody, std::stop_token cancel = {}) const;
    THttpReply PostMultipart(const std::string& url, const std::vector<THttpPart>& parts,
                             std::size_t maxBody, std::stop_token cancel = {}) const;

  private:
    std::chrono::milliseconds FTimeout;
};

// The check's and the upload's success: a good answer whose body is exactly AcceptedAnswer
// ("0", protocol.h).
bool IsZeroReply(const THttpReply& reply);

} // namespace tonalyx
