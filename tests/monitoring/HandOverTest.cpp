// The frame loop's hand-over to the status server: snapshots arrive whole and in
// order, pictures only when asked for, actions in order and within the queue's bound.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>

#include "monitoring/ActionQueue.h"
#include "monitoring/SnapshotExchange.h"

namespace velmora::monitoring {
namespace {

using std::chrono::milliseconds;

TEST(SnapshotExchange, ReaderSeesOnlyWholeSnapshotsInOrderWhileTheWriterRuns) {
  SnapshotExchange exchange(4, 4);
  EXPECT_FALSE(exchange.Latest().has_value());
  std::atomic<bool> done{false};
  std::thread writer([&] {
    ExhibitSnapshot snapshot;
    for (int i = 0; i < 200'000; ++i) {
      // Every field moves together, so a snapshot mixed from two hand-overs shows.
      snapshot.Frame(0.02);
      snapshot.Firing(1);
      snapshot.weights.fill(static_cast<std::int32_t>(snapshot.frames));
      exchange.Publish(snapshot);
    }
    done = true;
  });
  std::uint64_t lastSequence = 0, reads = 0;
  while (!done || reads == 0) {
    const auto latest = exchange.Latest();
    if (!latest) continue;
    const ExhibitSnapshot& s = latest->snapshot;
    ASSERT_EQ(s.firings[0], s.frames);
    ASSERT_EQ(s.framePeriods.count, s.frames);
    ASSERT_EQ(static_cast<std::uint64_t>(s.weights[5]), s.frames);
    ASSERT_EQ(latest->sequence, s.frames);
    ASSERT_GE(latest->sequence, lastSequence);
    lastSequence = latest->sequence;
    ++reads;
  }
  writer.join();
  EXPECT_EQ(exchange.Latest()->sequence, 200'000u);
}

TEST(SnapshotExchange, PictureIsCopiedOnlyWhenAskedAndConvertedToFullRangeRgb) {
  SnapshotExchange exchange(3, 1);
  // Row pitch wider than the row: the padding must not reach the picture.
  const std::uint16_t frame[4] = {0xF800, 0x07E0, 0x8410, 0xBEEF};
  exchange.OfferPicture(frame, 8);
  EXPECT_FALSE(exchange.PictureWanted());
  std::vector<std::uint8_t> rgb;
  int width = 0, height = 0;
  EXPECT_FALSE(exchange.TakePicture(rgb, width, height, milliseconds(20)));  // no frame offered one

  // The sharp picture comes in full colour and its own size; the classic one after it
  // is the classic size again.
  const std::vector<std::uint32_t> sharp = {0x123456, 0xABCDEF};
  std::atomic<bool> stop{false};
  std::thread frameLoop([&] {
    std::vector<std::uint32_t> offered;
    while (!stop) {
      offered = sharp;
      exchange.OfferPicture(offered, 1, 2);
    }
  });
  ASSERT_TRUE(exchange.TakePicture(rgb, width, height, milliseconds(2000)));
  stop = true;
  frameLoop.join();
  EXPECT_EQ(rgb, (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(1, 2));

  stop = false;
  std::thread classicLoop([&] {
    while (!stop) exchange.OfferPicture(frame, 8);
  });
  ASSERT_TRUE(exchange.TakePicture(rgb, width, height, milliseconds(2000)));
  stop = true;
  classicLoop.join();
  // Middle values round down, as SDL converts the exhibit's screenshots.
  EXPECT_EQ(rgb, (std::vector<std::uint8_t>{255, 0, 0, 0, 255, 0, 131, 129, 131}));
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(3, 1));
  EXPECT_FALSE(exchange.PictureWanted());
}

TEST(SnapshotExchange, TheFrameLoopCopiesFullColourPicturesIntoStorageTheServerMade) {
  SnapshotExchange exchange(4, 4);
  constexpr int kWidth = 64, kHeight = 32;
  constexpr std::size_t kPixels = kWidth * kHeight;
  std::atomic<bool> stop{false};
  std::atomic<int> lendingsRefused{0};
  // The frame loop as the exhibit's: storage first, then the copy, then the offer; it
  // never sizes its vector itself.
  std::thread frameLoop([&] {
    std::vector<std::uint32_t> picture;
    for (std::uint32_t frame = 1; !stop; ++frame) {
      if (!exchange.PictureWanted() || !exchange.LendPictureStorage(picture, kPixels)) {
        lendingsRefused += exchange.PictureWanted() ? 1 : 0;
        std::this_thread::yield();
        continue;
      }
      ASSERT_GE(picture.capacity(), kPixels);
      picture.assign(kPixels, frame);
      exchange.OfferPicture(picture, kWidth, kHeight);
    }
  });
  std::vector<std::uint8_t> rgb;
  int width = 0, height = 0;
  // The first two pictures wait for storage the server makes; later ones reuse it.
  for (int picture = 0; picture < 4; ++picture) {
    ASSERT_TRUE(exchange.TakePicture(rgb, width, height, milliseconds(5000))) << picture;
    EXPECT_EQ(rgb.size(), kPixels * 3);
  }
  stop = true;
  frameLoop.join();
  EXPECT_GT(lendingsRefused.load(), 0);
}

TEST(FramePeriodHistogram, BucketBoundsAreInclusiveAndLateFramesCounted) {
  ExhibitSnapshot s;
  s.Frame(0.0);  // the first frame has no period
  for (const double period : {0.020, 0.0201, 0.025, 0.0251}) s.Frame(period);
  EXPECT_EQ(s.frames, 5u);
  EXPECT_EQ(s.framesLate, 1u);
  const std::array<std::uint64_t, 4> aroundTheTarget = {s.framePeriods.bucketCounts[3], s.framePeriods.bucketCounts[4],
                                                        s.framePeriods.bucketCounts[5], s.framePeriods.bucketCounts[6]};
  EXPECT_EQ(aroundTheTarget, (std::array<std::uint64_t, 4>{1, 1, 1, 1}));  // le 0.020, 0.021, 0.025, 0.030
}

TEST(ActionQueue, FrameLoopTakesActionsInOrderAndTheQueueRefusesBeyondItsCapacity) {
  ActionQueue queue;
  std::vector<ExhibitAction> applied;
  EXPECT_EQ(queue.Drain([&](ExhibitAction a) { applied.push_back(a); }), 0u);
  std::optional<std::uint64_t> last;
  for (std::size_t i = 0; i < ActionQueue::kCapacity; ++i) {
    last = queue.Push(i % 2 == 0 ? ExhibitAction::Reset : ExhibitAction::Stimulus2);
    ASSERT_TRUE(last.has_value());
  }
  EXPECT_FALSE(queue.Push(ExhibitAction::TestNote).has_value());
  EXPECT_FALSE(queue.WaitTaken(*last, milliseconds(1)));

  EXPECT_EQ(queue.Drain([&](ExhibitAction a) { applied.push_back(a); }), ActionQueue::kCapacity);
  EXPECT_TRUE(queue.WaitTaken(*last, milliseconds(1)));
  ASSERT_EQ(applied.size(), ActionQueue::kCapacity);
  EXPECT_EQ(applied[0], ExhibitAction::Reset);
  EXPECT_EQ(applied[1], ExhibitAction::Stimulus2);
  EXPECT_TRUE(queue.Push(ExhibitAction::TestNote).has_value());
}

}  // namespace
}  // namespace velmora::monitoring
