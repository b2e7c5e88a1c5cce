// The usage store: batches reach the file without being asked, runs start and end,
// older layouts are brought forward; a damaged file is moved aside, a busy one keeps
// its history while the events wait (an hour at most), another program's or a newer
// version's file is left untouched; old detail is pruned, the reports' figures stay.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageStore.h"

namespace velmora::monitoring {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// The store's clock in the tests that move time on.
std::atomic<std::int64_t> fakeNowMs{0};
std::int64_t FakeNow() { return fakeNowMs.load(); }

class UsageStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "velmora-usage-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    path = folder + "/state/usage.sqlite3";
  }
  void TearDown() override { fs::remove_all(folder); }

  UsageStoreConfig Config(milliseconds commitInterval = milliseconds(60'000)) {
    UsageStoreConfig config;
    config.path = path;
    config.version = "test";
    config.commitInterval = commitInterval;
    config.intakeInterval = milliseconds(20);
    config.report = [this](const std::string& text) { reports.push_back(text); };
    return config;
  }

  // Files in the folder of the database whose name starts with `prefix`.
  std::vector<std::string> FilesStartingWith(const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
  }

  std::string folder;
  std::string path;
  std::vector<std::string> reports;
};

constexpr std::int64_t kAllTime = std::numeric_limits<std::int64_t>::max();

TEST_F(UsageStoreTest, BatchesReachTheFileWithinTheCommitIntervalAndTheRunEndIsRecorded) {
  UsageStoreConfig config = Config(milliseconds(100));
  config.exhibitName = "Foyer";
  UsageStore store(config);
  store.Interaction(InteractionSource::Keyboard, "weight1+");
  store.Interaction(InteractionSource::Panel, "a-control-name-longer-than-fifteen");
  store.Reset(ResetCause::Idle);
  for (int i = 0; i < 5; ++i) store.Firing(2);
  store.Firing(4);  // no such soma

  UsageDatabase reader;
  std::string error;
  std::vector<InteractionRecord> written;
  for (int tries = 0; tries < 500 && written.size() < 2; ++tries) {
    std::this_thread::sleep_for(milliseconds(10));
    if (reader.IsOpen() || reader.OpenForReading(path, error) == UsageDatabase::Status::Ok) {
      written = reader.Interactions(0, kAllTime);
    }
  }
  ASSERT_EQ(written.size(), 2u) << "nothing written without a flush";
  EXPECT_EQ(written[0].control, "weight1+");
  EXPECT_EQ(written[1].source, InteractionSource::Panel);
  EXPECT_EQ(written[1].control.size(), kMaxControlNameBytes);
  EXPECT_EQ(reader.Resets(0, kAllTime).size(), 1u);
  EXPECT_FALSE(reader.Runs(0, kAllTime).at(0).endedMs.has_value());

  store.RunEnded();
  const std::vector<RunRecord> runs = reader.Runs(0, kAllTime);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_TRUE(runs[0].endedMs.has_value());
  EXPECT_EQ(store.Summary().todayByHour[static_cast<std::size_t>(LocalHour(written[0].timeMs))], 2u);
  EXPECT_EQ(reader.ExhibitName(), "Foyer");
  EXPECT_TRUE(reports.empty());
}

TEST_F(UsageStoreTest, AnOlderLayoutIsBroughtForwardKeepingItsRows) {
  fs::create_directories(fs::path(path).parent_path());
  {
    UsageDatabase old;
    std::string error;
    ASSERT_EQ(old.Open(path, error, 1), UsageDatabase::Status::Ok) << error;
    std::int64_t run = 0;
    ASSERT_EQ(old.BeginRun(1'000, "old", run, error), UsageDatabase::Status::Ok);
    UsageBatch batch;
    batch.interactions.push_back({2'000, InteractionSource::Keyboard, "stimulus1"});
    ASSERT_EQ(old.Write(run, batch, 3'000, error), UsageDatabase::Status::Ok);
    EXPECT_EQ(old.Version(), 1);
  }
  {
    UsageStore store(Config());
    store.Interaction(InteractionSource::Keyboard, "reset");
  }
  UsageDatabase reader;
  std::string error;
  ASSERT_EQ(reader.OpenForReading(path, error), UsageDatabase::Status::Ok);
  EXPECT_EQ(reader.Version(), kUsageSchemaVersion);
  EXPECT_EQ(reader.Interactions(0, kAllTime).size(), 2u);
  EXPECT_EQ(reader.Runs(0, kAllTime).size(), 2u);
  EXPECT_TRUE(reports.empty());
}

TEST_F(UsageStoreTest, ADamagedFileIsReportedOnceMovedAsideAndANewOneKeepsRecording) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << std::string(8192, 'x');
  {
    UsageStore store(Config());
    store.Interaction(InteractionSource::Keyboard, "weight2-");
    store.Flush();
    EXPECT_TRUE(store.Summary().recording);
  }
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("moved aside"), std::string::npos) << reports[0];
  EXPECT_EQ(FilesStartingWith("usage.sqlite3.corrupt-").size(), 1u);
  UsageDatabase reader;
  std::string error;
  ASSERT_EQ(reader.OpenForReading(path, error), UsageDatabase::Status::Ok) << error;
  EXPECT_EQ(reader.Interactions(0, kAllTime).size(), 1u);
  EXPECT_TRUE(reader.Runs(0, kAllTime).at(0).endedMs.has_value());
}

// Another program holding the write lock (a curator's query, a backup) from before the
// start: the run and its events wait in memory, the history stays where it is, and
// events that would wait for more than an hour are given up and counted.
TEST_F(UsageStoreTest, ABusyFileKeepsItsHistoryWhileEventsWaitAnHourAtMost) {
  { UsageStore(Config()).Interaction(InteractionSource::Keyboard, "weight1+"); }  // the history
  fakeNowMs = UnixMsNow();
  UsageStoreConfig config = Config();
  config.clock = FakeNow;
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  UsageStore store(config);
  store.Interaction(InteractionSource::Keyboard, "weight2+");
  store.Reset(ResetCause::Key);
  store.Flush();
  UsageSummary summary = store.Summary();
  EXPECT_TRUE(summary.recording);
  EXPECT_EQ(summary.eventsWaiting, 2u);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("another program holds it"), std::string::npos) << reports[0];

  fakeNowMs += UsageStore::kMaxWaitingMs + 1;
  store.Interaction(InteractionSource::Panel, "speed");
  store.Flush();
  summary = store.Summary();
  EXPECT_EQ(summary.eventsDropped, 2u);
  EXPECT_EQ(summary.eventsWaiting, 1u);

  ASSERT_EQ(sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(holder);
  store.Flush();
  EXPECT_EQ(store.Summary().eventsWaiting, 0u);
  EXPECT_EQ(store.Summary().lastWriteUnixMs, fakeNowMs.load());
  EXPECT_TRUE(FilesStartingWith("usage.sqlite3.").empty());
  UsageDatabase reader;
  std::string error;
  ASSERT_EQ(reader.OpenForReading(path, error), UsageDatabase::Status::Ok) << error;
  const std::vector<InteractionRecord> kept = reader.Interactions(0, kAllTime);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].control, "weight1+");
  EXPECT_EQ(kept[1].control, "speed");
  EXPECT_EQ(reader.Runs(0, kAllTime).size(), 2u);
}

TEST_F(UsageStoreTest, AnotherProgramsOrANewerVersionsFileIsLeftUntouched) {
  const struct {
    std::string sql;
    const char* said;
  } cases[] = {
      {"PRAGMA application_id=" + std::to_string(kUsageApplicationId) + "; PRAGMA user_version=99", "newer"},
      {"PRAGMA application_id=42; CREATE TABLE runs (x)", "another program's database"},
      {"CREATE TABLE notes (x); PRAGMA user_version=2", "another program's database"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    fs::remove_all(fs::path(path).parent_path());
    fs::create_directories(fs::path(path).parent_path());
    reports.clear();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, c.sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const auto contents = [this] { return (std::stringstream() << std::ifstream(path, std::ios::binary).rdbuf()).str(); };
    const std::string before = contents();
    {
      UsageStore store(Config());
      store.Interaction(InteractionSource::Keyboard, "weight2-");
      store.Flush();
      EXPECT_FALSE(store.Summary().recording);
      EXPECT_EQ(store.Summary().todayByHour[static_cast<std::size_t>(LocalHour(UnixMsNow()))], 1u);
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(c.said), std::string::npos) << reports[0];
    EXPECT_EQ(contents(), before);
    EXPECT_TRUE(FilesStartingWith("usage.sqlite3.").empty());
  }
}

TEST_F(UsageStoreTest, DetailOlderThanTheDaysKeptIsPrunedWhileTheReportsFiguresStay) {
  const std::int64_t now = UnixMsNow();
  const std::int64_t old = now - 3 * 24 * kMsPerHour;
  fs::create_directories(fs::path(path).parent_path());
  {
    UsageDatabase writer;
    std::string error;
    ASSERT_EQ(writer.Open(path, error), UsageDatabase::Status::Ok) << error;
    UsageBatch batch;
    batch.interactions = {{old, InteractionSource::Keyboard, "faster"},
                          {now - kMsPerHour, InteractionSource::Keyboard, "slower"}};
    batch.firings = {{{old / kMsPerMinute, 1}, 5}, {{now / kMsPerMinute, 1}, 7}};
    ASSERT_EQ(writer.Write(1, batch, now, error), UsageDatabase::Status::Ok) << error;
  }
  UsageStoreConfig config = Config();
  config.keepDays = 2;
  UsageStore store(config);
  UsageDatabase reader;
  std::string error;
  ASSERT_EQ(reader.OpenForReading(path, error), UsageDatabase::Status::Ok) << error;
  for (int tries = 0; tries < 500 && !reader.Interactions(0, now - kMsPerHour).empty(); ++tries) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_TRUE(reader.Interactions(0, now - kMsPerHour).empty()) << "the old interaction is pruned";
  EXPECT_EQ(reader.Interactions(0, kAllTime).size(), 1u);
  std::uint64_t counted = 0;
  for (const InteractionCount& count : reader.InteractionCounts(0, kAllTime)) counted += count.count;
  EXPECT_EQ(counted, 2u);
  EXPECT_EQ(reader.Visits(0, kAllTime).size(), 2u);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* firings = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT sum(count) FROM firings", -1, &firings, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(firings), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int64(firings, 0), 7);
  sqlite3_finalize(firings);
  sqlite3_close(db);
}

TEST_F(UsageStoreTest, EventsBeyondTheRingAreCountedAsDroppedNotWaitedFor) {
  UsageStoreConfig config = Config();
  config.path.clear();
  config.intakeInterval = milliseconds(3'600'000);
  UsageStore store(config);
  for (std::size_t i = 0; i < UsageStore::kRingCapacity + 10; ++i) store.Reset(ResetCause::Key);
  EXPECT_EQ(store.Summary().eventsDropped, 10u);
}

}  // namespace
}  // namespace velmora::monitoring
