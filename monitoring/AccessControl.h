#pragma once
// The status server's gates: where it listens (--status-listen), the host names it
// answers to (--status-host) and the token that allows actions (--status-token-file).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::monitoring {

inline constexpr std::string_view kDefaultStatusListen = "127.0.0.1:8642";
// A token shorter than this is too easy to guess; one from
// `head -c 24 /dev/urandom | base64` has 32 characters.
inline constexpr std::size_t kMinTokenCharacters = 16;
inline constexpr std::size_t kMaxTokenFileBytes = 4096;

struct ListenAddress {
  bool off = false;        // "off": no server at all
  std::string host;        // numeric IPv4 or IPv6 address, or a host name
  std::uint16_t port = 0;  // 0: any free port (tests)
};

// "ADDR:PORT", "[IPV6]:PORT" or "off". False with a one-line reason otherwise.
bool ParseListenAddress(std::string_view text, ListenAddress& address, std::string& error);

// Reads the token from `path` once: the file's content less surrounding white space.
// Refused (false, with the reason) when the file cannot be read, is not a regular
// file (a FIFO or a device is refused without waiting for a writer), may be read or
// written by anyone but its owner, is larger than kMaxTokenFileBytes, or the token is
// shorter than kMinTokenCharacters or holds anything but visible ASCII characters.
bool LoadAccessToken(const std::string& path, std::string& token, std::string& error);

// Compares without an early exit: the time taken depends on the length of `given`
// only, never on where it first differs from `expected` or on expected's length.
bool TokensMatch(std::string_view given, std::string_view expected);

// The token of an Authorization header value "Bearer TOKEN" (scheme in any case), or
// empty for any other value.
std::string_view BearerToken(std::string_view authorization);

// A host name as --status-host takes it: letters, digits, hyphens and dots, or a
// numeric address.
bool IsHostName(std::string_view name);

// A numeric address of this machine's loopback interface: 127.0.0.0/8, ::1, or an
// IPv4 one of those mapped into IPv6.
bool IsLoopbackAddress(std::string_view numeric);

// Which Host header a request may carry. A page from elsewhere whose name has been
// made to point at 127.0.0.1 (DNS rebinding) reaches a server on this machine under
// its own name; so a request that arrived at a loopback address is answered only for
// a loopback name (localhost, *.localhost, 127.x.x.x, [::1]), a numeric address or a
// name given with --status-host. On other addresses every name is answered unless
// names were given; then only those and numeric addresses are. A request without a
// Host header (HTTP/1.0) is answered.
class HostCheck {
public:
  explicit HostCheck(std::vector<std::string> names = {});
  bool Allows(std::string_view hostHeader, std::string_view localAddress) const;

private:
  std::vector<std::string> names_;  // lower case, without a final dot
};

}  // namespace velmora::monitoring
