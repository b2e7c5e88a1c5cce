#pragma once
// What the exhibit's command line sets of the usage statistics, with the ranges it
// takes: how long the detail is kept and the exhibit's name. Header only, so the
// command line checks them without the database.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora::monitoring {

// How long interactions and firings stay in the file by default, days: two years, so
// a year can be compared with the one before; the counts, visits, resets and runs the
// reports read stay.
inline constexpr std::int64_t kDefaultUsageKeepDays = 730;
// The range --usage-keep-days takes, days (up to a century).
inline constexpr std::int64_t kMinUsageKeepDays = 1;
inline constexpr std::int64_t kMaxUsageKeepDays = 36'500;

// The longest exhibit name kept, bytes.
inline constexpr std::size_t kMaxExhibitNameBytes = 64;

// A name --exhibit-name takes: 1 to kMaxExhibitNameBytes bytes, no control characters,
// not only blanks (it heads the exhibit's part of reports).
inline bool IsExhibitName(std::string_view name) {
  if (name.empty() || name.size() > kMaxExhibitNameBytes || name.find_first_not_of(' ') == std::string_view::npos) {
    return false;
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace velmora::monitoring
