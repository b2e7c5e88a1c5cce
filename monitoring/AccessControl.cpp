#include "monitoring/AccessControl.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace velmora::monitoring {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A name in the form names are compared in: lower case, without the final dot.
std::string Canonical(std::string_view name) {
  if (name.ends_with('.')) name.remove_suffix(1);
  std::string result(name);
  for (char& c : result) c = Lower(c);
  return result;
}

bool IsNumericAddress(const std::string& text) {
  in6_addr address{};
  return ::inet_pton(AF_INET, text.c_str(), &address) == 1 || ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

// The host of a Host header value ("name", "name:port", "[v6]", "[v6]:port"), canonical.
std::string HostOf(std::string_view header) {
  header = Trimmed(header);
  if (header.starts_with('[')) {
    const std::size_t close = header.find(']');
    return Canonical(header.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  }
  return Canonical(header.substr(0, header.rfind(':')));
}

}  // namespace

bool ParseListenAddress(std::string_view text, ListenAddress& address, std::string& error) {
  address = {};
  if (text == "off") {
    address.off = true;
    return true;
  }
  const std::string quoted = "'" + std::string(text) + "'";
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    error = "--status-listen needs ADDR:PORT or off, got " + quoted;
    return false;
  }
  std::string_view host = text.substr(0, colon);
  const std::string_view portText = text.substr(colon + 1);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') {
      error = "--status-listen: an IPv6 address goes in brackets, got " + quoted;
      return false;
    }
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    error = "--status-listen: an IPv6 address goes in brackets, as [::1]:8642, got " + quoted;
    return false;
  }
  unsigned port = 0;
  const char* end = portText.data() + portText.size();
  const auto [stop, status] = std::from_chars(portText.data(), end, port);
  if (portText.empty() || status != std::errc() || stop != end || port > 65535) {
    error = "--status-listen needs a port from 0 to 65535, got " + quoted;
    return false;
  }
  address.host = std::string(host);
  address.port = static_cast<std::uint16_t>(port);
  return true;
}

bool LoadAccessToken(const std::string& path, std::string& token, std::string& error) {
  token.clear();
  // Without O_NONBLOCK opening a FIFO would wait for a writer, before the first frame.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot read the token file " + path + " (" + std::strerror(errno) + ")";
    return false;
  }
  // The checks look at the file that was opened, not at whatever the name points to later.
  struct stat info {};
  std::string content;
  bool ok = ::fstat(fd, &info) == 0;
  if (!ok) {
    error = "cannot read the token file " + path + " (" + std::strerror(errno) + ")";
  } else if (!S_ISREG(info.st_mode)) {
    error = "the token file " + path + " is not a regular file";
    ok = false;
  } else if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    error = "the token file " + path + " may be read or changed by others: chmod 600 it";
    ok = false;
  } else if (info.st_size > static_cast<off_t>(kMaxTokenFileBytes)) {
    error = "the token file " + path + " is larger than a token";
    ok = false;
  } else {
    content.resize(kMaxTokenFileBytes);
    const ssize_t got = ::read(fd, content.data(), content.size());
    ok = got >= 0;
    content.resize(ok ? static_cast<std::size_t>(got) : 0);
    if (!ok) error = "cannot read the token file " + path + " (" + std::strerror(errno) + ")";
  }
  ::close(fd);
  if (!ok) return false;
  const std::string_view candidate = Trimmed(content);
  if (candidate.size() < kMinTokenCharacters) {
    error = "the token in " + path + " is shorter than " + std::to_string(kMinTokenCharacters) + " characters";
    return false;
  }
  for (const char c : candidate) {
    if (c < 0x21 || c > 0x7E) {
      error = "the token in " + path + " holds a character other than visible ASCII";
      return false;
    }
  }
  token = std::string(candidate);
  return true;
}

bool TokensMatch(std::string_view given, std::string_view expected) {
  if (expected.empty()) return false;
  // Every byte of `given` is compared, against expected's bytes in turn; a length
  // difference alone already makes the result non-zero.
  std::size_t difference = given.size() ^ expected.size();
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(expected[i % expected.size()]);
  }
  return difference == 0;
}

std::string_view BearerToken(std::string_view authorization) {
  constexpr std::string_view kScheme = "bearer ";
  if (authorization.size() <= kScheme.size()) return {};
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    const char c = authorization[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != kScheme[i]) return {};
  }
  return Trimmed(authorization.substr(kScheme.size()));
}

bool IsHostName(std::string_view name) {
  if (name.empty() || name.size() > 253) return false;
  if (IsNumericAddress(std::string(name))) return true;
  for (const char c : name) {
    const char lower = Lower(c);
    if (!((lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
  }
  return name.front() != '.' && name.front() != '-';
}

bool IsLoopbackAddress(std::string_view numeric) {
  const std::string text = Canonical(numeric);
  in_addr v4{};
  if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (::inet_pton(AF_INET6, text.c_str(), &v6) != 1) return false;
  if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
  return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

HostCheck::HostCheck(std::vector<std::string> names) {
  for (const std::string& name : names) names_.push_back(Canonical(name));
}

bool HostCheck::Allows(std::string_view hostHeader, std::string_view localAddress) const {
  if (Trimmed(hostHeader).empty()) return true;
  const std::string host = HostOf(hostHeader);
  if (host == "localhost" || host.ends_with(".localhost") || IsNumericAddress(host)) return true;
  for (const std::string& name : names_) {
    if (host == name) return true;
  }
  return !IsLoopbackAddress(localAddress) && names_.empty();
}

}  // namespace velmora::monitoring
