// The client a request counts for: the address it connects from, or, for requests that come
// from the front server, the address that server read from its own connection.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tonalyx {

// An IPv4 or IPv6 address in its usual text form ("::ffff:1.2.3.4" becomes "1.2.3.4"), or
// nothing when text is not one.
std::optional<std::string> NormalAddress(std::string_view text);

// peer is the address the request came from; fromFront tells whether it came from the front
// server, where only the front reaches the server. Only the front's requests are believed:
// X-Real-IP, which it sets, else the last X-Forwarded-For entry, which it appended (the first
// ones are the client's word). A header that holds no address leaves peer.
std::string ClientAddress(const std::string& peer, bool fromFront, std::string_view realIp,
                          std::string_view forwardedFor);

// Whether address (normal form) is of this machine's loopback, which any local process can
// connect from.
bool IsLoopback(std::string_view address);

} // namespace tonalyx
