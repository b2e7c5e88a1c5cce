#include "monitoring/RequestHead.h"

#include <charconv>
#include <optional>

namespace velmora::monitoring {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadEnd = "\r\n\r\n";

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsMonitoringRequest(std::string_view requestLine) {
  if (!requestLine.starts_with("GET ")) return false;
  std::string_view target = requestLine.substr(4);
  target = target.substr(0, target.find(' '));
  target = target.substr(0, target.find('?'));
  return target == "/metrics" || target == "/status";
}

}  // namespace

RequestHead ExamineRequest(std::string_view received, std::size_t maxRequestBytes) {
  RequestHead result;
  const std::size_t headEnd = received.find(kHeadEnd);
  if (headEnd == std::string_view::npos) {
    if (received.size() >= maxRequestBytes) result.state = RequestState::TooLarge;
    return result;
  }
  const std::size_t headBytes = headEnd + kHeadEnd.size();
  if (headBytes > maxRequestBytes) {
    result.state = RequestState::TooLarge;
    return result;
  }
  const std::string_view head = received.substr(0, headEnd);
  const std::size_t firstLineEnd = head.find(kLineEnd);
  result.monitoring = IsMonitoringRequest(head.substr(0, firstLineEnd));

  std::optional<std::size_t> contentLength;
  std::size_t position = firstLineEnd == std::string_view::npos ? head.size() : firstLineEnd + kLineEnd.size();
  while (position < head.size()) {
    const std::size_t lineEnd = std::min(head.find(kLineEnd, position), head.size());
    const std::string_view line = head.substr(position, lineEnd - position);
    position = lineEnd + kLineEnd.size();
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (SameIgnoringCase(name, "transfer-encoding")) {
      result.state = RequestState::LengthRequired;
      return result;
    }
    if (!SameIgnoringCase(name, "content-length")) continue;
    std::size_t length = 0;
    const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (value.empty() || status == std::errc::result_out_of_range) {
      result.state = value.empty() ? RequestState::BadRequest : RequestState::TooLarge;
      return result;
    }
    if (status != std::errc() || end != value.data() + value.size() || (contentLength && *contentLength != length)) {
      result.state = RequestState::BadRequest;
      return result;
    }
    contentLength = length;
  }
  const std::size_t bodyBytes = contentLength.value_or(0);
  if (bodyBytes > maxRequestBytes - headBytes) {
    result.state = RequestState::TooLarge;
    return result;
  }
  if (received.size() - headBytes < bodyBytes) return result;
  result.state = RequestState::Complete;
  result.bytes = headBytes + bodyBytes;
  return result;
}

}  // namespace velmora::monitoring
