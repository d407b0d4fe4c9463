// The command line of tonalyx-server.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tonalyx {

struct TServerOptions {
    std::string Host = "127.0.0.1";
    int Port = 8735;       // 0 picks a free port
    std::string Root;      // the data folder
    std::string Defaults;  // the installed default pages and feed; empty: found beside the program
    std::string PublicUrl; // ends in "/"; empty: http://HOST:PORT/ with the bound port
    std::uint64_t MaxUploadBytes = 8u << 20;
    unsigned UploadsPerMinute = 30;      // per client address
    std::uint64_t QuotaBytes = 1u << 30; // all stored pictures together
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
