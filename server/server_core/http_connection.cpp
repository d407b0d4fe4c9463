#include "http_connection.h"

#include "client_address.h"

#include <boost/asio/post.hpp>
#include <boost/beast/core/file.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <algorithm>

namespace tonalyx {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr std::size_t BodyPieceBytes = 64 * 1024;
// Room for the whole header and one piece of a body passing through.
constexpr std::size_t ReadBufferSlack = 64 * 1024;
// A buffer larger than this is given back while its connection waits for a request.
constexpr std::size_t IdleBufferBytes = 4096;
// After an answer that closes the connection, what the client still sends is read and
// dropped for this long, or up to this much.
constexpr auto LingerTime = std::chrono::seconds(1);
constexpr std::uint64_t LingerBytes = 1 << 20;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The time bytes may take to arrive, or to be taken, at the slowest rate allowed.
std::chrono::steady_clock::duration TimeFor(std::uint64_t bytes, const TClientLimits& limits) {
    const std::uint64_t rate = std::max<std::uint64_t>(limits.MinBytesPerSecond, 1);
    return limits.BodyGraceTime + std::chrono::milliseconds(bytes * 1000 / rate);
}

std::string_view StatusText(int status) {
    return http::obsolete_reason(static_cast<http::status>(status));
}

} // namespace

std::string DecodedPath(std::string_view target) {
    target = target.substr(0, target.find('?'));
    std::string path;
    path.reserve(target.size());
    for (std::size_t i = 0; i < target.size(); ++i) {
        const bool escape = target[i] == '%' && i + 2 < target.size();
        const int high = escape ? HexValue(target[i + 1]) : -1;
        const int low = escape ? HexValue(target[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += target[i];
        }
    }
    return path;
}

THttpConnection::THttpConnection(TSocket socket, TConnectionContext& context, TPeer peer)
    : FStream(std::move(socket)), FBuffer(context.Limits.HeaderBytes + ReadBufferSlack),
      FContext(context), FPeer(std::move(peer)) {}

THttpConnection::~THttpConnection() {
    if (FId != 0)
        FContext.Table.Remove(FId);
}

void THttpConnection::Start() {
    std::weak_ptr<THttpConnection> weak = weak_from_this();
    // The front's connections carry many clients, each bounded by the front itself; they
    // may take the whole table.
    FId = FContext.Table.Admit(
        FPeer.Address,
        [weak] {
            if (auto connection = weak.lock())
                connection->Close();
        },
        FPeer.Front ? FContext.Limits.Connections : 0);
    if (FId == 0) {
        beast::error_code ignored;
        FStream.socket().close(ignored);
        return;
    }
    // All of the first request's header lines within the header time from now.
    FStream.expires_after(FContext.Limits.HeaderTime);
    WaitForRequest();
}

void THttpConnection::Close() {
    net::post(FStream.get_executor(), [self = shared_from_this()] {
        beast::error_code ignored;
        self->FStream.socket().shutdown(net::socket_base::shutdown_both, ignored);
        self->FStream.close();
    });
}

void THttpConnection::WaitForRequest() {
    FParser.emplace();
    FParser->header_limit(static_cast<std::uint32_t>(FContext.Limits.HeaderBytes));
    FParser->body_limit(FContext.BodyBytes);
    FRequest = {};
    FRequest.Client = FPeer.Address; // until the header may name another
    FRequestBegun = FBuffer.size() > 0;
    FContext.Table.SetInHeader(FId, true);
    if (FRequestBegun) { // the client sent it right behind the last one
        FStream.expires_after(FContext.Limits.HeaderTime);
        ReadHeader();
        return;
    }
    if (FBuffer.capacity() > IdleBufferBytes)
        FBuffer.shrink_to_fit();
    if (!FFirstRequest)
        FStream.expires_after(FContext.Limits.KeepAliveTime);
    FStream.async_read_some(FBuffer.prepare(512),
                            [self = shared_from_this()](beast::error_code error, std::size_t n) {
                                if (error)
                                    return self->Abandon(error);
                                self->FBuffer.commit(n);
                                self->FRequestBegun = true;
                                if (!self->FFirstRequest)
                                    self->FStream.expires_after(self->FContext.Limits.HeaderTime);
                                self->ReadHeader();
                            });
}

void THttpConnection::ReadHeader() {
    http::async_read_header(FStream, FBuffer, *FParser,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                self->OnHeader(error);
                            });
}

void THttpConnection::OnHeader(beast::error_code error) {
    FContext.Table.SetInHeader(FId, false);
    // The request line, for the log, even of a request refused in its header.
    const auto& header = FParser->get();
    if (!header.method_string().empty()) {
        FRequest.Method = std::string(header.method_string());
        FRequest.Path = DecodedPath(header.target());
    }
    if (error == http::error::header_limit || error == http::error::buffer_overflow)
        return Refuse(431);
    if (error == http::error::body_limit) // the announced length, seen with the header
        return Refuse(413);
    // A request line or header that is no HTTP; a client that hung up is no error of its own.
    if (error && error.category() == http::make_error_code(http::error::bad_target).category() &&
        error != http::error::end_of_stream && error != http::error::partial_message)
        return Refuse(400);
    if (error)
        return Abandon(error);
    // The front may have sent the header more than once; the last entry is still its own.
    std::string_view forwardedFor;
    for (const auto& field : header)
        if (beast::iequals(field.name_string(), "X-Forwarded-For"))
            forwardedFor = field.value();
    FRequest.Client = ClientAddress(FPeer.Address, FPeer.Front, header["X-Real-IP"], forwardedFor);
    FRequest.ContentType = std::string(header[http::field::content_type]);
    if (const int status = Refused(); status != 0)
        return Refuse(status);
    const bool expectsContinue =
        beast::iequals(header[http::field::expect], "100-continue") && !FParser->is_done();
    if (!expectsContinue)
        return ReadBody();
    auto interim = std::make_shared<http::response<http::empty_body>>(http::status::continue_,
                                                                      header.version());
    FStream.expires_after(TimeFor(0, FContext.Limits));
    http::async_write(FStream, *interim,
                      [self = shared_from_this(), interim](beast::error_code written, std::size_t) {
                          if (written)
                              return self->Abandon(written);
                          self->ReadBody();
                      });
}

int THttpConnection::Refused() const {
    const auto& header = FParser->get();
    const TClientLimits& limits = FContext.Limits;
    if (header.target().size() > limits.HeaderLineBytes)
        return 414;
    std::size_t count = 0;
    for (const auto& field : header) {
        // Name, ": ", value and the line break.
        if (++count > limits.HeaderCount ||
            field.name_string().size() + field.value().size() + 4 > limits.HeaderLineBytes)
            return 431;
    }
    // A body in chunks has no length to check beforehand.
    if (header.count(http::field::transfer_encoding) != 0)
        return 411;
    const auto length = FParser->content_length();
    if (!length) {
        const http::verb method = header.method();
        const bool wantsBody =
            method == http::verb::post || method == http::verb::put || method == http::verb::patch;
        return wantsBody ? 411 : 0;
    }
    return *length > FContext.BodyBytes ? 413 : 0;
}

void THttpConnection::ReadBody() {
    FBodyStart = TClock::now();
    FBodyReceived = 0;
    ReadBodyPiece();
}

void THttpConnection::ReadBodyPiece() {
    if (FParser->is_done()) {
        FRequest.Body.resize(static_cast<std::size_t>(FBodyReceived));
        return Answer();
    }
    // The body grows with what comes, not with what the client announced.
    const std::uint64_t length = FParser->content_length().value_or(0);
    FBodyPiece = std::min<std::uint64_t>(BodyPieceBytes, length - FBodyReceived);
    FRequest.Body.resize(static_cast<std::size_t>(FBodyReceived + FBodyPiece));
    auto& body = FParser->get().body();
    body.data = FRequest.Body.data() + FBodyReceived;
    body.size = static_cast<std::size_t>(FBodyPiece);
    // The body so far and this piece at no less than the minimum rate, from its start; and
    // this piece so too from now, so that a fast start buys no long stall.
    const TClock::time_point byAverage =
        FBodyStart + TimeFor(FBodyReceived + FBodyPiece, FContext.Limits);
    FStream.expires_at(std::min(byAverage, TClock::now() + TimeFor(FBodyPiece, FContext.Limits)));
    http::async_read(FStream, FBuffer, *FParser,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                         self->OnBodyPiece(error, self->FParser->get().body().size);
                     });
}

void THttpConnection::OnBodyPiece(beast::error_code error, std::size_t unfilled) {
    FBodyReceived += FBodyPiece - unfilled;
    if (error == http::error::need_buffer)
        error = {};
    if (error)
        return Abandon(error);
    ReadBodyPiece();
}

void THttpConnection::Answer() {
    ++FRequests;
    const bool keepAlive =
        FParser->get().keep_alive() && FRequests < FContext.Limits.RequestsPerConnection;
    if (FRequest.Body.empty() && FParser->get().method() != http::verb::post)
        return Send(FContext.Handler.Answer(FRequest), keepAlive);
    // The site's work on a body (decoding, writing to disk) is done off the I/O threads.
    net::post(FContext.Workers, [self = shared_from_this(), keepAlive] {
        auto reply = std::make_shared<THttpAnswer>(self->FContext.Handler.Answer(self->FRequest));
        net::post(self->FStream.get_executor(),
                  [self, reply, keepAlive] { self->Send(std::move(*reply), keepAlive); });
    });
}

void THttpConnection::Send(THttpAnswer reply, bool keepAlive) {
    const unsigned version = FParser->get().version();
    const bool head = FParser->get().method() == http::verb::head;
    const auto status = static_cast<http::status>(reply.Status);
    const auto fill = [&](auto& response, std::uint64_t bytes) {
        response.set(http::field::content_type, reply.ContentType);
        response.set("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : reply.Headers)
            response.set(name, value);
        response.keep_alive(keepAlive);
        response.content_length(bytes);
    };
    const std::uint64_t bytes = reply.File.Valid() ? reply.FileBytes : reply.Body.size();
    TAnswered note{reply.Status, bytes, std::move(reply.Note)};
    FStream.expires_after(TimeFor(bytes, FContext.Limits));
    if (head) {
        auto response = std::make_shared<http::response<http::empty_body>>(status, version);
        fill(*response, bytes);
        return Write(response, note, keepAlive);
    }
    if (reply.File.Valid()) {
        auto response = std::make_shared<http::response<http::file_body>>(status, version);
        beast::file file;
        beast::error_code error;
        file.native_handle(reply.File.Release());
        response->body().reset(std::move(file), error);
        fill(*response, bytes);
        return Write(response, note, keepAlive);
    }
    auto response = std::make_shared<http::response<http::string_body>>(status, version);
    response->body() = std::move(reply.Body);
    fill(*response, bytes);
    Write(response, note, keepAlive);
}

template <class TResponse>
void THttpConnection::Write(std::shared_ptr<TResponse> response, TAnswered note, bool keepAlive) {
    http::async_write(FStream, *response,
                      [self = shared_from_this(), response, note = std::move(note),
                       keepAlive](beast::error_code error, std::size_t) {
                          self->OnWritten(error, note, keepAlive);
                      });
}

void THttpConnection::OnWritten(beast::error_code error, const TAnswered& note, bool keepAlive) {
    FContext.Handler.Log(FRequest, note.Status, error ? 0 : note.Bytes,
                         error ? note.Text + (note.Text.empty() ? "" : "; ") +
                                     "the answer was not taken: " + error.message()
                               : note.Text);
    if (error)
        return;
    if (!keepAlive)
        return Linger();
    FFirstRequest = false;
    WaitForRequest();
}

void THttpConnection::Refuse(int status) {
    if (FRequest.Method.empty())
        FRequest.Method = "-";
    THttpAnswer reply = FContext.Handler.Refusal(status, FRequest);
    reply.Status = status;
    if (reply.Note.empty())
        reply.Note = "refused: " + std::string(StatusText(status));
    Send(std::move(reply), false);
}

void THttpConnection::Abandon(beast::error_code error) {
    if (!FRequestBegun || error == net::error::operation_aborted)
        return;
    const bool late = error == beast::error::timeout;
    if (FRequest.Method.empty())
        FRequest.Method = "-";
    FContext.Handler.Log(FRequest, late ? 408 : 400, 0,
                         late ? "closed: the request did not come in time"
                              : "closed: " + error.message());
}

void THttpConnection::Linger() {
    beast::error_code ignored;
    FStream.socket().shutdown(net::socket_base::shutdown_send, ignored);
    FStream.expires_after(LingerTime);
    FLingered = 0;
    FBuffer.clear();
    FStream.async_read_some(FBuffer.prepare(16 * 1024),
                            [self = shared_from_this()](beast::error_code error, std::size_t n) {
                                self->OnLinger(error, n);
                            });
}

void THttpConnection::OnLinger(beast::error_code error, std::size_t bytes) {
    FLingered += bytes;
    if (error || FLingered > LingerBytes) {
        FStream.close();
        return;
    }
    FStream.async_read_some(FBuffer.prepare(16 * 1024),
                            [self = shared_from_this()](beast::error_code next, std::size_t n) {
                                self->OnLinger(next, n);
                            });
}

} // namespace tonalyx
