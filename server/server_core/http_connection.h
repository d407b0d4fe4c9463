// One client connection of the HTTP server: reads its requests one after another, each
// within its deadlines, hands them to the site and writes the answers. Every step is an
// asynchronous operation on the connection's strand, so a connection that waits for its
// client holds no thread.
#pragma once

#include "connection_table.h"
#include "http_exchange.h"
#include "server_options.h"

#include <boost/asio/generic/stream_protocol.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/basic_stream.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace tonalyx {

// What all connections of one server share; outlives them.
struct TConnectionContext {
    THttpHandler& Handler;
    TConnectionTable& Table;
    boost::asio::thread_pool& Workers; // where requests with a body are answered
    const TClientLimits Limits;
    const std::uint64_t BodyBytes; // the largest request body read
};

// Where a connection comes from: the address it counts for in the table, and whether it is
// the front server's, whose requests name their client in forwarding headers.
struct TPeer {
    std::string Address; // normal address form, or a name for the front's Unix socket
    bool Front = false;
};

class THttpConnection : public std::enable_shared_from_this<THttpConnection> {
  public:
    using TSocket = boost::asio::generic::stream_protocol::socket;

    // socket is a newly accepted connection, over TCP or a Unix socket, from peer.
    THttpConnection(TSocket socket, TConnectionContext& context, TPeer peer);
    ~THttpConnection();
    THttpConnection(const THttpConnection&) = delete;
    THttpConnection& operator=(const THttpConnection&) = delete;

    // Takes a place in the table and waits for the first request, or closes when the table
    // turns it away.
    void Start();

  private:
    using TParser = boost::beast::http::request_parser<boost::beast::http::buffer_body>;
    using TClock = std::chrono::steady_clock;

    // Any thread: ends the connection on its strand.
    void Close();
    void WaitForRequest();
    void ReadHeader();
    void OnHeader(boost::beast::error_code error);
    // The status that refuses the request before its body is read, or 0.
    int Refused() const;
    void ReadBody();
    void ReadBodyPiece();
    void OnBodyPiece(boost::beast::error_code error, std::size_t pieceBytes);
    void Answer();
    // What goes into the log once an answer has gone out.
    struct TAnswered {
        int Status = 0;
        std::uint64_t Bytes = 0; // of the body
        std::string Text;
    };

    void Send(THttpAnswer reply, bool keepAlive);
    template <class TResponse>
    void Write(std::shared_ptr<TResponse> response, TAnswered note, bool keepAlive);
    void OnWritten(boost::beast::error_code error, const TAnswered& note, bool keepAlive);
    // Answers with status and closes, without reading the rest of the request.
    void Refuse(int status);
    // The request ended without an answer: logged when it had begun.
    void Abandon(boost::beast::error_code error);
    // Stops sending, takes what the client still sends for a moment (so that it reads the
    // answer instead of a reset), then closes.
    void Linger();
    void OnLinger(boost::beast::error_code error, std::size_t bytes);

    boost::beast::basic_stream<boost::asio::generic::stream_protocol> FStream;
    boost::beast::flat_buffer FBuffer;
    TConnectionContext& FContext;
    const TPeer FPeer;
    TConnectionTable::TId FId = 0;
    std::optional<TParser> FParser;
    THttpRequest FRequest;
    bool FFirstRequest = true;
    bool FRequestBegun = false; // a byte of the current request has come
    unsigned FRequests = 0;
    TClock::time_point FBodyStart;
    std::uint64_t FBodyReceived = 0, FBodyPiece = 0, FLingered = 0;
};

} // namespace tonalyx
