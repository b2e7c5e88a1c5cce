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
// While the file cannot be written, events wait in memory up to this many; then the
// oldest batch is given up so memory stays bounded.
constexpr std::size_t kMaxWaitingRecords = 200'000;

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

UsageStore::UsageStore(UsageStoreConfig config) : config_(std::move(config)), startedMs_(UnixMsNow()) {
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
  event.timeMs = UnixMsNow();
  event.kind = static_cast<std::uint8_t>(source);
  event.controlLength = static_cast<std::uint8_t>(std::min(control.size(), kMaxControlNameBytes));
  std::memcpy(event.control.data(), control.data(), event.controlLength);
  Push(event);
}

void UsageStore::Reset(ResetCause cause) {
  Event event;
  event.timeMs = UnixMsNow();
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
  if (!config_.path.empty()) OpenDatabase(startedMs_);
  lastCommitMs_ = startedMs_;
  std::unique_lock<std::mutex> lock(wakeMutex_);
  for (;;) {
    wake_.wait_for(lock, config_.intakeInterval, [this] { return stop_ || flushRequests_ != flushesDone_; });
    const bool stopping = stop_;
    const std::uint64_t flushing = flushRequests_;
    const bool flushAsked = flushing != flushesDone_;
    lock.unlock();
    const std::int64_t now = UnixMsNow();
    Intake(now);
    if (stopping || flushAsked || now - lastCommitMs_ >= config_.commitInterval.count()) Commit(now);
    if (stopping && database_.IsOpen()) {
      std::string error;
      if (database_.EndRun(runId_, now, error) != UsageDatabase::Status::Ok) Report(error);
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
  for (std::size_t i = 0; i < kSomaCount; ++i) {
    if (const std::uint64_t count = firings_[i].exchange(0, std::memory_order_relaxed); count > 0) {
      batch_.firings[{nowMs / kMsPerMinute, static_cast<int>(i + 1)}] += count;
    }
  }
}

void UsageStore::Commit(std::int64_t nowMs) {
  if (!database_.IsOpen()) {
    batch_.Clear();
    lastCommitMs_ = nowMs;
    return;
  }
  std::string error;
  UsageDatabase::Status status = database_.Write(runId_, batch_, nowMs, error);
  if (status == UsageDatabase::Status::Corrupt || status == UsageDatabase::Status::Locked) {
    ReplaceDatabase(status, error, nowMs);
    if (database_.IsOpen()) status = database_.Write(runId_, batch_, nowMs, error);
  }
  if (status == UsageDatabase::Status::Ok) {
    batch_.Clear();
    lastCommitMs_ = nowMs;
    RefreshIdleDays(nowMs);
    return;
  }
  // The file could not take the batch (disk full, permissions): it stays for the next
  // try, within bounds.
  if (database_.IsOpen()) Report(error);
  if (!database_.IsOpen() || batch_.interactions.size() + batch_.resets.size() > kMaxWaitingRecords) batch_.Clear();
  lastCommitMs_ = nowMs;
}

void UsageStore::OpenDatabase(std::int64_t nowMs) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(config_.path).parent_path(), ignored);
  std::string error;
  UsageDatabase::Status status = database_.Open(config_.path, error);
  if (status == UsageDatabase::Status::Ok) status = database_.BeginRun(startedMs_, config_.version, runId_, error);
  if (status == UsageDatabase::Status::Corrupt || status == UsageDatabase::Status::Locked) {
    ReplaceDatabase(status, error, nowMs);
  } else if (status != UsageDatabase::Status::Ok) {
    database_.Close();
    Report(error + "; usage statistics are not recorded in this run");
  }
  {
    std::lock_guard<std::mutex> lock(summaryMutex_);
    summary_.recording = database_.IsOpen();
    if (!database_.IsOpen()) return;
    for (const InteractionRecord& record : database_.Interactions(summaryDayStartMs_, nowMs + 1)) {
      ++summary_.todayByHour[static_cast<std::size_t>(LocalHour(record.timeMs))];
    }
    summary_.lastInteractionUnixMs = database_.LastInteractionMs().value_or(0);
  }
  RefreshIdleDays(nowMs);
}

void UsageStore::ReplaceDatabase(UsageDatabase::Status status, const std::string& error, std::int64_t nowMs) {
  database_.Close();
  const std::string aside =
      UsageDatabase::MoveAside(config_.path, status == UsageDatabase::Status::Corrupt ? "corrupt" : "locked", nowMs);
  if (aside.empty()) {
    Report(error + "; it could not be moved aside, so usage statistics are not recorded in this run");
  } else {
    Report(error + "; moved aside to " + aside + " and a new file started");
    std::string reopenError;
    UsageDatabase::Status reopened = database_.Open(config_.path, reopenError);
    if (reopened == UsageDatabase::Status::Ok) {
      reopened = database_.BeginRun(startedMs_, config_.version, runId_, reopenError);
    }
    if (reopened != UsageDatabase::Status::Ok) {
      database_.Close();
      Report(reopenError + "; usage statistics are not recorded in this run");
    }
  }
  std::lock_guard<std::mutex> lock(summaryMutex_);
  summary_.recording = database_.IsOpen();
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
