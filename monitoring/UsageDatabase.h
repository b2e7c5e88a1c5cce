#pragma once
// The usage statistics file: an SQLite database in WAL mode holding each run's start,
// last sign of life and end, every visitor interaction and reset, and the firings of
// each soma per minute. Times are ms since 1970 (UTC). The layout carries its version
// in PRAGMA user_version and is brought forward step by step, never dropped; a file
// of a newer version is left alone.
//
// Not thread-safe: the usage store's thread writes, velmora-stats reads.

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "monitoring/UsageEvents.h"

namespace velmora::monitoring {

// Version 1: the tables; version 2: the time indexes the date-range reports use.
inline constexpr int kUsageSchemaVersion = 2;
// The longest control name kept, bytes.
inline constexpr std::size_t kMaxControlNameBytes = 15;

struct InteractionRecord {
  std::int64_t timeMs = 0;
  InteractionSource source = InteractionSource::Keyboard;
  std::string control;  // which key or panel control, e.g. "weight3+", "stimulus1"
};

struct ResetRecord {
  std::int64_t timeMs = 0;
  ResetCause cause = ResetCause::Idle;
};

struct RunRecord {
  std::int64_t id = 0;
  std::int64_t startedMs = 0;
  std::int64_t lastSeenMs = 0;             // the last batch written while it ran
  std::optional<std::int64_t> endedMs;     // none: it crashed (or is still running)
  std::string version;
};

// What one transaction adds.
struct UsageBatch {
  std::vector<InteractionRecord> interactions;
  std::vector<ResetRecord> resets;
  std::map<std::pair<std::int64_t, int>, std::uint64_t> firings;  // (unix minute, soma 1..3) -> count

  bool Empty() const { return interactions.empty() && resets.empty() && firings.empty(); }
  void Clear() {
    interactions.clear();
    resets.clear();
    firings.clear();
  }
};

class UsageDatabase {
public:
  enum class Status {
    Ok,
    Corrupt,  // not a database, or damaged
    Locked,   // another program holds it past the busy timeout
    Newer,    // written by a newer version: left alone
    Failed,   // anything else (no folder, no permission, disk full)
  };

  UsageDatabase() = default;
  ~UsageDatabase();
  UsageDatabase(const UsageDatabase&) = delete;
  UsageDatabase& operator=(const UsageDatabase&) = delete;

  // Opens or creates the file for writing, checks it, switches it to WAL and brings
  // its layout to kUsageSchemaVersion. `targetVersion` is for tests of the steps.
  Status Open(const std::string& path, std::string& error, int targetVersion = kUsageSchemaVersion);
  // Opens an existing file without changing it (velmora-stats).
  Status OpenForReading(const std::string& path, std::string& error);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  int Version();

  // Writing; each is one transaction. The status tells whether the file went bad.
  Status BeginRun(std::int64_t startedMs, const std::string& version, std::int64_t& runId, std::string& error);
  Status Write(std::int64_t runId, const UsageBatch& batch, std::int64_t nowMs, std::string& error);
  Status EndRun(std::int64_t runId, std::int64_t endedMs, std::string& error);

  // Reading, for times in [fromMs, toMs).
  std::vector<InteractionRecord> Interactions(std::int64_t fromMs, std::int64_t toMs);
  std::vector<ResetRecord> Resets(std::int64_t fromMs, std::int64_t toMs);
  // Runs that were alive at some time in the range.
  std::vector<RunRecord> Runs(std::int64_t fromMs, std::int64_t toMs);
  std::optional<std::int64_t> LastInteractionMs();

  // Moves the file (and its WAL and shared-memory files) to `path`.<reason>-<time>;
  // the new name, or empty when it could not be moved.
  static std::string MoveAside(const std::string& path, const std::string& reason, std::int64_t nowMs);

private:
  Status Exec(const char* sql, std::string& error);
  Status Classify(int code, std::string& error, const std::string& what);
  Status Migrate(int targetVersion, std::string& error);

  sqlite3* db_ = nullptr;
};

}  // namespace velmora::monitoring
