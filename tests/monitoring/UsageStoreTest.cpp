// The usage store: batches reach the file without being asked, runs start and end,
// older layouts are brought forward, and a damaged, locked or newer file never stops
// the recording of the run nor loses what another version wrote.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageStore.h"

namespace velmora::monitoring {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

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
  UsageStore store(Config(milliseconds(100)));
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

TEST_F(UsageStoreTest, ADamagedOrLockedFileIsReportedOnceMovedAsideAndANewOneKeepsRecording) {
  struct Case {
    const char* reason;
    bool lock;
  };
  for (const Case c : {Case{"corrupt", false}, Case{"locked", true}}) {
    SCOPED_TRACE(c.reason);
    fs::remove_all(fs::path(path).parent_path());
    fs::create_directories(fs::path(path).parent_path());
    reports.clear();
    sqlite3* holder = nullptr;
    if (c.lock) {
      // Another program in the middle of a write that never ends.
      ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(holder, "PRAGMA journal_mode=WAL; CREATE TABLE t (x); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1)",
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
    } else {
      std::ofstream(path) << std::string(8192, 'x');
    }
    {
      UsageStore store(Config());
      store.Interaction(InteractionSource::Keyboard, "weight2-");
      store.Flush();
      EXPECT_TRUE(store.Summary().recording);
    }
    sqlite3_close(holder);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("moved aside"), std::string::npos) << reports[0];
    EXPECT_FALSE(FilesStartingWith(std::string("usage.sqlite3.") + c.reason + "-").empty());
    UsageDatabase reader;
    std::string error;
    ASSERT_EQ(reader.OpenForReading(path, error), UsageDatabase::Status::Ok) << error;
    EXPECT_EQ(reader.Interactions(0, kAllTime).size(), 1u);
    EXPECT_TRUE(reader.Runs(0, kAllTime).at(0).endedMs.has_value());
  }
}

TEST_F(UsageStoreTest, AFileOfANewerLayoutIsLeftUntouched) {
  fs::create_directories(fs::path(path).parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  const auto before = fs::file_size(path);
  {
    UsageStore store(Config());
    store.Interaction(InteractionSource::Keyboard, "weight2-");
    store.Flush();
    EXPECT_FALSE(store.Summary().recording);
    EXPECT_EQ(store.Summary().todayByHour[static_cast<std::size_t>(LocalHour(UnixMsNow()))], 1u);
  }
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("newer"), std::string::npos) << reports[0];
  EXPECT_EQ(fs::file_size(path), before);
  EXPECT_TRUE(FilesStartingWith("usage.sqlite3.").empty());
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
