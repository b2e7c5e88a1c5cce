// Writes a simulated week of heavy use into a usage database, the way the usage store
// writes it (one transaction a minute), and reports the file's size and how long the
// curator's report over the week takes. The week: the exhibit runs around the clock,
// restarted every morning at 08:00; from 09:00 to 18:00 a visitor presses a key or
// turns a panel knob every second without pause; a periodic reset every 30 minutes
// and a visitor's reset every 20 minutes; every soma fires every minute.
//
// Usage: velmora_usage_week FILE [DAYS [MINUTES]]
//   FILE must not exist; DAYS 7 unless given; MINUTES (1 unless given) per transaction:
//   a year written a minute at a time waits for half a million disk syncs, so longer
//   simulations gather several minutes in one transaction (the rows are the same).
// Or:    velmora_usage_week --bring-forward FILE
//   opens a file of an older layout as the exhibit does at start, and reports how long
//   bringing it to the current layout took.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageDatabase.h"
#include "monitoring/UsageReport.h"

using namespace velmora::monitoring;

namespace {

constexpr int kOpeningHour = 9;
constexpr int kClosingHour = 18;
constexpr int kRestartHour = 8;
constexpr std::int64_t kInteractionEveryMs = 1000;
constexpr std::int64_t kPeriodicResetMs = 30 * kMsPerMinute;
constexpr std::int64_t kVisitorResetMs = 20 * kMsPerMinute;
constexpr double kPanelShare = 0.2;
constexpr int kFiringsPerSomaMinute = 40;

const char* const kKeyControls[] = {"weight1+", "weight2+", "weight3+", "weight4-", "weight5-", "weight6-",
                                    "faster", "slower", "stimulus1", "stimulus2"};
const char* const kPanelControls[] = {"weight1", "weight2", "weight3", "weight4", "weight5", "weight6", "speed"};

int Fail(const std::string& message) {
  std::fprintf(stderr, "velmora_usage_week: %s\n", message.c_str());
  return 1;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int BringForward(const std::string& path) {
  UsageDatabase database;
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  if (database.Open(path, error) != UsageDatabase::Status::Ok) return Fail(error);
  std::printf("%s brought to layout %d in %.1f s\n", path.c_str(), database.Version(), SecondsSince(started));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--bring-forward") == 0) return BringForward(argv[2]);
  if (argc < 2 || argc > 4) return Fail("usage: velmora_usage_week FILE [DAYS [MINUTES]]");
  const std::string path = argv[1];
  const int days = argc >= 3 ? std::stoi(argv[2]) : 7;
  const int minutesPerTransaction = argc >= 4 ? std::stoi(argv[3]) : 1;
  if (days < 1 || minutesPerTransaction < 1) return Fail("DAYS and MINUTES must be at least 1");
  if (std::filesystem::exists(path)) return Fail(path + " exists already");

  UsageDatabase database;
  std::string error;
  if (database.Open(path, error) != UsageDatabase::Status::Ok) return Fail(error);
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> unit(0.0, 1.0);

  const std::int64_t firstDay = ParseLocalDate("2026-11-30").value();  // a Monday
  std::int64_t day = firstDay;
  const auto started = std::chrono::steady_clock::now();
  std::uint64_t transactions = 0, interactions = 0, resets = 0;
  for (int d = 0; d < days; ++d, day = NextLocalDayStart(day)) {
    const std::int64_t runStart = day + kRestartHour * kMsPerHour;
    const std::int64_t runEnd = NextLocalDayStart(day) + kRestartHour * kMsPerHour - kMsPerMinute;
    const std::int64_t opens = day + kOpeningHour * kMsPerHour;
    const std::int64_t closes = day + kClosingHour * kMsPerHour;
    std::int64_t run = 0;
    if (database.BeginRun(runStart, "week", run, error) != UsageDatabase::Status::Ok) return Fail(error);
    UsageBatch batch;
    for (std::int64_t minute = runStart; minute < runEnd; minute += kMsPerMinute) {
      for (std::int64_t t = std::max(minute, opens); t < std::min(minute + kMsPerMinute, closes);
           t += kInteractionEveryMs) {
        if (unit(random) < kPanelShare) {
          batch.interactions.push_back({t, InteractionSource::Panel, kPanelControls[random() % 7]});
        } else {
          batch.interactions.push_back({t, InteractionSource::Keyboard, kKeyControls[random() % 10]});
        }
      }
      if ((minute - runStart) % kPeriodicResetMs == 0) batch.resets.push_back({minute, ResetCause::Periodic});
      if (minute >= opens && minute < closes && (minute - opens) % kVisitorResetMs == 0) {
        batch.resets.push_back({minute + 1, ResetCause::Key});
      }
      for (int soma = 1; soma <= 3; ++soma) batch.firings[{minute / kMsPerMinute, soma}] = kFiringsPerSomaMinute;
      const bool last = minute + kMsPerMinute >= runEnd;
      if (!last && (minute - runStart) / kMsPerMinute % minutesPerTransaction != minutesPerTransaction - 1) continue;
      interactions += batch.interactions.size();
      resets += batch.resets.size();
      if (database.Write(run, batch, minute + kMsPerMinute, error) != UsageDatabase::Status::Ok) return Fail(error);
      batch.Clear();
      ++transactions;
    }
    if (database.EndRun(run, runEnd, error) != UsageDatabase::Status::Ok) return Fail(error);
  }
  const double writeSeconds = SecondsSince(started);
  database.Close();  // the last connection's close folds the write-ahead log into the file

  UsageDatabase reader;
  if (reader.OpenForReading(path, error) != UsageDatabase::Status::Ok) return Fail(error);
  const auto reportStart = std::chrono::steady_clock::now();
  const UsageReport report = BuildUsageReport(firstDay, day, day, reader.ReadRange(firstDay, day, day));
  const double reportSeconds = SecondsSince(reportStart);
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);

  const auto bytes = std::filesystem::file_size(path);
  std::printf("%d days: %llu interactions, %llu resets, %d runs, %llu transactions written in %.1f s\n", days,
              static_cast<unsigned long long>(interactions), static_cast<unsigned long long>(resets), days,
              static_cast<unsigned long long>(transactions), writeSeconds);
  std::printf("file %s: %.1f MB (%llu bytes, %.1f bytes per interaction)\n", path.c_str(),
              static_cast<double>(bytes) / 1e6, static_cast<unsigned long long>(bytes),
              static_cast<double>(bytes) / static_cast<double>(interactions));
  std::printf("report over the %d days: %llu interactions, %llu visits, %.2f s; peak memory of this program %.1f MB\n",
              days, static_cast<unsigned long long>(report.total.interactions),
              static_cast<unsigned long long>(report.total.visits), reportSeconds,
              static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}
