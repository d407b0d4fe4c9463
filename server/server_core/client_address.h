// The client a request counts for: the address it connects from, or, for requests that come
// from the trusted front server, the address that server read from its own connection.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tonalyx {

// An IPv4 or IPv6 address in its usual text form ("::ffff:1.2.3.4" becomes "1.2.3.4"), or
// nothing when text is not one.
std::optional<std::string> NormalAddress(std::string_view text);

// peer is the address the request came from, trustedProxy the front server's (normal form,
// empty for none). Only the front's requests are believed: X-Real-IP, which it sets, else the
// last X-Forwarded-For entry, which it appended (the first ones are the client's word).
// A header that holds no address leaves peer.
std::string ClientAddress(const std::string& peer, const std::string& trustedProxy,
                          std::string_view realIp, std::string_view forwardedFor);

} // namespace tonalyx
