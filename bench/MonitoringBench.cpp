// What the monitoring costs the frame loop per frame: the snapshot hand-over, the
// picture copy (only in frames after the server asked, at most four a second), the
// look at the action queue, and the usage events of a busy frame. The frame has 20 ms.
#include <benchmark/benchmark.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <thread>

#include "monitoring/ActionQueue.h"
#include "monitoring/SnapshotExchange.h"
#include "monitoring/UsageStore.h"

namespace velmora::monitoring {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

ExhibitSnapshot BusySnapshot() {
  ExhibitSnapshot snapshot;
  for (int i = 0; i < 1000; ++i) snapshot.Frame(0.02);
  snapshot.weights = {20, 20, 20, 20, 20, 20};
  return snapshot;
}

// The frame loop's hand-over alone.
void BM_Publish(benchmark::State& state) {
  SnapshotExchange exchange(kWidth, kHeight);
  ExhibitSnapshot snapshot = BusySnapshot();
  for (auto _ : state) {
    snapshot.Frame(0.02);
    exchange.Publish(snapshot);
  }
}
BENCHMARK(BM_Publish);

// The hand-over while a server thread reads as fast as it can (the worst case for
// the cache line the two share).
void BM_PublishWhileRead(benchmark::State& state) {
  SnapshotExchange exchange(kWidth, kHeight);
  ExhibitSnapshot snapshot = BusySnapshot();
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) benchmark::DoNotOptimize(exchange.Latest());
  });
  for (auto _ : state) {
    snapshot.Frame(0.02);
    exchange.Publish(snapshot);
  }
  stop = true;
  reader.join();
}
BENCHMARK(BM_PublishWhileRead)->UseRealTime();

// A frame in which the server waits for a picture: the 1.5 MB copy. Only the copy
// is timed; between copies the server thread converts the last one and asks again.
void BM_OfferPictureWanted(benchmark::State& state) {
  SnapshotExchange exchange(kWidth, kHeight);
  std::vector<std::uint16_t> frame(static_cast<std::size_t>(kWidth * kHeight), 0x1234);
  std::atomic<bool> stop{false};
  std::vector<std::uint8_t> rgb;
  int width = 0, height = 0;
  std::thread server([&] {
    while (!stop) exchange.TakePicture(rgb, width, height, std::chrono::milliseconds(10));
  });
  for (auto _ : state) {
    while (!exchange.PictureWanted()) std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    exchange.OfferPicture(frame.data(), kWidth * sizeof(std::uint16_t));
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  stop = true;
  server.join();
}
BENCHMARK(BM_OfferPictureWanted)->UseManualTime()->Iterations(300);

// The first sharp picture the server asks for, at the screen's size (argument: its
// height; 16:9): what its copy costs the frame loop, as processor time of the frame
// loop's thread, so that other programs' load does not count. With range(1) 1 the
// frame loop copies into storage the server made (LendPictureStorage); with 0 it
// makes the storage itself, as it once did: the allocation and its page faults.
void BM_FirstSharpPicture(benchmark::State& state) {
  const int height = static_cast<int>(state.range(0));
  const int width = height * 16 / 9;
  const bool lent = state.range(1) == 1;
  const std::vector<std::uint32_t> frame(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0x123456);
  const auto threadCpu = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  };
  for (auto _ : state) {
    SnapshotExchange exchange(kWidth, kHeight);
    std::thread server([&] {
      std::vector<std::uint8_t> rgb;
      int w = 0, h = 0;
      exchange.TakePicture(rgb, w, h, std::chrono::milliseconds(60'000));
    });
    std::vector<std::uint32_t> picture;  // the frame loop's, empty before the first picture
    double seconds = 0.0;
    for (bool offered = false; !offered;) {
      if (!exchange.PictureWanted()) {
        std::this_thread::yield();
        continue;
      }
      const double start = threadCpu();
      if (!lent || exchange.LendPictureStorage(picture, frame.size())) {
        picture.assign(frame.begin(), frame.end());
        exchange.OfferPicture(picture, width, height);
        offered = true;
      }
      seconds += threadCpu() - start;
      if (!offered) std::this_thread::yield();
    }
    server.join();
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_FirstSharpPicture)
    ->ArgsProduct({{1080, 2160}, {0, 1}})
    ->ArgNames({"height", "lent"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// Every other frame: no picture wanted, no action waiting.
void BM_IdleChecks(benchmark::State& state) {
  SnapshotExchange exchange(kWidth, kHeight);
  ActionQueue actions;
  std::vector<std::uint16_t> frame(static_cast<std::size_t>(kWidth * kHeight));
  for (auto _ : state) {
    exchange.OfferPicture(frame.data(), kWidth * sizeof(std::uint16_t));
    benchmark::DoNotOptimize(actions.Drain([](ExhibitAction) {}));
  }
}
BENCHMARK(BM_IdleChecks);

// A busy frame's usage events: a key press, a reset and ten firings.
void BM_UsageEventsOfABusyFrame(benchmark::State& state) {
  UsageStoreConfig config;  // in memory: the disk is the store thread's business
  config.commitInterval = std::chrono::milliseconds(1);
  UsageStore store(config);
  std::int64_t frames = 0;
  for (auto _ : state) {
    store.Interaction(InteractionSource::Keyboard, "weight3+");
    store.Reset(ResetCause::Key);
    for (int soma = 0; soma < 10; ++soma) store.Firing(soma % 3 + 1);
    // The store's thread empties the ring long before it fills in a real run; here it
    // is made to, untimed, so the events are measured as taken, not as dropped.
    if (++frames % 256 == 0) {
      state.PauseTiming();
      store.Flush();
      state.ResumeTiming();
    }
  }
  state.counters["dropped"] = static_cast<double>(store.Summary().eventsDropped);
}
BENCHMARK(BM_UsageEventsOfABusyFrame);

}  // namespace
}  // namespace velmora::monitoring

BENCHMARK_MAIN();
