#include "monitoring/LocalTime.h"

#include <charconv>
#include <ctime>

namespace velmora::monitoring {
namespace {

std::tm LocalParts(std::int64_t timeMs) {
  // Floor division, so times before 1970 land in the right second too.
  const std::int64_t seconds = timeMs >= 0 ? timeMs / kMsPerSecond : -((-timeMs + kMsPerSecond - 1) / kMsPerSecond);
  const auto t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  localtime_r(&t, &parts);
  return parts;
}

std::int64_t MidnightOf(int year, int month, int day) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_isdst = -1;  // let the zone decide
  return static_cast<std::int64_t>(std::mktime(&parts)) * kMsPerSecond;
}

}  // namespace

std::int64_t LocalDayStart(std::int64_t timeMs) {
  const std::tm parts = LocalParts(timeMs);
  return MidnightOf(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

std::int64_t NextLocalDayStart(std::int64_t dayStartMs) {
  // Noon of the same day is safely inside it whatever the clock change.
  const std::tm parts = LocalParts(dayStartMs + 12 * kMsPerHour);
  return MidnightOf(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday + 1);
}

int LocalHour(std::int64_t timeMs) { return LocalParts(timeMs).tm_hour; }

int LocalWeekday(std::int64_t timeMs) { return (LocalParts(timeMs).tm_wday + 6) % 7; }

std::string LocalDate(std::int64_t timeMs) {
  const std::tm parts = LocalParts(timeMs);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
  return text;
}

std::optional<std::int64_t> ParseLocalDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int fields[3] = {};
  const std::string_view pieces[3] = {text.substr(0, 4), text.substr(5, 2), text.substr(8, 2)};
  for (int i = 0; i < 3; ++i) {
    const char* end = pieces[i].data() + pieces[i].size();
    const auto [stop, status] = std::from_chars(pieces[i].data(), end, fields[i]);
    if (status != std::errc() || stop != end) return std::nullopt;
  }
  const int year = fields[0], month = fields[1], day = fields[2];
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  const std::int64_t midnight = MidnightOf(year, month, day);
  // mktime moves 31 April on to 1 May: such a date does not exist.
  if (LocalDate(midnight) != text) return std::nullopt;
  return midnight;
}

}  // namespace velmora::monitoring
