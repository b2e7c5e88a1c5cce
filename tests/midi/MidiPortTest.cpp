#include "platform/MidiPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {
namespace {

TEST(MidiPort, ChoosesPortsByNumberOrByCaseInsensitivePartOfTheName) {
  const std::vector<std::string> names = {
      "Midi Through:Midi Through Port-0 14:0",
      "USB Keys:USB Keys MIDI 1 24:0",
      "USB Keys:USB Keys MIDI 2 24:1",
  };
  struct Case {
    std::string wanted;
    int index;
  };
  const Case cases[] = {
      {"14:0", 0},       {"24:1", 2}, {"4:0", -1},  // a number matches whole, not a tail
      {"usb keys", 1},   {"MIDI 2", 2},   {"through", 0},
      {"synth", -1},     {"", -1},        {"99:0", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindMidiPort(names, c.wanted), c.index) << c.wanted;
}

// A port that can be unplugged and plugged in again; the test waits on what reached it.
class PluggablePort {
public:
  using Message = std::vector<std::uint8_t>;

  MidiPortSend Send() {
    return [this](const std::uint8_t* bytes, std::size_t count) {
      const std::lock_guard lock(mutex);
      ++sendCalls;
      if (!plugged) return silentWhenGone;
      received.emplace_back(bytes, bytes + count);
      changed.notify_all();
      return true;
    };
  }
  std::function<void()> Close() {
    return [this] {
      const std::lock_guard lock(mutex);
      ++closes;
      changed.notify_all();
    };
  }
  MidiPortReopen Reopen() {
    return [this] {
      const std::lock_guard lock(mutex);
      ++reopens;
      reopenedOnCallerThread = reopenedOnCallerThread || std::this_thread::get_id() == callerThread;
      changed.notify_all();
      return plugged;
    };
  }
  MidiPortPresent Present() {
    return [this] {
      const std::lock_guard lock(mutex);
      return plugged;
    };
  }
  void Plug(bool in) {
    const std::lock_guard lock(mutex);
    plugged = in;
  }
  // Waits (at most 10 s) until `condition` holds of the port; false if it never did.
  template <typename Condition>
  bool WaitUntil(Condition condition) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return condition(*this); });
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool plugged = true;
  bool silentWhenGone = false;  // a send to the port that is gone succeeds, as the sequencer's does
  int sendCalls = 0;
  int closes = 0;
  int reopens = 0;
  bool reopenedOnCallerThread = false;
  std::thread::id callerThread = std::this_thread::get_id();
  std::vector<Message> received;
};

TEST(MidiPort, AFailedPortIsClosedTriedAgainOnItsOwnThreadAndPlaysAgainWithItsProgramsOnceBack) {
  constexpr int kMessagesWhileGone = 5000;  // far more than the output's queue
  PluggablePort port;
  std::unique_ptr<MidiOutput> output =
      MakeQueuedPortOutput(port.Send(), port.Close(), port.Reopen(), std::chrono::milliseconds(5));
  SendMidiShort(output.get(), 0xC0, 3, 12, 0);  // marimba on channel 4
  SendMidiShort(output.get(), 0x90, 3, 60, 100);
  ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.received.size() == 2; }));

  port.Plug(false);
  SendMidiShort(output.get(), 0x90, 3, 62, 100);
  ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.closes == 1 && p.reopens >= 2; }));
  for (int i = 0; i < kMessagesWhileGone; ++i) EXPECT_EQ(SendMidiShort(output.get(), 0x90, 3, 64, 100), MidiSendResult::Accepted);
  {
    const std::lock_guard lock(port.mutex);
    EXPECT_EQ(port.sendCalls, 3) << "a port that is gone is not sent to";
    EXPECT_LT(port.reopens, kMessagesWhileGone / 10) << "reopening is timed, not tried per message";
  }

  port.Plug(true);
  ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.received.size() == 3; }));
  SendMidiShort(output.get(), 0x90, 3, 67, 100);
  ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.received.size() == 4; }));
  output.reset();
  const std::lock_guard lock(port.mutex);
  const std::vector<PluggablePort::Message> expected = {
      {0xC3, 12}, {0x93, 60, 100}, {0xC3, 12}, {0x93, 67, 100}};  // the program given again first
  EXPECT_EQ(port.received, expected);
  EXPECT_FALSE(port.reopenedOnCallerThread);
  EXPECT_EQ(port.closes, 2);
}

// The sequencer's send tells nothing of a device that was unplugged: the output looks
// whether its port is still there, and a port missing at the start is waited for.
TEST(MidiPort, APortGoneWithoutAFailedSendIsNoticedAndOneMissingAtTheStartIsWaitedFor) {
  constexpr std::chrono::milliseconds kInterval{5};
  for (const bool openAtStart : {true, false}) {
    SCOPED_TRACE(openAtStart ? "open at the start" : "missing at the start");
    PluggablePort port;
    port.silentWhenGone = true;
    port.Plug(openAtStart);
    std::unique_ptr<MidiOutput> output =
        MakeQueuedPortOutput(port.Send(), port.Close(), port.Reopen(), kInterval, port.Present(), openAtStart);
    EXPECT_EQ(output->Working(), openAtStart);
    SendMidiShort(output.get(), 0xC0, 3, 12, 0);  // marimba on channel 4
    if (openAtStart) {
      ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.received.size() == 1; }));
      port.Plug(false);
      ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.closes == 1; })) << "unplugged, with nothing sent";
      EXPECT_FALSE(output->Working());
      SendMidiShort(output.get(), 0x90, 3, 60, 100);  // while gone: dropped
    }
    ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.reopens >= 2; }));
    port.Plug(true);
    ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.received.size() == (p.closes == 1 ? 2u : 1u); }));
    EXPECT_TRUE(output->Working());
    SendMidiShort(output.get(), 0x90, 3, 62, 100);
    ASSERT_TRUE(port.WaitUntil([](auto& p) { return p.received.back().size() == 3; }));
    output.reset();
    const std::lock_guard lock(port.mutex);
    std::vector<PluggablePort::Message> expected = {{0xC3, 12}, {0xC3, 12}, {0x93, 62, 100}};
    if (!openAtStart) expected.erase(expected.begin());  // the program went out once, when the port came
    EXPECT_EQ(port.received, expected);
  }
}

}  // namespace
}  // namespace velmora
