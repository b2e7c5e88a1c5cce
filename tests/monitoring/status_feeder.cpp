// A stand-in for the exhibit's frame loop, for the status server's tests: it runs
// 20 ms frames, hands a snapshot and (when asked) a picture to the server every
// frame, carries out the server's actions, and records usage events. Commands on
// standard input play the visitors and the devices:
//   key CONTROL | panel CONTROL   an interaction ("weightN+"/"weightN-" also change weight N)
//   reset CAUSE                   idle, periodic, key or panel
//   health display|midi|panel 0|1 a device's state
//   flush                         write the usage statistics now; prints "flushed"
//   quit                          end the run as the exhibit ends it (exit code 0)
// It prints "listening on PORT" once the server is up, "applied ACTION" for each
// action taken, and at the end the frame periods it kept.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "monitoring/ActionQueue.h"
#include "monitoring/SnapshotExchange.h"
#include "monitoring/StatusServer.h"
#include "monitoring/UsageStore.h"

namespace {

using namespace velmora::monitoring;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr std::chrono::milliseconds kFramePeriod{20};
constexpr std::array<std::int32_t, kWeightCount> kDefaultWeights = {6, 6, 6, 6, 6, 6};
constexpr float kDefaultSpeed = 15.0f;

struct Arguments {
  std::string listen = "127.0.0.1:0";
  std::string tokenFile;
  std::string usageDb = "off";
  std::string exhibitName;
  int commitIntervalMs = 60'000;
  StatusServerLimits limits;
};

bool Parse(int argc, char** argv, Arguments& arguments) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--listen") arguments.listen = value;
    else if (name == "--token-file") arguments.tokenFile = value;
    else if (name == "--usage-db") arguments.usageDb = value;
    else if (name == "--exhibit-name") arguments.exhibitName = value;
    else if (name == "--commit-interval-ms") arguments.commitIntervalMs = std::stoi(value);
    else if (name == "--max-connections") arguments.limits.maxConnections = std::stoul(value);
    else if (name == "--request-timeout-ms") arguments.limits.requestTimeout = std::chrono::milliseconds(std::stoi(value));
    else if (name == "--response-timeout-ms") arguments.limits.responseTimeout = std::chrono::milliseconds(std::stoi(value));
    else return false;
  }
  return argc % 2 == 1;
}

// Lines typed on standard input, handed to the frame loop without blocking it.
class CommandReader {
public:
  CommandReader() : thread_([this] { Read(); }) { thread_.detach(); }
  bool Next(std::string& line) {
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
  }

private:
  void Read() {
    std::string line;
    while (std::getline(std::cin, line)) Add(line);
    Add("quit");
  }
  void Add(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
  }
  std::mutex mutex_;
  std::deque<std::string> lines_;
  std::thread thread_;
};

// A picture that shows the weights: one bar per synapse, so a change is visible.
void Paint(std::vector<std::uint16_t>& pixels, const ExhibitSnapshot& state) {
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int synapse = x * static_cast<int>(kWeightCount) / kWidth;
      const bool bar = kHeight - y <= state.weights[static_cast<std::size_t>(synapse)] * 30;
      pixels[static_cast<std::size_t>(y * kWidth + x)] = bar ? 0xF800 : static_cast<std::uint16_t>(y * 31 / kHeight);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  if (!Parse(argc, argv, arguments)) {
    std::fprintf(stderr, "status_feeder: bad arguments\n");
    return 2;
  }
  ExhibitSnapshot state;
  state.weights = kDefaultWeights;
  state.speedSetting = kDefaultSpeed;
  state.displayOk = state.midiOutputOk = state.panelConnected = true;

  UsageStoreConfig storeConfig;
  storeConfig.path = arguments.usageDb == "off" ? std::string() : arguments.usageDb;
  storeConfig.version = "test";
  storeConfig.exhibitName = arguments.exhibitName;
  storeConfig.commitInterval = std::chrono::milliseconds(arguments.commitIntervalMs);
  storeConfig.report = [](const std::string& text) { std::fprintf(stderr, "status_feeder: %s\n", text.c_str()); };
  UsageStore store(storeConfig);

  ListenAddress address;
  std::string error;
  if (!ParseListenAddress(arguments.listen, address, error)) {
    std::fprintf(stderr, "status_feeder: %s\n", error.c_str());
    return 2;
  }
  std::string token;
  if (!arguments.tokenFile.empty() && !LoadAccessToken(arguments.tokenFile, token, error)) {
    std::printf("token refused: %s\n", error.c_str());
  }
  SnapshotExchange exchange(kWidth, kHeight);
  ActionQueue actions;
  RunInfo run{"test", std::chrono::system_clock::now(), Clock::now(),
              {{"--status-listen", arguments.listen}, {"--usage-db", arguments.usageDb}}};
  StatusServer server(address, token, exchange, actions, run, &store, arguments.limits);
  if (server.Start(error)) {
    std::printf("listening on %u\n", static_cast<unsigned>(server.Port()));
  } else {
    std::printf("no server: %s\n", error.c_str());
  }
  server.AddStartupMessage("Can not open serial port!");
  std::fflush(stdout);

  CommandReader commands;
  std::vector<std::uint16_t> picture(static_cast<std::size_t>(kWidth * kHeight));
  Paint(picture, state);
  std::vector<double> periods;
  auto next = Clock::now();
  auto previousEnd = next;
  for (bool running = true; running;) {
    std::string line;
    while (commands.Next(line)) {
      std::istringstream words(line);
      std::string verb, what;
      int value = 0;
      words >> verb >> what >> value;
      if (verb == "key" || verb == "panel") {
        const InteractionSource source = verb == "key" ? InteractionSource::Keyboard : InteractionSource::Panel;
        state.Interaction(source);
        store.Interaction(source, what);
        if (what.size() == 8 && what.rfind("weight", 0) == 0) {
          auto& weight = state.weights[static_cast<std::size_t>(what[6] - '1') % kWeightCount];
          weight += what[7] == '+' ? 1 : -1;
          Paint(picture, state);
        }
      } else if (verb == "reset") {
        const auto cause = EnumNamed<ResetCause>(kResetCauseNames, what);
        if (cause) {
          state.Reset(*cause);
          store.Reset(*cause);
        }
      } else if (verb == "health") {
        (what == "display" ? state.displayOk : what == "midi" ? state.midiOutputOk : state.panelConnected) = value != 0;
      } else if (verb == "flush") {
        store.Flush();
        std::printf("flushed\n");
      } else if (verb == "quit") {
        running = false;
      }
    }
    actions.Drain([&](ExhibitAction action) {
      static constexpr const char* kNames[] = {"reset", "test-note", "stimulus1", "stimulus2"};
      switch (action) {
        case ExhibitAction::Reset:
          state.weights = kDefaultWeights;
          state.speedSetting = kDefaultSpeed;
          state.Reset(ResetCause::Remote);
          store.Reset(ResetCause::Remote);
          Paint(picture, state);
          break;
        case ExhibitAction::Stimulus1:
        case ExhibitAction::Stimulus2:
          state.Firing(action == ExhibitAction::Stimulus1 ? 1 : 2);
          store.Firing(action == ExhibitAction::Stimulus1 ? 1 : 2);
          break;
        case ExhibitAction::TestNote:
          break;
      }
      std::printf("applied %s\n", kNames[static_cast<int>(action)]);
    });
    std::fflush(stdout);

    next += kFramePeriod;
    std::this_thread::sleep_until(next);
    const auto end = Clock::now();
    const double period = std::chrono::duration<double>(end - previousEnd).count();
    previousEnd = end;
    periods.push_back(period);
    state.Frame(period);
    exchange.Publish(state);
    exchange.OfferPicture(picture.data(), kWidth * sizeof(std::uint16_t));
  }
  server.Stop();
  store.RunEnded();
  std::sort(periods.begin(), periods.end());
  std::printf("frames %zu, late %llu, median period %.2f ms, 99th percentile %.2f ms, longest %.2f ms\n",
              periods.size(), static_cast<unsigned long long>(state.framesLate),
              periods[periods.size() / 2] * 1000.0, periods[periods.size() * 99 / 100] * 1000.0,
              periods.back() * 1000.0);
  return 0;
}
