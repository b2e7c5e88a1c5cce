#include "model/Midi.h"

#include <gtest/gtest.h>

#include "tests/support/RecordingMidiOutput.h"

namespace velmora {
namespace {

TEST(SendMidiShort, PacksStatusChannelAndDataBytesLowestFirst) {
  struct Case {
    std::int32_t status, channel, data1, data2;
    std::uint32_t message;
  };
  const Case cases[] = {
      {0x90, 0, 8, 120, 0x00780890},  // bytes 90 08 78 00
      {0x90, 0, 4, 120, 0x00780490},
      {0xC0, 15, 12, 0, 0x00000CCF},  // program change on the last channel
      {0xB0, 3, 123, 0, 0x00007BB3},  // all notes off
  };
  for (const Case& c : cases) {
    testing::RecordingMidiOutput device;
    EXPECT_EQ(SendMidiShort(&device, c.status, c.channel, c.data1, c.data2), MidiSendResult::Accepted);
    ASSERT_EQ(device.messages.size(), 1u);
    EXPECT_EQ(device.messages[0], c.message);
  }
}

TEST(SendMidiShort, NullOutputSendsNothingAndSaysSo) {
  EXPECT_EQ(SendMidiShort(nullptr, 0x90, 0, 8, 120), MidiSendResult::NoOutput);
}

}  // namespace
}  // namespace velmora
