#pragma once
// Days and hours on the museum's clock (the local time zone, summer time included),
// for times in ms since 1970 (UTC).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::monitoring {

inline constexpr std::int64_t kMsPerSecond = 1000;
inline constexpr std::int64_t kMsPerMinute = 60 * kMsPerSecond;
inline constexpr std::int64_t kMsPerHour = 60 * kMsPerMinute;

// Local midnight at the start of the day that holds `timeMs`.
std::int64_t LocalDayStart(std::int64_t timeMs);
// Local midnight at the start of the next day (23, 24 or 25 hours later).
std::int64_t NextLocalDayStart(std::int64_t dayStartMs);
// 0 .. 23.
int LocalHour(std::int64_t timeMs);
// 0 (Monday) .. 6 (Sunday).
int LocalWeekday(std::int64_t timeMs);
// "YYYY-MM-DD".
std::string LocalDate(std::int64_t timeMs);
// Local midnight of a "YYYY-MM-DD" date; nothing for anything else.
std::optional<std::int64_t> ParseLocalDate(std::string_view text);

}  // namespace velmora::monitoring
