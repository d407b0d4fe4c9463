#include "http_client.h"

#include "ufileinfo.h"

#include <QFileInfo>

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <mutex>

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
using TEasy = std::unique_ptr<CURL, TEasyDeleter>;
using TMime = std::unique_ptr<curl_mime, TMimeDeleter>;
using TSlist = std::unique_ptr<curl_slist, TSlistDeleter>;

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

QString Reason(CURLcode code, const char* detail) {
    QString text = QString::fromUtf8(curl_easy_strerror(code));
    if (detail && *detail)
        text += QStringLiteral(": ") + QString::fromUtf8(detail).trimmed();
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

THttpReply Perform(CURL* h, TSink& sink, const char* errorBuffer) {
    THttpReply reply;
    const CURLcode code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.Status);
    reply.Body = std::move(sink.Body);
    reply.Overflow = sink.Overflow;
    // A status says more than a cut-off error page, and the cut-off more than the
    // write error libcurl reports for it.
    if (reply.Status != 0 && (reply.Status < 200 || reply.Status > 299))
        reply.Error = QStringLiteral("The server answered with status %1").arg(reply.Status);
    else if (sink.Overflow)
        reply.Error = QStringLiteral("The reply was longer than %1 bytes").arg(sink.Cap);
    else if (code != CURLE_OK)
        reply.Error = Reason(code, errorBuffer);
    else
        reply.Ok = true;
    return reply;
}

THttpReply Failure(const QString& text) {
    THttpReply r;
    r.Error = text;
    return r;
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

THttpReply THttpClient::Get(const std::string& url, std::size_t maxBody) const {
    TEasy h(curl_easy_init());
    if (!h)
        return Failure(QStringLiteral("The HTTP client could not be created"));
    TSink sink;
    sink.Cap = maxBody;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string noProxy = NoProxyList();
    if (!SetCommon(h.get(), url, FTimeout, sink, errorBuffer, noProxy) ||
        curl_easy_setopt(h.get(), CURLOPT_HTTPGET, 1L) != CURLE_OK)
        return Failure(QStringLiteral("The HTTP client refused its settings"));
    return Perform(h.get(), sink, errorBuffer);
}

THttpReply THttpClient::PostMultipart(const std::string& url, const std::vector<THttpPart>& parts,
                                      std::size_t maxBody) const {
    // Declared before the handle so that they are freed after it: the handle refers to
    // both until its cleanup.
    TMime mime;
    TSlist headers;
    TEasy h(curl_easy_init());
    if (!h)
        return Failure(QStringLiteral("The HTTP client could not be created"));
    mime.reset(curl_mime_init(h.get()));
    if (!mime)
        return Failure(QStringLiteral("The request body could not be created"));
    for (const THttpPart& p : parts) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        bool ok = part && curl_mime_name(part, p.Name.c_str()) == CURLE_OK &&
                  curl_mime_data(part, p.Data.data(), p.Data.size()) == CURLE_OK;
        if (ok && !p.FileName.empty())
            ok = curl_mime_filename(part, p.FileName.c_str()) == CURLE_OK;
        if (ok && !p.ContentType.empty())
            ok = curl_mime_type(part, p.ContentType.c_str()) == CURLE_OK;
        if (!ok)
            return Failure(QStringLiteral("The request body could not be built"));
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
        return Failure(QStringLiteral("The HTTP client refused its settings"));
    return Perform(h.get(), sink, errorBuffer);
}

bool IsZeroReply(const THttpReply& reply) {
    return reply.Ok && reply.Body == "0";
}

} // namespace tonalyx
