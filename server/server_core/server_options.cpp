#include "server_options.h"

#include "client_address.h"

#include <charconv>
#include <limits>
#include <optional>

namespace tonalyx {

namespace {

std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t max) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value > max)
        return std::nullopt;
    return value;
}

// A byte count, optionally with K, M or G for 1024, 1024² or 1024³.
std::optional<std::uint64_t> ParseBytes(std::string_view text) {
    unsigned shift = 0;
    if (!text.empty()) {
        switch (text.back()) {
        case 'K':
            shift = 10;
            break;
        case 'M':
            shift = 20;
            break;
        case 'G':
            shift = 30;
            break;
        default:
            break;
        }
    }
    if (shift != 0)
        text.remove_suffix(1);
    const auto value = ParseCount(text, std::numeric_limits<std::uint64_t>::max() >> shift);
    if (!value)
        return std::nullopt;
    return *value << shift;
}

// "HOST:PORT", with an IPv6 host in brackets ("[::1]:8735").
bool ParseListen(std::string_view text, std::string& host, int& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    std::string_view address = text.substr(0, colon);
    if (address.front() == '[') {
        if (address.size() < 3 || address.back() != ']')
            return false;
        address = address.substr(1, address.size() - 2);
    } else if (address.find(':') != std::string_view::npos) {
        return false;
    }
    const auto number = ParseCount(text.substr(colon + 1), 65535);
    if (!number)
        return false;
    host = address;
    port = static_cast<int>(*number);
    return true;
}

TOptionsParse Failure(std::string message) {
    TOptionsParse parse;
    parse.Action = TOptionsParse::Error;
    parse.Message = std::move(message);
    return parse;
}

} // namespace

std::string DefaultDataFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/Tonalyx/server";
    if (home && home[0] != '\0')
        return std::string(home) + "/.local/share/Tonalyx/server";
    return {};
}

std::string DefaultPublicUrl(std::string_view host, int port) {
    const bool ipv6 = host.find(':') != std::string_view::npos;
    std::string url = "http://";
    url += ipv6 ? "[" + std::string(host) + "]" : std::string(host);
    url += ":" + std::to_string(port) + "/";
    return url;
}

TOptionsParse ParseServerOptions(std::span<const std::string_view> args, const char* xdgDataHome,
                                 const char* home) {
    TOptionsParse parse;
    parse.Action = TOptionsParse::Run;
    TServerOptions& options = parse.Options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        if (name == "--help" || name == "-h") {
            parse.Action = TOptionsParse::Help;
            return parse;
        }
        if (name == "--version") {
            parse.Action = TOptionsParse::Version;
            return parse;
        }
        std::optional<std::string_view> value;
        if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const bool known = name == "--listen" || name == "--root" || name == "--public-url" ||
                           name == "--max-upload-bytes" || name == "--uploads-per-minute" ||
                           name == "--quota-bytes" || name == "--trusted-proxy" ||
                           name == "--proxy-socket" || name == "--connections-per-client";
        if (!known)
            return Failure("unknown option: " + std::string(args[i]));
        if (!value) {
            if (i + 1 == args.size())
                return Failure(std::string(name) + " needs a value");
            value = args[++i];
        }
        if (name == "--listen") {
            if (!ParseListen(*value, options.Host, options.Port))
                return Failure("--listen wants ADDRESS:PORT, not " + std::string(*value));
        } else if (name == "--root") {
            if (value->empty())
                return Failure("--root wants a folder");
            options.Root = *value;
        } else if (name == "--public-url") {
            if (!value->starts_with("http://") && !value->starts_with("https://"))
                return Failure("--public-url wants an http:// or https:// address");
            options.PublicUrl = *value;
            if (!options.PublicUrl.ends_with('/'))
                options.PublicUrl += '/';
        } else if (name == "--trusted-proxy") {
            const auto address = NormalAddress(*value);
            if (!address)
                return Failure("--trusted-proxy wants an IP address, not " + std::string(*value));
            if (IsLoopback(*address))
                return Failure("--trusted-proxy " + std::string(*value) +
                               ": any local process can connect from a loopback address; a "
                               "front on this machine connects through --proxy-socket PATH");
            options.TrustedProxy = *address;
        } else if (name == "--proxy-socket") {
            if (!value->starts_with('/'))
                return Failure("--proxy-socket wants an absolute path, not " + std::string(*value));
            options.ProxySocket = *value;
        } else if (name == "--connections-per-client") {
            const auto count = ParseCount(*value, 1u << 20);
            if (!count || *count == 0)
                return Failure("--connections-per-client wants a number above 0, not " +
                               std::string(*value));
            options.Limits.ConnectionsPerClient = static_cast<std::size_t>(*count);
        } else if (name == "--uploads-per-minute") {
            const auto count = ParseCount(*value, std::numeric_limits<unsigned>::max());
            if (!count)
                return Failure("--uploads-per-minute wants a number, not " + std::string(*value));
            options.UploadsPerMinute = static_cast<unsigned>(*count);
        } else {
            const auto bytes = ParseBytes(*value);
            if (!bytes)
                return Failure(std::string(name) + " wants a byte count (with K, M or G), not " +
                               std::string(*value));
            (name == "--quota-bytes" ? options.QuotaBytes : options.MaxUploadBytes) = *bytes;
        }
    }
    if (options.Root.empty()) {
        options.Root = DefaultDataFolder(xdgDataHome, home);
        if (options.Root.empty())
            return Failure("no data folder: neither XDG_DATA_HOME nor HOME is set; give --root");
    }
    return parse;
}

std::string ServerUsage() {
    return "Usage: tonalyx-server [OPTION]...\n"
           "Serves the pictures, feed and pages the Tonalyx program reaches over HTTP.\n"
           "\n"
           "  --listen ADDRESS:PORT     where to listen (default 127.0.0.1:8735; port 0 picks a\n"
           "                            free port)\n"
           "  --root DIR                the data folder (default $XDG_DATA_HOME/Tonalyx/server,\n"
           "                            else ~/.local/share/Tonalyx/server)\n"
           "  --public-url URL          the address the pages and the log give for the server\n"
           "                            (default http://ADDRESS:PORT/)\n"
           "  --max-upload-bytes N      largest picture accepted (default 8M)\n"
           "  --uploads-per-minute N    uploads one client address may send a minute\n"
           "                            (default 30)\n"
           "  --quota-bytes N           room for all stored pictures (default 1G)\n"
           "  --connections-per-client N\n"
           "                            connections one client address may hold open at once\n"
           "                            (default 16)\n"
           "  --proxy-socket PATH       also listen on a Unix socket for the front web server\n"
           "                            on this machine: its requests count for the client\n"
           "                            named in X-Real-IP (or last in X-Forwarded-For)\n"
           "  --trusted-proxy ADDRESS   the same for a front on another machine, by its\n"
           "                            address (no loopback address)\n"
           "  --help                    show this help\n"
           "  --version                 show the version\n"
           "\n"
           "Byte counts take K, M or G for KiB, MiB or GiB. Stop it with Ctrl+C or SIGTERM.\n";
}

} // namespace tonalyx
