#pragma once
// The status server's two gates: where it listens (--status-listen) and the token
// that allows actions (--status-token-file).

#include <cstdint>
#include <string>
#include <string_view>

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
// Refused (false, with the reason) when the file cannot be read, may be read or
// written by anyone but its owner, is larger than kMaxTokenFileBytes, or the token is
// shorter than kMinTokenCharacters or holds anything but visible ASCII characters.
bool LoadAccessToken(const std::string& path, std::string& token, std::string& error);

// Compares without an early exit: the time taken depends on the length of `given`
// only, never on where it first differs from `expected` or on expected's length.
bool TokensMatch(std::string_view given, std::string_view expected);

// The token of an Authorization header value "Bearer TOKEN" (scheme in any case), or
// empty for any other value.
std::string_view BearerToken(std::string_view authorization);

}  // namespace velmora::monitoring
