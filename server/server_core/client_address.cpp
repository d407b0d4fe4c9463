#include "client_address.h"

#include <arpa/inet.h>

namespace tonalyx {

namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::optional<std::string> NormalAddress(std::string_view text) {
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string input(text);
    unsigned char bytes[16];
    char out[INET6_ADDRSTRLEN];
    if (::inet_pton(AF_INET, input.c_str(), bytes) == 1)
        return std::string(::inet_ntop(AF_INET, bytes, out, sizeof out));
    if (::inet_pton(AF_INET6, input.c_str(), bytes) != 1)
        return std::nullopt;
    // An IPv4 client seen through an IPv6 socket is the same client.
    static constexpr unsigned char Mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::string_view(reinterpret_cast<const char*>(bytes), 12) ==
        std::string_view(reinterpret_cast<const char*>(Mapped), 12))
        return std::string(::inet_ntop(AF_INET, bytes + 12, out, sizeof out));
    return std::string(::inet_ntop(AF_INET6, bytes, out, sizeof out));
}

std::string ClientAddress(const std::string& peer, bool fromFront, std::string_view realIp,
                          std::string_view forwardedFor) {
    if (!fromFront)
        return peer;
    if (auto real = NormalAddress(Trimmed(realIp)))
        return *real;
    const std::size_t comma = forwardedFor.rfind(',');
    const std::string_view last =
        comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1);
    if (auto forwarded = NormalAddress(Trimmed(last)))
        return *forwarded;
    return peer;
}

bool IsLoopback(std::string_view address) {
    return address == "::1" || address.starts_with("127.");
}

} // namespace tonalyx
