#pragma once
// The usage statistics file: an SQLite database in WAL mode holding each run's start,
// last sign of life, end and the exhibit's name, every visitor interaction and reset,
// and the firings of each soma per minute; beside the interactions, their counts per
// quarter hour and the visits they form, which the reports read, so a report over
// years reads thousands of rows rather than millions. Times are ms since 1970 (UTC).
// The file is marked as Velmora's (PRAGMA application_id), so another program's
// database is never written into. The layout carries its version in PRAGMA
// user_version and is brought forward step by step, never dropped; a file of a newer
// version is left alone. Old interactions and firings (the detail) may be pruned; the
// counts, visits, resets and runs stay.
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
#include "monitoring/UsageSettings.h"

namespace velmora::monitoring {

// Version 1: the tables; version 2: the time indexes the date-range reports use;
// version 3: the interactions' counts per quarter hour, the visits, the exhibit's name.
inline constexpr int kUsageSchemaVersion = 3;
// PRAGMA application_id of a Velmora usage file: "VLMR".
inline constexpr std::int32_t kUsageApplicationId = 0x564C4D52;
// The longest control name kept, bytes.
inline constexpr std::size_t kMaxControlNameBytes = 15;
// Interactions less than this far apart belong to one visit.
inline constexpr std::int64_t kVisitGapMs = 60'000;
// Interactions are counted per quarter hour (UTC): every time zone's offset is a whole
// number of quarter hours, so each quarter lies within one local hour.
inline constexpr std::int64_t kCountQuarterMs = 15 * 60'000;

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
  std::string exhibitName;                 // --exhibit-name of that run; may be empty
};

// Interactions of one source (IndexOf(InteractionSource)) in the quarter hour that
// starts at quarterStartMs.
struct InteractionCount {
  std::int64_t quarterStartMs = 0;
  std::size_t source = 0;
  std::uint64_t count = 0;
};

// Interactions less than kVisitGapMs apart, from the first to the last.
struct VisitRecord {
  std::int64_t startMs = 0;
  std::int64_t endMs = 0;
  std::uint64_t interactions = 0;
};

// What a report over a range reads from one file.
struct UsageRecords {
  std::vector<InteractionCount> counts;  // quarters in the range
  std::vector<VisitRecord> visits;       // visits that began in the range
  std::vector<ResetRecord> resets;       // resets in the range
  std::vector<RunRecord> runs;           // runs alive in the range or later
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
    Foreign,  // another program's database: left alone
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
  Status BeginRun(std::int64_t startedMs, const std::string& version, std::int64_t& runId, std::string& error,
                  const std::string& exhibitName = {});
  // The batch's interactions must be in time order (as the exhibit makes them).
  Status Write(std::int64_t runId, const UsageBatch& batch, std::int64_t nowMs, std::string& error);
  Status EndRun(std::int64_t runId, std::int64_t endedMs, std::string& error);
  // Removes at most `maxRows` interactions and as many firings older than `beforeMs`,
  // in one short transaction; `finished` tells that none are left.
  Status PruneDetail(std::int64_t beforeMs, std::size_t maxRows, bool& finished, std::string& error);

  // Reading, for times in [fromMs, toMs).
  std::vector<InteractionRecord> Interactions(std::int64_t fromMs, std::int64_t toMs);
  std::vector<InteractionCount> InteractionCounts(std::int64_t fromMs, std::int64_t toMs);
  std::vector<VisitRecord> Visits(std::int64_t fromMs, std::int64_t toMs);
  std::vector<ResetRecord> Resets(std::int64_t fromMs, std::int64_t toMs);
  // Runs that were alive at some time in the range.
  std::vector<RunRecord> Runs(std::int64_t fromMs, std::int64_t toMs);
  // What a report over the local days in [fromMs, toMs) needs; the runs up to `nowMs`
  // too, since a later run tells a crashed run from a running one.
  UsageRecords ReadRange(std::int64_t fromMs, std::int64_t toMs, std::int64_t nowMs);
  std::optional<std::int64_t> LastInteractionMs();
  // The name the newest run that had one gave the exhibit; empty when none did.
  std::string ExhibitName();
  // The first and the last time anything was recorded; none in an empty file.
  std::optional<std::pair<std::int64_t, std::int64_t>> RecordedSpan();

  // Moves the file (and its WAL and shared-memory files) to `path`.<reason>-<time>;
  // the new name, or empty when it could not be moved.
  static std::string MoveAside(const std::string& path, const std::string& reason, std::int64_t nowMs);
  // The files MoveAside made from `path`, by name.
  static std::vector<std::string> FilesMovedAside(const std::string& path);

private:
  Status Exec(const char* sql, std::string& error);
  Status Classify(int code, std::string& error, const std::string& what);
  Status Migrate(int targetVersion, std::string& error);
  // Ok for Velmora's file (or an empty one), Foreign or Newer otherwise.
  Status CheckOwner(const std::string& path, std::string& error);
  bool HasTable(const char* name);
  // The counts and visits of the batch's interactions; an SQLite code.
  int WriteSummaries(const UsageBatch& batch);

  sqlite3* db_ = nullptr;
  // The layout the writer brought the file to. Readers ask the file each time: a file
  // being made or brought forward changes while they read it.
  int version_ = 0;
};

}  // namespace velmora::monitoring
