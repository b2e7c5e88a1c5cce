#pragma once
// The usage statistics as the exhibit records them: the frame loop tells of each
// interaction, reset and firing without ever waiting (a wait-free ring and atomic
// counters), and a thread of the store's own writes them to the usage database in
// batches, one transaction at most commitInterval apart, so a power cut loses at
// most that much. A damaged or locked database is reported once, moved aside and
// replaced by a new one; the exhibit never notices.

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
  // Told each trouble with the database once, from the store's thread.
  std::function<void(const std::string&)> report;
};

class UsageStore final : public UsageSummarySource {
public:
  // Events waiting at most between two intakes; beyond, they are counted as dropped.
  static constexpr std::size_t kRingCapacity = 4096;

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
  // Opens the file, records the run; on a bad file moves it aside and starts a new one.
  void OpenDatabase(std::int64_t nowMs);
  void ReplaceDatabase(UsageDatabase::Status status, const std::string& error, std::int64_t nowMs);
  void RefreshIdleDays(std::int64_t nowMs);
  void Report(const std::string& text);

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
  std::int64_t runId_ = 0;
  UsageBatch batch_;
  std::int64_t lastCommitMs_ = 0;
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
