#pragma once
// The usage statistics as the exhibit records them: the frame loop tells of each
// interaction, reset and firing without ever waiting (a wait-free ring and atomic
// counters), and a thread of the store's own writes them to the usage database in
// batches, one transaction at most commitInterval apart, so a power cut loses at
// most that much. While another program holds the file (a curator's query, a backup)
// the events wait in memory, up to an hour's worth, and every commit tries again;
// only a file SQLite finds damaged is moved aside and replaced by a new one, and
// another program's database is left alone. The same thread prunes interactions and
// firings older than the days kept, a few thousand rows at a time. The exhibit never
// notices any of it.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "monitoring/UsageDatabase.h"
#include "monitoring/UsageEvents.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

// Milliseconds since 1970 (UTC), as the store stamps events.
std::int64_t UnixMsNow();

// The default file: $XDG_STATE_HOME/velmora/usage.sqlite3, or ~/.local/state/velmora/
// when XDG_STATE_HOME is not set; empty when neither it nor HOME is set.
std::string DefaultUsageDatabasePath();

struct UsageStoreConfig {
  std::string path;                                  // empty: count in memory only, write nothing
  std::string version;                               // the program's, recorded with each run
  std::chrono::milliseconds commitInterval{60'000};  // one transaction at most this far apart
  std::chrono::milliseconds intakeInterval{500};     // the thread empties the ring this often
  std::string exhibitName;                           // recorded with each run; may be empty
  std::int64_t keepDays = kDefaultUsageKeepDays;     // interactions and firings older than this are pruned
  std::int64_t (*clock)() = UnixMsNow;               // ms since 1970 (UTC); tests move it on
  // Told each trouble with the database once, from the store's thread.
  std::function<void(const std::string&)> report;
};

class UsageStore final : public UsageSummarySource {
public:
  // Events waiting at most between two intakes; beyond, they are counted as dropped.
  static constexpr std::size_t kRingCapacity = 4096;
  // While the file cannot be written, interactions and resets wait in memory for at
  // most this long, and at most kMaxWaitingEvents of them (an hour of ten a second, ten
  // times the busiest visitor's pace; about 2 MB); older ones are given up and counted
  // as dropped.
  static constexpr std::int64_t kMaxWaitingMs = 3'600'000;
  static constexpr std::size_t kMaxWaitingEvents = 36'000;
  // Rows pruned in one transaction: a few milliseconds of the file's lock.
  static constexpr std::size_t kPruneBatchRows = 2000;

  // Opens (or creates) the database and records the run's start, on the store's
  // thread; the constructor itself does not wait for the disk.
  explicit UsageStore(UsageStoreConfig config);
  // RunEnded() if it was not called.
  ~UsageStore() override;
  UsageStore(const UsageStore&) = delete;
  UsageStore& operator=(const UsageStore&) = delete;

  // Frame loop (one thread only): never wait, never allocate. A control name longer
  // than kMaxControlNameBytes is cut.
  void Interaction(InteractionSource source, std::string_view control);
  void Reset(ResetCause cause);
  void Firing(int soma);  // soma 1..3

  // Writes what is waiting, records the run's end and stops the thread. Called once,
  // at shutdown.
  void RunEnded();
  // Writes what is waiting now and returns when it is committed (tests, shutdown).
  void Flush();

  UsageSummary Summary() const override;

private:
  struct Event {
    std::int64_t timeMs = 0;
    bool isReset = false;
    std::uint8_t kind = 0;  // InteractionSource or ResetCause
    std::uint8_t controlLength = 0;
    std::array<char, kMaxControlNameBytes> control{};
  };

  void Push(const Event& event);
  void ThreadMain();
  void Intake(std::int64_t nowMs);
  void Commit(std::int64_t nowMs);
  // Opens the file and records the run; a damaged file is moved aside and a new one
  // started. True when the file takes events.
  // With `moveAsideFor` (what is wrong with it) the file is moved aside first.
  bool Connect(std::int64_t nowMs, std::string moveAsideFor = {});
  // Gives up the events that have waited too long or beyond the count.
  void BoundWaiting(std::int64_t nowMs);
  // One batch of pruning when it is due.
  void Prune(std::int64_t nowMs);
  void LoadSummary(std::int64_t nowMs);
  void RefreshIdleDays(std::int64_t nowMs);
  void SetRecording(bool recording);
  void Report(const std::string& text);
  // The file takes events again: says so and clears the problem shown.
  void Recovered(const std::string& text);

  const UsageStoreConfig config_;
  const std::int64_t startedMs_;

  // The ring: written by the frame loop only, read by the store's thread only.
  std::array<Event, kRingCapacity> ring_{};
  std::atomic<std::uint64_t> ringWritten_{0};
  std::atomic<std::uint64_t> ringRead_{0};
  std::atomic<std::uint64_t> dropped_{0};
  std::array<std::atomic<std::uint64_t>, kSomaCount> firings_{};

  // The store's thread.
  UsageDatabase database_;
  bool connected_ = false;     // database_ is open and holds this run
  bool givenUp_ = false;       // the file cannot be used in this run
  bool waiting_ = false;       // the file was busy: the batch waits for the next try
  bool summaryLoaded_ = false; // today's counts of earlier runs are in summary_
  std::int64_t runId_ = 0;
  UsageBatch batch_;
  std::int64_t lastCommitMs_ = 0;
  std::int64_t nextPruneMs_ = 0;
  std::thread thread_;
  std::mutex wakeMutex_;
  std::condition_variable wake_;
  bool stop_ = false;               // under wakeMutex_
  std::uint64_t flushRequests_ = 0; // under wakeMutex_
  std::uint64_t flushesDone_ = 0;   // under wakeMutex_
  std::condition_variable flushed_;

  // Shared with the status server's threads.
  mutable std::mutex summaryMutex_;
  UsageSummary summary_;
  std::int64_t summaryDayStartMs_ = 0;  // local midnight of summary_.todayByHour's day
};

}  // namespace velmora::monitoring
