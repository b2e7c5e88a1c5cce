#include "monitoring/UsageDatabase.h"

#include "monitoring/LocalTime.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>

namespace velmora::monitoring {
namespace {

// How long a write waits for another program's lock before the file counts as locked.
constexpr int kBusyTimeoutMs = 2000;

// The interactions' counts per quarter hour and their visits, from the interactions
// that match `where`: how layout 3 fills its tables from an older file, and how an
// older file not yet brought forward is read.
std::string CountsFromDetail(const std::string& where) {
  return "SELECT time_ms / " + std::to_string(kCountQuarterMs) + " * " + std::to_string(kCountQuarterMs) +
         ", source, count(*) FROM interactions " + where + " GROUP BY 1, 2";
}
std::string VisitsFromDetail(const std::string& where) {
  // Each interaction at least kVisitGapMs after the one before starts a visit; the
  // running sum of those starts numbers the visits.
  return "SELECT min(time_ms), max(time_ms), count(*) FROM ("
         " SELECT time_ms, sum(starts) OVER (ORDER BY time_ms ROWS UNBOUNDED PRECEDING) AS visit FROM ("
         "  SELECT time_ms, coalesce(time_ms - lag(time_ms) OVER (ORDER BY time_ms) >= " +
         std::to_string(kVisitGapMs) + ", 1) AS starts FROM interactions " + where + "))"
         " GROUP BY visit";
}

// Each step brings the layout from the version before it to its own number.
std::string MigrationStep(int toVersion) {
  switch (toVersion) {
    case 1:  // runs, interactions, resets, firings per minute.
      return "CREATE TABLE runs (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL,"
             "  last_seen_ms INTEGER NOT NULL, ended_ms INTEGER, version TEXT NOT NULL);"
             "CREATE TABLE interactions (time_ms INTEGER NOT NULL, run_id INTEGER NOT NULL,"
             "  source TEXT NOT NULL, control TEXT NOT NULL);"
             "CREATE TABLE resets (time_ms INTEGER NOT NULL, run_id INTEGER NOT NULL, cause TEXT NOT NULL);"
             "CREATE TABLE firings (minute INTEGER NOT NULL, soma INTEGER NOT NULL, count INTEGER NOT NULL,"
             "  PRIMARY KEY (minute, soma)) WITHOUT ROWID;";
    case 2:  // the reports select by time.
      return "CREATE INDEX interactions_by_time ON interactions (time_ms);"
             "CREATE INDEX resets_by_time ON resets (time_ms);";
    case 3:  // what the reports read, kept when the detail is pruned; the exhibit's name; the mark.
      return "CREATE TABLE interaction_counts (quarter_ms INTEGER NOT NULL, source TEXT NOT NULL,"
             "  count INTEGER NOT NULL, PRIMARY KEY (quarter_ms, source)) WITHOUT ROWID;"
             "CREATE TABLE visits (start_ms INTEGER PRIMARY KEY, end_ms INTEGER NOT NULL,"
             "  interactions INTEGER NOT NULL);"
             "ALTER TABLE runs ADD COLUMN exhibit TEXT NOT NULL DEFAULT '';"
             "INSERT INTO interaction_counts " + CountsFromDetail("") + ";"
             "INSERT INTO visits " + VisitsFromDetail("") + ";"
             "PRAGMA application_id=" + std::to_string(kUsageApplicationId) + ";";
    default:
      return {};
  }
}

// A prepared statement, finalized when it goes out of scope.
class Statement {
public:
  Statement(sqlite3* db, const char* sql) { code_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int PrepareCode() const { return code_; }
  Statement& Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  Statement& Bind(int index, std::string_view text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return code_ == SQLITE_OK ? sqlite3_step(statement_) : code_; }
  int Run() {
    const int code = Step();
    sqlite3_reset(statement_);
    return code;
  }
  std::int64_t Int(int column) { return sqlite3_column_int64(statement_, column); }
  bool IsNull(int column) { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::string Text(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                           : std::string();
  }

private:
  sqlite3_stmt* statement_ = nullptr;
  int code_ = SQLITE_OK;
};

bool Done(int code) { return code == SQLITE_DONE || code == SQLITE_ROW; }

}  // namespace

UsageDatabase::~UsageDatabase() { Close(); }

void UsageDatabase::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
  version_ = 0;
}

UsageDatabase::Status UsageDatabase::Classify(int code, std::string& error, const std::string& what) {
  const int primary = code & 0xFF;
  error = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) return Status::Corrupt;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return Status::Locked;
  return Status::Failed;
}

UsageDatabase::Status UsageDatabase::Exec(const char* sql, std::string& error) {
  const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  return code == SQLITE_OK ? Status::Ok : Classify(code, error, "usage database");
}

int UsageDatabase::Version() {
  Statement version(db_, "PRAGMA user_version");
  return version.Step() == SQLITE_ROW ? static_cast<int>(version.Int(0)) : -1;
}

bool UsageDatabase::HasTable(const char* name) {
  Statement table(db_, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?");
  return table.Bind(1, std::string_view(name)).Step() == SQLITE_ROW;
}

UsageDatabase::Status UsageDatabase::CheckOwner(const std::string& path, std::string& error) {
  Statement mark(db_, "PRAGMA application_id");
  const int code = mark.Step();
  if (code != SQLITE_ROW) return Classify(code, error, path);
  const auto application = static_cast<std::int32_t>(mark.Int(0));
  const int version = Version();
  if (application == kUsageApplicationId) {
    if (version <= kUsageSchemaVersion) return Status::Ok;
    error = path + " was written by a newer version (layout " + std::to_string(version) + ")";
    return Status::Newer;
  }
  // Unmarked: a new, empty file, or one written before files were marked (layouts 1
  // and 2, with their tables).
  Statement tables(db_, "SELECT count(*) FROM sqlite_schema");
  const bool empty = tables.Step() == SQLITE_ROW && tables.Int(0) == 0;
  if (application == 0 && ((empty && version == 0) ||
                            (version >= 1 && version <= 2 && HasTable("runs") && HasTable("interactions")))) {
    return Status::Ok;
  }
  char id[16];
  std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(application));
  error = path + " is not a Velmora usage file but another program's database (application id " + id +
          ", layout " + std::to_string(version) + ")";
  return Status::Foreign;
}

UsageDatabase::Status UsageDatabase::Open(const std::string& path, std::string& error, int targetVersion) {
  Close();
  const int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code != SQLITE_OK) {
    const Status status = Classify(code, error, "cannot open " + path);
    Close();
    return status;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // A damaged or foreign file shows here, before anything is written to it.
  int checked = SQLITE_OK;
  std::string verdict;
  {
    Statement check(db_, "PRAGMA quick_check");
    checked = check.Step();
    if (checked == SQLITE_ROW) verdict = check.Text(0);
  }
  if (checked != SQLITE_ROW) return Classify(checked, error, path);
  if (verdict != "ok") {
    error = path + ": damaged (" + verdict + ")";
    return Status::Corrupt;
  }
  if (const Status owner = CheckOwner(path, error); owner != Status::Ok) return owner;
  // WAL: the writer never waits for readers such as velmora-stats; FULL: every commit
  // reaches the disk, so a power cut loses at most the batch not yet written.
  for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"}) {
    if (const Status status = Exec(pragma, error); status != Status::Ok) return status;
  }
  const Status migrated = Migrate(targetVersion, error);
  version_ = Version();
  return migrated;
}

UsageDatabase::Status UsageDatabase::Migrate(int targetVersion, std::string& error) {
  for (int version = Version(); version < targetVersion; ++version) {
    std::string sql = "BEGIN IMMEDIATE;";
    sql += MigrationStep(version + 1);
    sql += "PRAGMA user_version=" + std::to_string(version + 1) + ";COMMIT;";
    if (const Status status = Exec(sql.c_str(), error); status != Status::Ok) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      error = "cannot bring the usage database to layout " + std::to_string(version + 1) + ": " + error;
      return status;
    }
  }
  return Status::Ok;
}

UsageDatabase::Status UsageDatabase::OpenForReading(const std::string& path, std::string& error) {
  Close();
  const int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
  if (code != SQLITE_OK) {
    const Status status = Classify(code, error, "cannot open " + path);
    Close();
    return status;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  Status status = CheckOwner(path, error);
  version_ = Version();
  if (status == Status::Ok && version_ < 1) {
    error = path + " holds no usage statistics";
    status = Status::Corrupt;
  }
  if (status != Status::Ok) Close();
  return status;
}

UsageDatabase::Status UsageDatabase::BeginRun(std::int64_t startedMs, const std::string& version,
                                              std::int64_t& runId, std::string& error,
                                              const std::string& exhibitName) {
  Statement insert(db_, version_ >= 3 ? "INSERT INTO runs (started_ms, last_seen_ms, version, exhibit) VALUES (?, ?, ?, ?)"
                                      : "INSERT INTO runs (started_ms, last_seen_ms, version) VALUES (?, ?, ?)");
  insert.Bind(1, startedMs).Bind(2, startedMs).Bind(3, version);
  if (version_ >= 3) insert.Bind(4, exhibitName);
  const int code = insert.Run();
  if (!Done(code)) return Classify(code, error, "cannot record the run's start");
  runId = sqlite3_last_insert_rowid(db_);
  return Status::Ok;
}

int UsageDatabase::WriteSummaries(const UsageBatch& batch) {
  std::map<std::pair<std::int64_t, std::string_view>, std::uint64_t> counts;
  for (const InteractionRecord& record : batch.interactions) {
    ++counts[{record.timeMs / kCountQuarterMs * kCountQuarterMs, NameOf(record.source)}];
  }
  Statement count(db_,
                  "INSERT INTO interaction_counts (quarter_ms, source, count) VALUES (?, ?, ?)"
                  " ON CONFLICT (quarter_ms, source) DO UPDATE SET count = count + excluded.count");
  int code = SQLITE_DONE;
  for (const auto& [key, number] : counts) {
    if (!Done(code)) return code;
    code = count.Bind(1, key.first).Bind(2, key.second).Bind(3, static_cast<std::int64_t>(number)).Run();
  }
  if (!Done(code) || batch.interactions.empty()) return code;

  // The visits the batch extends or begins: the newest visit goes on while the next
  // interaction comes less than kVisitGapMs after its end. Each row written carries
  // the interactions it gains.
  std::optional<VisitRecord> current;
  {
    Statement last(db_, "SELECT start_ms, end_ms FROM visits ORDER BY start_ms DESC LIMIT 1");
    if (const int step = last.Step(); step == SQLITE_ROW) {
      current = VisitRecord{last.Int(0), last.Int(1), 0};
    } else if (step != SQLITE_DONE) {
      return step;
    }
  }
  Statement visit(db_,
                  "INSERT INTO visits (start_ms, end_ms, interactions) VALUES (?, ?, ?)"
                  " ON CONFLICT (start_ms) DO UPDATE SET end_ms = max(end_ms, excluded.end_ms),"
                  " interactions = interactions + excluded.interactions");
  const auto save = [&](const VisitRecord& record) {
    return record.interactions == 0
               ? SQLITE_DONE
               : visit.Bind(1, record.startMs).Bind(2, record.endMs).Bind(3, static_cast<std::int64_t>(record.interactions)).Run();
  };
  for (const InteractionRecord& record : batch.interactions) {
    if (current && record.timeMs >= current->startMs && record.timeMs - current->endMs < kVisitGapMs) {
      current->endMs = std::max(current->endMs, record.timeMs);
      ++current->interactions;
      continue;
    }
    if (current && !Done(code = save(*current))) return code;
    current = VisitRecord{record.timeMs, record.timeMs, 1};
  }
  return save(*current);
}

UsageDatabase::Status UsageDatabase::Write(std::int64_t runId, const UsageBatch& batch, std::int64_t nowMs,
                                           std::string& error) {
  if (const Status status = Exec("BEGIN IMMEDIATE", error); status != Status::Ok) return status;
  Statement interaction(db_, "INSERT INTO interactions (time_ms, run_id, source, control) VALUES (?, ?, ?, ?)");
  Statement reset(db_, "INSERT INTO resets (time_ms, run_id, cause) VALUES (?, ?, ?)");
  Statement firing(db_,
                   "INSERT INTO firings (minute, soma, count) VALUES (?, ?, ?)"
                   " ON CONFLICT (minute, soma) DO UPDATE SET count = count + excluded.count");
  Statement alive(db_, "UPDATE runs SET last_seen_ms = ? WHERE id = ?");
  int code = SQLITE_DONE;
  for (const InteractionRecord& record : batch.interactions) {
    if (!Done(code)) break;
    code = interaction.Bind(1, record.timeMs).Bind(2, runId).Bind(3, NameOf(record.source)).Bind(4, record.control).Run();
  }
  if (Done(code) && version_ >= 3) code = WriteSummaries(batch);
  for (const ResetRecord& record : batch.resets) {
    if (!Done(code)) break;
    code = reset.Bind(1, record.timeMs).Bind(2, runId).Bind(3, NameOf(record.cause)).Run();
  }
  for (const auto& [key, count] : batch.firings) {
    if (!Done(code)) break;
    code = firing.Bind(1, key.first).Bind(2, key.second).Bind(3, static_cast<std::int64_t>(count)).Run();
  }
  if (Done(code)) code = alive.Bind(1, nowMs).Bind(2, runId).Run();
  if (!Done(code)) {
    const Status status = Classify(code, error, "cannot write usage statistics");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return status;
  }
  return Exec("COMMIT", error);
}

UsageDatabase::Status UsageDatabase::EndRun(std::int64_t runId, std::int64_t endedMs, std::string& error) {
  Statement end(db_, "UPDATE runs SET ended_ms = ?1, last_seen_ms = ?1 WHERE id = ?2");
  const int code = end.Bind(1, endedMs).Bind(2, runId).Run();
  return Done(code) ? Status::Ok : Classify(code, error, "cannot record the run's end");
}

UsageDatabase::Status UsageDatabase::PruneDetail(std::int64_t beforeMs, std::size_t maxRows, bool& finished,
                                                 std::string& error) {
  finished = false;
  std::size_t removed = 0;
  if (const Status status = Exec("BEGIN IMMEDIATE", error); status != Status::Ok) return status;
  const auto limit = static_cast<std::int64_t>(maxRows);
  Statement interactions(db_,
                         "DELETE FROM interactions WHERE rowid IN"
                         " (SELECT rowid FROM interactions WHERE time_ms < ? LIMIT ?)");
  int code = interactions.Bind(1, beforeMs).Bind(2, limit).Run();
  if (Done(code)) {
    removed += static_cast<std::size_t>(sqlite3_changes(db_));
    Statement firings(db_,
                      "DELETE FROM firings WHERE (minute, soma) IN"
                      " (SELECT minute, soma FROM firings WHERE minute < ? LIMIT ?)");
    code = firings.Bind(1, beforeMs / kMsPerMinute).Bind(2, limit).Run();
    if (Done(code)) finished = removed < maxRows && static_cast<std::size_t>(sqlite3_changes(db_)) < maxRows;
  }
  if (!Done(code)) {
    const Status status = Classify(code, error, "cannot prune old usage statistics");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return status;
  }
  return Exec("COMMIT", error);
}

std::vector<InteractionRecord> UsageDatabase::Interactions(std::int64_t fromMs, std::int64_t toMs) {
  std::vector<InteractionRecord> records;
  Statement select(db_,
                   "SELECT time_ms, source, control FROM interactions WHERE time_ms >= ? AND time_ms < ?"
                   " ORDER BY time_ms");
  select.Bind(1, fromMs).Bind(2, toMs);
  while (select.Step() == SQLITE_ROW) {
    const auto source = EnumNamed<InteractionSource>(kInteractionSourceNames, select.Text(1));
    if (source) records.push_back({select.Int(0), *source, select.Text(2)});
  }
  return records;
}

std::vector<InteractionCount> UsageDatabase::InteractionCounts(std::int64_t fromMs, std::int64_t toMs) {
  // A file of an older layout not yet brought forward (velmora-stats reads it as it
  // is) has no counts: they come from its interactions.
  const std::string sql = Version() >= 3 ? std::string("SELECT quarter_ms, source, count FROM interaction_counts"
                                                      " WHERE quarter_ms >= ?1 AND quarter_ms < ?2")
                                        : CountsFromDetail("WHERE time_ms >= ?1 AND time_ms < ?2");
  std::vector<InteractionCount> records;
  Statement select(db_, sql.c_str());
  select.Bind(1, fromMs).Bind(2, toMs);
  while (select.Step() == SQLITE_ROW) {
    const auto source = EnumNamed<InteractionSource>(kInteractionSourceNames, select.Text(1));
    if (source) records.push_back({select.Int(0), IndexOf(*source), static_cast<std::uint64_t>(select.Int(2))});
  }
  return records;
}

std::vector<VisitRecord> UsageDatabase::Visits(std::int64_t fromMs, std::int64_t toMs) {
  const std::string sql = Version() >= 3 ? std::string("SELECT start_ms, end_ms, interactions FROM visits"
                                                      " WHERE start_ms >= ?1 AND start_ms < ?2 ORDER BY start_ms")
                                        : VisitsFromDetail("WHERE time_ms >= ?1 AND time_ms < ?2");
  std::vector<VisitRecord> records;
  Statement select(db_, sql.c_str());
  select.Bind(1, fromMs).Bind(2, toMs);
  while (select.Step() == SQLITE_ROW) {
    records.push_back({select.Int(0), select.Int(1), static_cast<std::uint64_t>(select.Int(2))});
  }
  return records;
}

std::vector<ResetRecord> UsageDatabase::Resets(std::int64_t fromMs, std::int64_t toMs) {
  std::vector<ResetRecord> records;
  Statement select(db_, "SELECT time_ms, cause FROM resets WHERE time_ms >= ? AND time_ms < ? ORDER BY time_ms");
  select.Bind(1, fromMs).Bind(2, toMs);
  while (select.Step() == SQLITE_ROW) {
    const auto cause = EnumNamed<ResetCause>(kResetCauseNames, select.Text(1));
    if (cause) records.push_back({select.Int(0), *cause});
  }
  return records;
}

std::vector<RunRecord> UsageDatabase::Runs(std::int64_t fromMs, std::int64_t toMs) {
  std::vector<RunRecord> records;
  const std::string sql = std::string("SELECT id, started_ms, last_seen_ms, ended_ms, version, ") +
                          (Version() >= 3 ? "exhibit" : "''") +
                          " FROM runs WHERE started_ms < ?2 AND coalesce(ended_ms, last_seen_ms) >= ?1"
                          " ORDER BY started_ms";
  Statement select(db_, sql.c_str());
  select.Bind(1, fromMs).Bind(2, toMs);
  while (select.Step() == SQLITE_ROW) {
    RunRecord run{select.Int(0), select.Int(1), select.Int(2), std::nullopt, select.Text(4), select.Text(5)};
    if (!select.IsNull(3)) run.endedMs = select.Int(3);
    records.push_back(std::move(run));
  }
  return records;
}

UsageRecords UsageDatabase::ReadRange(std::int64_t fromMs, std::int64_t toMs, std::int64_t nowMs) {
  // One read transaction: every part from the same state of a file being written.
  sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
  UsageRecords records{InteractionCounts(fromMs, toMs), Visits(fromMs, toMs), Resets(fromMs, toMs),
                       Runs(fromMs, std::max(toMs, nowMs + 1))};
  sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  return records;
}

std::optional<std::int64_t> UsageDatabase::LastInteractionMs() {
  // The visits outlast the pruned interactions.
  Statement select(db_, Version() >= 3 ? "SELECT max(end_ms) FROM visits" : "SELECT max(time_ms) FROM interactions");
  if (select.Step() != SQLITE_ROW || select.IsNull(0)) return std::nullopt;
  return select.Int(0);
}

std::string UsageDatabase::ExhibitName() {
  if (Version() < 3) return {};
  Statement select(db_, "SELECT exhibit FROM runs WHERE exhibit != '' ORDER BY started_ms DESC LIMIT 1");
  return select.Step() == SQLITE_ROW ? select.Text(0) : std::string();
}

std::optional<std::pair<std::int64_t, std::int64_t>> UsageDatabase::RecordedSpan() {
  const std::string counted = Version() >= 3
                                  ? "SELECT min(quarter_ms) AS first, max(quarter_ms) AS last FROM interaction_counts"
                                  : "SELECT min(time_ms) AS first, max(time_ms) AS last FROM interactions";
  const std::string sql = "SELECT min(first), max(last) FROM (" + counted +
                          " UNION ALL SELECT min(started_ms), max(coalesce(ended_ms, last_seen_ms)) FROM runs"
                          " UNION ALL SELECT min(time_ms), max(time_ms) FROM resets)";
  Statement select(db_, sql.c_str());
  if (select.Step() != SQLITE_ROW || select.IsNull(0)) return std::nullopt;
  return std::pair(select.Int(0), select.Int(1));
}

std::string UsageDatabase::MoveAside(const std::string& path, const std::string& reason, std::int64_t nowMs) {
  const auto seconds = static_cast<std::time_t>(nowMs / 1000);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &parts);
  const std::string aside = path + "." + reason + "-" + stamp;
  if (std::rename(path.c_str(), aside.c_str()) != 0) return {};
  // The journal files belong to the file moved: left behind, they would be applied
  // to the new, empty one.
  for (const char* suffix : {"-wal", "-shm"}) std::rename((path + suffix).c_str(), (aside + suffix).c_str());
  return aside;
}

std::vector<std::string> UsageDatabase::FilesMovedAside(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  const std::string prefix = file.filename().string() + ".";
  std::vector<std::string> found;
  std::error_code error;
  for (fs::directory_iterator entry(file.parent_path().empty() ? fs::path(".") : file.parent_path(), error), end;
       !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (!name.starts_with(prefix) || name.ends_with("-wal") || name.ends_with("-shm")) continue;
    // What MoveAside names: the file's name, a reason (older versions used "locked"
    // too), a time stamp.
    const std::string rest = name.substr(prefix.size());
    if (rest.starts_with("corrupt-") || rest.starts_with("locked-")) found.push_back((file.parent_path() / name).string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace velmora::monitoring
