#include "platform/MidiPort.h"

#include <gtest/gtest.h>

#include <string>
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

}  // namespace
}  // namespace velmora
