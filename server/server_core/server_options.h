// The command line of tonalyx-server.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tonalyx {

// What one client may take of the server: the bounds that keep a slow, silent or flooding
// client from holding what other clients need.
struct TClientLimits {
    // A new connection's request headers, all of them, within this; then each next request's
    // within as long again from its first byte.
    std::chrono::milliseconds HeaderTime{5000};
    // A request body arrives at least this fast on average, after a grace of BodyGraceTime,
    // and an answer is taken at least as fast, after the same grace.
    std::uint64_t MinBytesPerSecond = 16 * 1024;
    std::chrono::milliseconds BodyGraceTime{5000};
    std::chrono::milliseconds KeepAliveTime{5000}; // between the requests of one connection
    unsigned RequestsPerConnection = 100;
    std::size_t HeaderBytes = 32 * 1024;    // the request line and all header lines
    std::size_t HeaderLineBytes = 8 * 1024; // the request line or one header line
    std::size_t HeaderCount = 64;
    // Open connections from one address, and of all; the connection longest in its header
    // (waiting for a request or reading it) makes room for a new one when all are taken. The front
    // server may hold all of them.
    std::size_t ConnectionsPerClient = 16;
    std::size_t Connections = 512;
};

struct TServerOptions {
    std::string Host = "127.0.0.1";
    int Port = 8735;       // 0 picks a free port
    std::string Root;      // the data folder
    std::string Defaults;  // the installed default pages and feed; empty: found beside the program
    std::string PublicUrl; // ends in "/"; empty: http://HOST:PORT/ with the bound port
    std::uint64_t MaxUploadBytes = 8u << 20;
    unsigned UploadsPerMinute = 30;      // per client address
    std::uint64_t QuotaBytes = 1u << 30; // all stored pictures together
    // Where the front web server connects; its requests give the client's address in
    // X-Real-IP or X-Forwarded-For. ProxySocket is a Unix socket made for it (on this
    // machine); TrustedProxy the address of a front on another machine, never a loopback
    // address, which any local process could connect from. Empty: none. Requests that come
    // any other way count for the address they come from, whatever their headers say.
    std::string ProxySocket;
    std::string TrustedProxy;
    TClientLimits Limits;
};

struct TOptionsParse {
    enum TAction { Run, Help, Version, Error };
    TAction Action = Error;
    TServerOptions Options;
    std::string Message; // the reason for Error
};

// Parses the arguments after the program name. xdgDataHome and home are the values of
// XDG_DATA_HOME and HOME (null when unset), which give the default data folder.
TOptionsParse ParseServerOptions(std::span<const std::string_view> args, const char* xdgDataHome,
                                 const char* home);

// $XDG_DATA_HOME/Tonalyx/server, else $HOME/.local/share/Tonalyx/server; empty when neither
// is set (XDG_DATA_HOME counts only as an absolute path).
std::string DefaultDataFolder(const char* xdgDataHome, const char* home);

// The address the server's pages and logs give for itself when --public-url is not given.
std::string DefaultPublicUrl(std::string_view host, int port);

std::string ServerUsage();

} // namespace tonalyx
