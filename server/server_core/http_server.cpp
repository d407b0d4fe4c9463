#include "http_server.h"

#include "client_address.h"
#include "connection_table.h"
#include "http_connection.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace tonalyx {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using local = net::local::stream_protocol;

namespace {
// When accepting fails (no descriptors left), the next try waits this long instead of spinning.
constexpr auto AcceptRetryTime = std::chrono::milliseconds(50);
// After a stop has closed every connection, their last handlers (which write the log lines
// of the answers just sent) get this long to run.
constexpr auto StopTime = std::chrono::seconds(2);
// The front's socket is for the server's own user and group: the folder it lies in and the
// group decide that only the front reaches it.
constexpr mode_t ProxySocketMode = 0660;
// How the connections of the front's Unix socket appear in the table and the log when a
// request names no client.
constexpr std::string_view FrontSocketPeer = "local";

// Binds acceptor to the Unix socket at path: a socket left there by a server that is gone is
// replaced, a live one or any other file is not.
boost::system::error_code BindProxySocket(local::acceptor& acceptor, const std::string& path) {
    boost::system::error_code error;
    if (path.size() >= sizeof(sockaddr_un::sun_path))
        return net::error::name_too_long;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return net::error::already_open;
        local::socket probe(acceptor.get_executor());
        if (!probe.connect(local::endpoint(path), error))
            return net::error::address_in_use;
        ::unlink(path.c_str());
    }
    if (acceptor.open(local(), error) || acceptor.bind(local::endpoint(path), error))
        return error;
    if (::chmod(path.c_str(), ProxySocketMode) != 0)
        return {errno, boost::system::system_category()};
    acceptor.listen(net::socket_base::max_listen_connections, error);
    return error;
}

} // namespace

// Members are destroyed in reverse order: the I/O context, and with it every connection,
// before the table, the pool and the context the connections use.
struct THttpServer::TImpl {
    TImpl(const THttpSettings& settings, THttpHandler& handler)
        : Table(settings.Limits.ConnectionsPerClient, settings.Limits.Connections),
          Workers(settings.Workers), Context{handler, Table, Workers, settings.Limits,
                                             settings.BodyBytes},
          TrustedProxy(settings.TrustedProxy), IoThreads(std::max(1u, settings.IoThreads)),
          Strand(net::make_strand(Io)), Acceptor(Strand), ProxyAcceptor(Strand) {}
    ~TImpl() {
        Workers.join();
        if (!ProxySocket.empty())
            ::unlink(ProxySocket.c_str());
    }

    template <class TAcceptor> void Accept(TAcceptor& acceptor);
    void OnAccepted(tcp::socket socket);
    void OnAccepted(local::socket socket);
    void RunIo();

    TConnectionTable Table;
    net::thread_pool Workers;
    TConnectionContext Context;
    const std::string TrustedProxy;
    std::string ProxySocket; // the path made at Bind, removed at the end
    const unsigned IoThreads;
    net::io_context Io;
    net::strand<net::io_context::executor_type> Strand; // of the acceptors
    tcp::acceptor Acceptor;
    local::acceptor ProxyAcceptor;

    std::mutex RunLock;
    std::condition_variable RunEnded;
    bool RunBegun = false, RunOver = false, StopRequested = false;
    std::once_flag StopOnce;
};

template <class TAcceptor> void THttpServer::TImpl::Accept(TAcceptor& acceptor) {
    acceptor.async_accept(
        net::make_strand(Io), [this, &acceptor](boost::system::error_code error,
                                                typename TAcceptor::protocol_type::socket socket) {
            if (error == net::error::operation_aborted || !acceptor.is_open())
                return;
            if (error) {
                // Both acceptors fail alike (no descriptors left); each retries by itself.
                auto retry = std::make_shared<net::steady_timer>(Strand, AcceptRetryTime);
                retry->async_wait([this, &acceptor, retry](boost::system::error_code waited) {
                    if (!waited && acceptor.is_open())
                        Accept(acceptor);
                });
                return;
            }
            OnAccepted(std::move(socket));
            Accept(acceptor);
        });
}

void THttpServer::TImpl::OnAccepted(tcp::socket socket) {
    boost::system::error_code error;
    const tcp::endpoint peer = socket.remote_endpoint(error);
    if (error)
        return; // gone already
    socket.set_option(tcp::no_delay(true), error);
    TPeer from{NormalAddress(peer.address().to_string()).value_or(""), false};
    from.Front = !TrustedProxy.empty() && from.Address == TrustedProxy;
    std::make_shared<THttpConnection>(THttpConnection::TSocket(std::move(socket)), Context,
                                      std::move(from))
        ->Start();
}

void THttpServer::TImpl::OnAccepted(local::socket socket) {
    std::make_shared<THttpConnection>(THttpConnection::TSocket(std::move(socket)), Context,
                                      TPeer{std::string(FrontSocketPeer), true})
        ->Start();
}

void THttpServer::TImpl::RunIo() {
    // A handler that throws (no memory) loses its connection, not the server.
    while (true) {
        try {
            Io.run();
            return;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tonalyx-server: a connection failed: %s\n", error.what());
        }
    }
}

THttpServer::THttpServer(std::unique_ptr<TImpl> impl) : FImpl(std::move(impl)) {}

THttpServer::~THttpServer() = default;

TResult<std::unique_ptr<THttpServer>> THttpServer::Bind(const THttpSettings& settings,
                                                        THttpHandler& handler) {
    auto impl = std::make_unique<TImpl>(settings, handler);
    const std::string where =
        settings.Host + ":" + (settings.Port == 0 ? "any port" : std::to_string(settings.Port));
    const auto failed = [&](const boost::system::error_code& error) {
        return TResult<std::unique_ptr<THttpServer>>::Failure(
            "cannot listen on " + where + ": " + error.message() +
            (settings.Port == 0 ? "" : " (in use, or not an address of this machine)"));
    };
    boost::system::error_code error;
    tcp::resolver resolver(impl->Io);
    const auto endpoints =
        resolver.resolve(settings.Host, std::to_string(settings.Port),
                         tcp::resolver::passive | tcp::resolver::numeric_service, error);
    if (error || endpoints.empty())
        return failed(error);
    const tcp::endpoint endpoint = *endpoints.begin();
    tcp::acceptor& acceptor = impl->Acceptor;
    // No SO_REUSEPORT: a second server on the port must fail to start, not share it.
    if (acceptor.open(endpoint.protocol(), error) ||
        acceptor.set_option(tcp::acceptor::reuse_address(true), error) ||
        acceptor.bind(endpoint, error) ||
        acceptor.listen(net::socket_base::max_listen_connections, error))
        return failed(error);
    if (!settings.ProxySocket.empty()) {
        if (const auto bound = BindProxySocket(impl->ProxyAcceptor, settings.ProxySocket))
            return TResult<std::unique_ptr<THttpServer>>::Failure(
                "cannot listen on " + settings.ProxySocket + ": " +
                (bound == net::error::already_open     ? "a file that is no socket is there"
                 : bound == net::error::address_in_use ? "another server listens there"
                                                       : bound.message()));
        impl->ProxySocket = settings.ProxySocket;
    }
    return std::unique_ptr<THttpServer>(new THttpServer(std::move(impl)));
}

int THttpServer::Port() const {
    boost::system::error_code error;
    return FImpl->Acceptor.local_endpoint(error).port();
}

bool THttpServer::Run() {
    {
        std::lock_guard lock(FImpl->RunLock);
        if (FImpl->StopRequested)
            return true;
        FImpl->RunBegun = true;
    }
    net::post(FImpl->Strand, [impl = FImpl.get()] {
        impl->Accept(impl->Acceptor);
        if (impl->ProxyAcceptor.is_open())
            impl->Accept(impl->ProxyAcceptor);
    });
    std::vector<std::thread> others;
    for (unsigned i = 1; i < FImpl->IoThreads; ++i)
        others.emplace_back([impl = FImpl.get()] { impl->RunIo(); });
    FImpl->RunIo();
    for (std::thread& thread : others)
        thread.join();
    std::lock_guard lock(FImpl->RunLock);
    FImpl->RunOver = true;
    FImpl->RunEnded.notify_all();
    return true;
}

void THttpServer::Stop() {
    {
        std::lock_guard lock(FImpl->RunLock);
        FImpl->StopRequested = true;
        if (!FImpl->RunBegun)
            return;
    }
    std::call_once(FImpl->StopOnce, [impl = FImpl.get()] {
        net::post(impl->Strand, [impl] {
            boost::system::error_code ignored;
            impl->Acceptor.close(ignored);
            impl->ProxyAcceptor.close(ignored);
        });
        impl->Table.CloseAll();
        // Uploads being answered end as they would; the rest of the requests are dropped.
        impl->Workers.join();
        // With every connection closed the I/O threads run out of work and end by themselves.
        std::unique_lock lock(impl->RunLock);
        if (!impl->RunEnded.wait_for(lock, StopTime, [impl] { return impl->RunOver; }))
            impl->Io.stop();
    });
}

} // namespace tonalyx
