#pragma once

#include <string>
#include <string_view>

// The dynamic-DNS update request of the dyndns2 protocol.
namespace net {

// Asked over HTTPS only: the request carries the account's password.
inline constexpr const char* DynDnsServer = "members.dyndns.org";

// The query value with every byte but the unreserved characters of RFC 3986 percent-encoded, so
// that no host name can end the value or add a parameter ("&", "#", "?", blanks, controls).
std::string PercentEncode(std::string_view value);

// Path and query of the update: the service takes the address from the request itself.
std::string DynDnsUpdateTarget(std::string_view hostname);

} // namespace net
