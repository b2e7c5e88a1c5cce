#include "monitoring/UsageDatabase.h"

#include <cstdio>
#include <ctime>

namespace velmora::monitoring {
namespace {

// How long a write waits for another program's lock before the file counts as locked.
constexpr int kBusyTimeoutMs = 2000;

// Each step brings the layout from the version before it to its own number.
constexpr const char* kMigrationSteps[] = {
    // 1: runs, interactions, resets, firings per minute.
    "CREATE TABLE runs (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL,"
    "  last_seen_ms INTEGER NOT NULL, ended_ms INTEGER, version TEXT NOT NULL);"
    "CREATE TABLE interactions (time_ms INTEGER NOT NULL, run_id INTEGER NOT NULL,"
    "  source TEXT NOT NULL, control TEXT NOT NULL);"
    "CREATE TABLE resets (time_ms INTEGER NOT NULL, run_id INTEGER NOT NULL, cause TEXT NOT NULL);"
    "CREATE TABLE firings (minute INTEGER NOT NULL, soma INTEGER NOT NULL, count INTEGER NOT NULL,"
    "  PRIMARY KEY (minute, soma)) WITHOUT ROWID;",
    // 2: the reports select by time.
    "CREATE INDEX interactions_by_time ON interactions (time_ms);"
    "CREATE INDEX resets_by_time ON resets (time_ms);",
};
static_assert(std::size(kMigrationSteps) == kUsageSchemaVersion);

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
  const int version = Version();
  if (version > kUsageSchemaVersion) {
    error = path + " was written by a newer version (layout " + std::to_string(version) + ")";
    return Status::Newer;
  }
  // WAL: the writer never waits for readers such as velmora-stats; FULL: every commit
  // reaches the disk, so a power cut loses at most the batch not yet written.
  for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"}) {
    if (const Status status = Exec(pragma, error); status != Status::Ok) return status;
  }
  return Migrate(targetVersion, error);
}

UsageDatabase::Status UsageDatabase::Migrate(int targetVersion, std::string& error) {
  for (int version = Version(); version < targetVersion; ++version) {
    std::string sql = "BEGIN IMMEDIATE;";
    sql += kMigrationSteps[version];
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
  const int version = Version();
  if (version < 1 || version > kUsageSchemaVersion) {
    error = path + (version < 0    ? std::string(" is not a usage database")
                    : version == 0 ? std::string(" holds no usage statistics")
                                   : " was written by a newer version (layout " + std::to_string(version) + ")");
    Close();
    return version > kUsageSchemaVersion ? Status::Newer : Status::Corrupt;
  }
  return Status::Ok;
}

UsageDatabase::Status UsageDatabase::BeginRun(std::int64_t startedMs, const std::string& version,
                                              std::int64_t& runId, std::string& error) {
  Statement insert(db_, "INSERT INTO runs (started_ms, last_seen_ms, version) VALUES (?, ?, ?)");
  const int code = insert.Bind(1, startedMs).Bind(2, startedMs).Bind(3, version).Run();
  if (!Done(code)) return Classify(code, error, "cannot record the run's start");
  runId = sqlite3_last_insert_rowid(db_);
  return Status::Ok;
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
  Statement select(db_,
                   "SELECT id, started_ms, last_seen_ms, ended_ms, version FROM runs"
                   " WHERE started_ms < ?2 AND coalesce(ended_ms, last_seen_ms) >= ?1 ORDER BY started_ms");
  select.Bind(1, fromMs).Bind(2, toMs);
  while (select.Step() == SQLITE_ROW) {
    RunRecord run{select.Int(0), select.Int(1), select.Int(2), std::nullopt, select.Text(4)};
    if (!select.IsNull(3)) run.endedMs = select.Int(3);
    records.push_back(std::move(run));
  }
  return records;
}

std::optional<std::int64_t> UsageDatabase::LastInteractionMs() {
  Statement select(db_, "SELECT max(time_ms) FROM interactions");
  if (select.Step() != SQLITE_ROW || select.IsNull(0)) return std::nullopt;
  return select.Int(0);
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

}  // namespace velmora::monitoring
