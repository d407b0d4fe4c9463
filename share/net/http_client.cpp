#include "http_client.h"

#include "protocol.h"
#include "ufileinfo.h"

#include <QFileInfo>

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

namespace tonalyx {

namespace {

struct TEasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct TMimeDeleter {
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};
struct TSlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct TMultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
using TEasy = std::unique_ptr<CURL, TEasyDeleter>;
using TMime = std::unique_ptr<curl_mime, TMimeDeleter>;
using TSlist = std::unique_ptr<curl_slist, TSlistDeleter>;
using TMulti = std::unique_ptr<CURLM, TMultiDeleter>;

// One easy handle driven by a multi handle of its own for the time of one request, so that
// the wait for the network can be woken (curl_multi_wakeup) when the request is cancelled.
class TTransfer {
  public:
    explicit TTransfer(CURL* easy) : FMulti(curl_multi_init()), FEasy(easy) {
        FAdded = FMulti && curl_multi_add_handle(FMulti.get(), FEasy) == CURLM_OK;
    }
    ~TTransfer() {
        if (FAdded) // before the multi handle goes, and before the caller cleans the easy one up
            curl_multi_remove_handle(FMulti.get(), FEasy);
    }
    TTransfer(const TTransfer&) = delete;
    TTransfer& operator=(const TTransfer&) = delete;

    bool Ready() const { return FAdded; }
    CURLM* Multi() const { return FMulti.get(); }

  private:
    TMulti FMulti;
    CURL* FEasy;
    bool FAdded = false;
};

// At most this long in one wait for the network; a cancel, data, or libcurl's own
// time-out ends a wait sooner.
constexpr int PollCapMs = 1000;

// Written once by InitHttp before any worker exists, read-only afterwards.
std::string& UserAgent() {
    static std::string agent;
    return agent;
}

// Loopback never goes through a proxy: the environment's exceptions, and ours after them.
std::string NoProxyList() {
    const char* env = std::getenv("no_proxy");
    if (!env || !*env)
        env = std::getenv("NO_PROXY");
    std::string list = env ? env : "";
    if (!list.empty())
        list += ',';
    return list + "127.0.0.1,localhost,::1";
}

struct TSink {
    std::string Body;
    std::size_t Cap = 0;
    bool Overflow = false;
};

// libcurl's write callback, on the calling thread: keeps up to Cap bytes and stops the
// transfer at the first byte beyond.
std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<TSink*>(user);
    const std::size_t n = size * count;
    if (n > sink->Cap - sink->Body.size()) {
        sink->Body.append(data, sink->Cap - sink->Body.size());
        sink->Overflow = true;
        return 0;
    }
    sink->Body.append(data, n);
    return n;
}

std::string Trimmed(std::string text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && blank(text[first]))
        ++first;
    return text.substr(first);
}

std::string Reason(CURLcode code, const char* detail) {
    std::string text = curl_easy_strerror(code);
    if (detail && *detail)
        text += ": " + Trimmed(detail);
    return text;
}

// The options every request shares. False when libcurl refused one of them.
bool SetCommon(CURL* h, const std::string& url, std::chrono::milliseconds timeout, TSink& sink,
               char* errorBuffer, const std::string& noProxy) {
    bool ok = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
    // Worker threads: no signals for name lookups or time-outs.
    ok = ok && curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(timeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
    if (!UserAgent().empty())
        ok = ok && curl_easy_setopt(h, CURLOPT_USERAGENT, UserAgent().c_str()) == CURLE_OK;
    // No cookie engine: CURLOPT_COOKIEFILE stays unset.
    return ok;
}

THttpReply Failure(std::string reason, std::string detail = {}) {
    THttpReply r;
    r.Outcome = TOutcome<void>::Failure(std::move(reason), std::move(detail));
    return r;
}

// Drives the request to its end: done, failed, timed out (the handle's own time-out) or
// cancelled. Returns libcurl's result, or nothing when cancelled.
std::optional<CURLcode> Drive(const TTransfer& transfer, const std::stop_token& cancel) {
    CURLM* multi = transfer.Multi();
    // Runs on the cancelling thread (or here, when already cancelled).
    const std::stop_callback wake(cancel, [multi] { curl_multi_wakeup(multi); });
    for (;;) {
        int running = 0;
        const CURLMcode step = curl_multi_perform(multi, &running);
        if (cancel.stop_requested())
            return std::nullopt;
        if (step != CURLM_OK)
            return CURLE_FAILED_INIT;
        if (running == 0)
            break;
        // A wake-up before the poll is kept: the poll then returns at once.
        if (curl_multi_poll(multi, nullptr, 0, PollCapMs, nullptr) != CURLM_OK)
            return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_FAILED_INIT;
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    return result;
}

THttpReply Perform(CURL* h, TSink& sink, const char* errorBuffer, const std::string& request,
                   const std::stop_token& cancel) {
    TTransfer transfer(h);
    if (!transfer.Ready())
        return Failure("The HTTP client could not be created", request);
    const std::optional<CURLcode> code = Drive(transfer, cancel);
    if (!code)
        return Failure("The transfer was cancelled", request);
    THttpReply reply;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.Status);
    reply.Body = std::move(sink.Body);
    reply.Overflow = sink.Overflow;
    const std::string detail = request + " (libcurl code " + std::to_string(int(*code)) + ")";
    // A status says more than a cut-off error page, and the cut-off more than the
    // write error libcurl reports for it.
    if (reply.Status != 0 && (reply.Status < 200 || reply.Status > 299))
        reply.Outcome = TOutcome<void>::Failure(
            "The server answered with status " + std::to_string(reply.Status), detail);
    else if (sink.Overflow)
        reply.Outcome = TOutcome<void>::Failure(
            "The reply was longer than " + std::to_string(sink.Cap) + " bytes", detail);
    else if (*code != CURLE_OK)
        reply.Outcome = TOutcome<void>::Failure(Reason(*code, errorBuffer), detail);
    else
        reply.Outcome = TOutcome<void>::Success();
    return reply;
}

} // namespace

void InitHttp() {
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        UserAgent() = QFileInfo(RunningExecutablePath()).fileName().toStdString();
    });
}

THttpClient::THttpClient(std::chrono::milliseconds timeout) : FTimeout(timeout) {}

THttpReply THttpClient::Get(const std::string& url, std::size_t maxBody,
                            std::stop_token cancel) const {
    TEasy h(curl_easy_init());
    if (!h)
        return Failure("The HTTP client could not be created");
    TSink sink;
    sink.Cap = maxBody;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string noProxy = NoProxyList();
    if (!SetCommon(h.get(), url, FTimeout, sink, errorBuffer, noProxy) ||
        curl_easy_setopt(h.get(), CURLOPT_HTTPGET, 1L) != CURLE_OK)
        return Failure("The HTTP client refused its settings");
    return Perform(h.get(), sink, errorBuffer, "GET " + url, cancel);
}

THttpReply THttpClient::PostMultipart(const std::string& url, const std::vector<THttpPart>& parts,
                                      std::size_t maxBody, std::stop_token cancel) const {
    // Declared before the handle so that they are freed after it: the handle refers to
    // both until its cleanup.
    TMime mime;
    TSlist headers;
    TEasy h(curl_easy_init());
    if (!h)
        return Failure("The HTTP client could not be created");
    mime.reset(curl_mime_init(h.get()));
    if (!mime)
        return Failure("The request body could not be created");
    for (const THttpPart& p : parts) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        bool ok = part && curl_mime_name(part, p.Name.c_str()) == CURLE_OK &&
                  curl_mime_data(part, p.Data.data(), p.Data.size()) == CURLE_OK;
        if (ok && !p.FileName.empty())
            ok = curl_mime_filename(part, p.FileName.c_str()) == CURLE_OK;
        if (ok && !p.ContentType.empty())
            ok = curl_mime_type(part, p.ContentType.c_str()) == CURLE_OK;
        if (!ok)
            return Failure("The request body could not be built");
    }
    // An empty "Expect:" stops libcurl from waiting for a "100 Continue" that plain
    // servers never send.
    headers.reset(curl_slist_append(nullptr, "Expect:"));
    TSink sink;
    sink.Cap = maxBody;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string noProxy = NoProxyList();
    if (!headers || !SetCommon(h.get(), url, FTimeout, sink, errorBuffer, noProxy) ||
        curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get()) != CURLE_OK ||
        curl_easy_setopt(h.get(), CURLOPT_MIMEPOST, mime.get()) != CURLE_OK)
        return Failure("The HTTP client refused its settings");
    return Perform(h.get(), sink, errorBuffer, "POST " + url, cancel);
}

bool IsZeroReply(const THttpReply& reply) {
    return reply.Ok() && reply.Body == AcceptedAnswer;
}

} // namespace tonalyx
