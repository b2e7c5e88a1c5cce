#include "platform/MidiFileRecorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace velmora {
namespace {

class SteppedClock final : public Clock {
public:
  explicit SteppedClock(std::uint32_t startMs) : nowMs(startMs) {}
  std::uint32_t TickCount() override { return nowMs; }
  void Sleep(std::uint32_t ms) override { nowMs += ms; }
  std::uint32_t nowMs;
};

// Keeps every message and answers each with `result`.
class CountingOutput final : public MidiOutput {
public:
  MidiSendResult ShortMessage(std::uint32_t message) override {
    messages.push_back(message);
    return result;
  }
  MidiSendResult result = MidiSendResult::Accepted;
  std::vector<std::uint32_t> messages;
};

using Bytes = std::vector<std::uint8_t>;

// Everything of the file up to the track's events: header, track chunk with its
// length, and the tempo meta event that makes one tick a millisecond.
Bytes ExpectedFile(const Bytes& events) {
  const std::uint32_t trackLength = static_cast<std::uint32_t>(7 + events.size() + 4);
  Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x03, 0xE8, 'M', 'T', 'r', 'k',
                static_cast<std::uint8_t>(trackLength >> 24), static_cast<std::uint8_t>(trackLength >> 16),
                static_cast<std::uint8_t>(trackLength >> 8), static_cast<std::uint8_t>(trackLength),
                0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40};
  for (std::uint8_t byte : events) file.push_back(byte);
  for (std::uint8_t byte : {0x00, 0xFF, 0x2F, 0x00}) file.push_back(byte);
  return file;
}

TEST(MidiFileRecorder, EmptyRunIsAValidFormatZeroFileWithTempoAndEndOfTrack) {
  SteppedClock clock(500);
  MidiFileRecorder recorder(nullptr, clock);
  EXPECT_EQ(recorder.FileBytes(), ExpectedFile({}));
}

TEST(MidiFileRecorder, DeltaTimesAreMillisecondsInVariableLengthQuantities) {
  struct Case {
    std::uint32_t startMs;
    std::uint32_t delayMs;
    Bytes delta;
  };
  const Case cases[] = {
      {1000, 0, {0x00}},
      {1000, 127, {0x7F}},
      {1000, 128, {0x81, 0x00}},
      {1000, 200, {0x81, 0x48}},
      {1000, 20000, {0x81, 0x9C, 0x20}},
      {0xFFFFFFF0u, 0x20, {0x20}},  // across the tick counter's wrap
  };
  for (const Case& c : cases) {
    SteppedClock clock(c.startMs);
    MidiFileRecorder recorder(nullptr, clock);
    clock.nowMs += c.delayMs;
    recorder.ShortMessage(0x786090);  // note on, channel 0, key 0x60, velocity 0x78
    Bytes events = c.delta;
    events.insert(events.end(), {0x90, 0x60, 0x78});
    EXPECT_EQ(recorder.FileBytes(), ExpectedFile(events)) << "delay " << c.delayMs;
  }
}

TEST(MidiFileRecorder, KeepsTwoByteMessagesShortMasksDataAndSkipsNonChannelMessages) {
  SteppedClock clock(0);
  MidiFileRecorder recorder(nullptr, clock);
  recorder.ShortMessage(0x000C05);          // status below 0x80: nothing a file can carry
  recorder.ShortMessage(0x000CC3);          // program change 12 on channel 3
  clock.nowMs += 5;
  recorder.ShortMessage(0x007BB0);          // all notes off
  recorder.ShortMessage(0x00FFF8);          // system real-time: skipped
  recorder.ShortMessage(0x00C890);          // data byte 0xC8 keeps its low seven bits
  EXPECT_EQ(recorder.FileBytes(),
            ExpectedFile({0x00, 0xC3, 0x0C, 0x05, 0xB0, 0x7B, 0x00, 0x00, 0x90, 0x48, 0x00}));
}

TEST(MidiFileRecorder, PassesEveryMessageOnAndReportsTheDevicesResult) {
  SteppedClock clock(0);
  CountingOutput device;
  MidiFileRecorder recorder(&device, clock);
  EXPECT_EQ(recorder.ShortMessage(0x786090), MidiSendResult::Accepted);
  device.result = MidiSendResult::NoOutput;  // an answer the recorder never gives with a device behind it
  EXPECT_EQ(recorder.ShortMessage(0x786090), MidiSendResult::NoOutput);
  EXPECT_EQ(device.messages, (std::vector<std::uint32_t>{0x786090, 0x786090}));

  MidiFileRecorder withoutDevice(nullptr, clock);
  EXPECT_EQ(withoutDevice.ShortMessage(0x786090), MidiSendResult::NoOutput);
}

TEST(MidiFileRecorder, WritesTheFileItDescribesAndFailsOnAnUnwritablePath) {
  SteppedClock clock(0);
  MidiFileRecorder recorder(nullptr, clock);
  recorder.ShortMessage(0x000CC0);
  const auto path = std::filesystem::temp_directory_path() / "velmora-recorder-test.mid";
  ASSERT_TRUE(recorder.WriteFile(path.string()));
  std::ifstream in(path, std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, recorder.FileBytes());
  std::filesystem::remove(path);

  EXPECT_FALSE(recorder.WriteFile("/nonexistent-folder/run.mid"));
}

}  // namespace
}  // namespace velmora
