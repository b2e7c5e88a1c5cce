#include "monitoring/UsageStore.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>

#include "monitoring/LocalTime.h"

namespace velmora::monitoring {
namespace {

// The store's thread yields the processor to the frame loop.
constexpr int kStoreThreadNice = 10;
// A day counts as an opening day when the exhibit ran this long on it.
constexpr std::int64_t kOpeningDayMinimumMs = kMsPerHour;
// Pruning looks for old rows this often once none are left.
constexpr std::int64_t kPruneCheckMs = kMsPerHour;
constexpr std::int64_t kMsPerDay = 24 * kMsPerHour;

// What the store says when the file is busy.
constexpr const char* kWaitingNote =
    "another program holds it, so the events wait in memory (up to an hour's worth) and are written when it is free";

// Days (local midnights) after the day of `lastInteractionMs` and before `todayStartMs`
// on which the runs add up to kOpeningDayMinimumMs or more.

std::int32_t IdleOpeningDays(const std::vector<RunRecord>& runs, std::optional<std::int64_t> lastInteractionMs,
                             std::int64_t todayStartMs) {
  const std::int64_t firstDay = lastInteractionMs ? NextLocalDayStart(LocalDayStart(*lastInteractionMs))
                                                  : std::numeric_limits<std::int64_t>::min();
  std::map<std::int64_t, std::int64_t> runningMsByDay;
  for (const RunRecord& run : runs) {
    const std::int64_t end = std::min(run.endedMs.value_or(run.lastSeenMs), todayStartMs);
    for (std::int64_t day = LocalDayStart(run.startedMs); day < end; day = NextLocalDayStart(day)) {
      if (day < firstDay) continue;
      const std::int64_t overlap = std::min(end, NextLocalDayStart(day)) - std::max(run.startedMs, day);
      if (overlap > 0) runningMsByDay[day] += overlap;
    }
  }
  return static_cast<std::int32_t>(std::count_if(runningMsByDay.begin(), runningMsByDay.end(),
                                                 [](const auto& entry) { return entry.second >= kOpeningDayMinimumMs; }));
}

}  // namespace

std::int64_t UnixMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string DefaultUsageDatabasePath() {
  const char* stateHome = std::getenv("XDG_STATE_HOME");
  std::string folder;
  if (stateHome != nullptr && stateHome[0] == '/') {
    folder = stateHome;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    folder = std::string(home) + "/.local/state";
  } else {
    return {};
  }
  return folder + "/velmora/usage.sqlite3";
}

UsageStore::UsageStore(UsageStoreConfig config) : config_(std::move(config)), startedMs_(config_.clock()) {
  summary_.databasePath = config_.path;
  summaryDayStartMs_ = LocalDayStart(startedMs_);
  thread_ = std::thread([this] { ThreadMain(); });
}

UsageStore::~UsageStore() { RunEnded(); }

void UsageStore::Push(const Event& event) {
  const std::uint64_t written = ringWritten_.load(std::memory_order_relaxed);
  if (written - ringRead_.load(std::memory_order_acquire) >= kRingCapacity) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  ring_[written % kRingCapacity] = event;
  ringWritten_.store(written + 1, std::memory_order_release);
}

void UsageStore::Interaction(InteractionSource source, std::string_view control) {
  Event event;
  event.timeMs = config_.clock();
  event.kind = static_cast<std::uint8_t>(source);
  event.controlLength = static_cast<std::uint8_t>(std::min(control.size(), kMaxControlNameBytes));
  std::memcpy(event.control.data(), control.data(), event.controlLength);
  Push(event);
}

void UsageStore::Reset(ResetCause cause) {
  Event event;
  event.timeMs = config_.clock();
  event.isReset = true;
  event.kind = static_cast<std::uint8_t>(cause);
  Push(event);
}

void UsageStore::Firing(int soma) {
  if (soma >= 1 && soma <= static_cast<int>(kSomaCount)) {
    firings_[static_cast<std::size_t>(soma - 1)].fetch_add(1, std::memory_order_relaxed);
  }
}

void UsageStore::Flush() {
  std::unique_lock<std::mutex> lock(wakeMutex_);
  if (!thread_.joinable()) return;
  const std::uint64_t request = ++flushRequests_;
  wake_.notify_all();
  flushed_.wait(lock, [&] { return flushesDone_ >= request || !thread_.joinable(); });
}

void UsageStore::RunEnded() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    if (!thread_.joinable() || stop_) return;
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

UsageSummary UsageStore::Summary() const {
  std::lock_guard<std::mutex> lock(summaryMutex_);
  UsageSummary summary = summary_;
  summary.eventsDropped = dropped_.load(std::memory_order_relaxed);
  return summary;
}

void UsageStore::Report(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(summaryMutex_);
    if (summary_.problem == text) return;
    summary_.problem = text;
  }
  if (config_.report) config_.report(text);
}

void UsageStore::ThreadMain() {
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kStoreThreadNice);
  if (!config_.path.empty()) Connect(startedMs_);
  lastCommitMs_ = startedMs_;
  std::unique_lock<std::mutex> lock(wakeMutex_);
  for (;;) {
    wake_.wait_for(lock, config_.intakeInterval, [this] { return stop_ || flushRequests_ != flushesDone_; });
    const bool stopping = stop_;
    const std::uint64_t flushing = flushRequests_;
    const bool flushAsked = flushing != flushesDone_;
    lock.unlock();
    const std::int64_t now = config_.clock();
    Intake(now);
    if (stopping || flushAsked || now - lastCommitMs_ >= config_.commitInterval.count()) {
      Commit(now);
    } else {
      Prune(now);
    }
    if (stopping) {
      std::string error;
      if (connected_ && database_.EndRun(runId_, now, error) != UsageDatabase::Status::Ok) Report(error);
      // What still waits for a busy file is lost with the run.
      if (const std::size_t lost = batch_.interactions.size() + batch_.resets.size(); lost > 0) {
        dropped_.fetch_add(lost, std::memory_order_relaxed);
        Report(std::to_string(lost) + " interactions and resets waiting for " + config_.path +
               " are lost: it was still busy when the exhibit ended");
      }
      database_.Close();
    }
    lock.lock();
    flushesDone_ = flushing;
    flushed_.notify_all();
    if (stopping) return;
  }
}

void UsageStore::Intake(std::int64_t nowMs) {
  const std::uint64_t written = ringWritten_.load(std::memory_order_acquire);
  std::uint64_t read = ringRead_.load(std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(summaryMutex_);
  if (const std::int64_t today = LocalDayStart(nowMs); today != summaryDayStartMs_) {
    summaryDayStartMs_ = today;
    summary_.todayByHour.fill(0);
  }
  for (; read < written; ++read) {
    const Event& event = ring_[read % kRingCapacity];
    if (event.isReset) {
      batch_.resets.push_back({event.timeMs, static_cast<ResetCause>(event.kind)});
      continue;
    }
    batch_.interactions.push_back({event.timeMs, static_cast<InteractionSource>(event.kind),
                                   std::string(event.control.data(), event.controlLength)});
    summary_.lastInteractionUnixMs = std::max(summary_.lastInteractionUnixMs, event.timeMs);
    if (event.timeMs >= summaryDayStartMs_) ++summary_.todayByHour[static_cast<std::size_t>(LocalHour(event.timeMs))];
  }
  ringRead_.store(read, std::memory_order_release);
  summary_.eventsWaiting = batch_.interactions.size() + batch_.resets.size();
  for (std::size_t i = 0; i < kSomaCount; ++i) {
    if (const std::uint64_t count = firings_[i].exchange(0, std::memory_order_relaxed); count > 0) {
      batch_.firings[{nowMs / kMsPerMinute, static_cast<int>(i + 1)}] += count;
    }
  }
}

void UsageStore::Commit(std::int64_t nowMs) {
  lastCommitMs_ = nowMs;
  if (config_.path.empty() || givenUp_ || (!connected_ && !Connect(nowMs))) {
    // Nothing to write to in this run (no file, or one that cannot be used), or the
    // file is still busy and the batch waits.
    if (config_.path.empty() || givenUp_) batch_.Clear();
    BoundWaiting(nowMs);
    return;
  }
  std::string error;
  UsageDatabase::Status status = database_.Write(runId_, batch_, nowMs, error);
  if (status == UsageDatabase::Status::Corrupt) {
    // Damaged since it was opened: moved aside, and the batch goes to a new file.
    connected_ = false;
    database_.Close();
    if (Connect(nowMs, error)) status = database_.Write(runId_, batch_, nowMs, error);
  }
  if (status == UsageDatabase::Status::Ok) {
    const std::size_t waited = batch_.interactions.size() + batch_.resets.size();
    batch_.Clear();
    if (waiting_) {
      waiting_ = false;
      Recovered(config_.path + " takes usage statistics again (" + std::to_string(waited) +
                " interactions and resets had waited)");
    }
    {
      std::lock_guard<std::mutex> lock(summaryMutex_);
      summary_.lastWriteUnixMs = nowMs;
      summary_.eventsWaiting = 0;
    }
    RefreshIdleDays(nowMs);
    return;
  }
  if (givenUp_) {
    batch_.Clear();
  } else if (status == UsageDatabase::Status::Locked) {
    if (!waiting_) Report(error + "; " + kWaitingNote);
    waiting_ = true;
  } else {
    // The file cannot take the batch (disk full, permissions): it waits for the next
    // try, within bounds.
    Report(error);
  }
  BoundWaiting(nowMs);
}

bool UsageStore::Connect(std::int64_t nowMs, std::string moveAsideFor) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(config_.path).parent_path(), ignored);
  std::string error;
  UsageDatabase::Status status = UsageDatabase::Status::Corrupt;
  if (moveAsideFor.empty()) {
    status = database_.Open(config_.path, error);
    if (status == UsageDatabase::Status::Ok) {
      status = database_.BeginRun(startedMs_, config_.version, runId_, error, config_.exhibitName);
    }
  } else {
    error = std::move(moveAsideFor);
  }
  if (status == UsageDatabase::Status::Corrupt) {
    // Only a file SQLite itself finds damaged or no database is moved aside.
    database_.Close();
    const std::string aside = UsageDatabase::MoveAside(config_.path, "corrupt", nowMs);
    if (aside.empty()) {
      error += "; it could not be moved aside";
    } else {
      Report(error + "; moved aside to " + aside + " and a new file started");
      status = database_.Open(config_.path, error);
      if (status == UsageDatabase::Status::Ok) {
        status = database_.BeginRun(startedMs_, config_.version, runId_, error, config_.exhibitName);
      }
    }
  }
  if (status == UsageDatabase::Status::Ok) {
    connected_ = true;
    if (!summaryLoaded_) LoadSummary(nowMs);
    SetRecording(true);
    return true;
  }
  database_.Close();
  if (status == UsageDatabase::Status::Locked) {
    // Busy, not bad: tried again at the next commit.
    if (!waiting_) Report(error + "; " + kWaitingNote);
    waiting_ = true;
    SetRecording(true);
    return false;
  }
  givenUp_ = true;
  Report(error + "; usage statistics are not recorded in this run");
  SetRecording(false);
  return false;
}

void UsageStore::BoundWaiting(std::int64_t nowMs) {
  const auto fresh = [nowMs](const auto& record) { return nowMs - record.timeMs <= kMaxWaitingMs; };
  auto& interactions = batch_.interactions;
  auto& resets = batch_.resets;
  // Both lists are in time order: the old ones lead.
  auto keptInteractions = std::find_if(interactions.begin(), interactions.end(), fresh);
  auto keptResets = std::find_if(resets.begin(), resets.end(), fresh);
  const auto left = [&] { return (interactions.end() - keptInteractions) + (resets.end() - keptResets); };
  constexpr auto kMost = static_cast<std::ptrdiff_t>(kMaxWaitingEvents);
  // Beyond the count the oldest interactions go first, then the oldest resets.
  if (left() > kMost) keptInteractions += std::min(left() - kMost, interactions.end() - keptInteractions);
  if (left() > kMost) keptResets += left() - kMost;
  const auto given = static_cast<std::size_t>((keptInteractions - interactions.begin()) + (keptResets - resets.begin()));
  interactions.erase(interactions.begin(), keptInteractions);
  resets.erase(resets.begin(), keptResets);
  std::erase_if(batch_.firings, [nowMs](const auto& entry) { return nowMs - entry.first.first * kMsPerMinute > kMaxWaitingMs; });
  if (given > 0) {
    dropped_.fetch_add(given, std::memory_order_relaxed);
    Report(config_.path + " has not taken usage statistics for an hour: the oldest are given up"
           " (velmora_usage_events_dropped_total counts them)");
  }
  std::lock_guard<std::mutex> lock(summaryMutex_);
  summary_.eventsWaiting = interactions.size() + resets.size();
}

void UsageStore::Prune(std::int64_t nowMs) {
  if (!connected_ || nowMs < nextPruneMs_) return;
  bool finished = false;
  std::string error;
  const UsageDatabase::Status status =
      database_.PruneDetail(nowMs - config_.keepDays * kMsPerDay, kPruneBatchRows, finished, error);
  // Busy or done: look again later; a damaged file shows at the next commit.
  if (status != UsageDatabase::Status::Ok || finished) nextPruneMs_ = nowMs + kPruneCheckMs;
}

void UsageStore::LoadSummary(std::int64_t nowMs) {
  summaryLoaded_ = true;
  const std::vector<InteractionCount> today = database_.InteractionCounts(summaryDayStartMs_, nowMs + 1);
  const std::optional<std::int64_t> last = database_.LastInteractionMs();
  {
    std::lock_guard<std::mutex> lock(summaryMutex_);
    for (const InteractionCount& count : today) {
      summary_.todayByHour[static_cast<std::size_t>(LocalHour(count.quarterStartMs))] += count.count;
    }
    summary_.lastInteractionUnixMs = std::max(summary_.lastInteractionUnixMs, last.value_or(0));
  }
  RefreshIdleDays(nowMs);
}

void UsageStore::SetRecording(bool recording) {
  std::lock_guard<std::mutex> lock(summaryMutex_);
  summary_.recording = recording;
}

void UsageStore::Recovered(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(summaryMutex_);
    summary_.problem.clear();
  }
  if (config_.report) config_.report(text);
}

void UsageStore::RefreshIdleDays(std::int64_t nowMs) {
  if (!database_.IsOpen()) return;
  const std::optional<std::int64_t> last = database_.LastInteractionMs();
  const std::int64_t today = LocalDayStart(nowMs);
  const std::int64_t from = last ? NextLocalDayStart(LocalDayStart(*last)) : 0;
  const std::int32_t days = IdleOpeningDays(database_.Runs(from, today), last, today);
  std::lock_guard<std::mutex> lock(summaryMutex_);
  summary_.idleOpeningDays = days;
}

}  // namespace velmora::monitoring
