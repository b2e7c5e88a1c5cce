#pragma once
// A MIDI output for tests: records every short message in order.

#include <cstdint>
#include <vector>

#include "model/Midi.h"

namespace velmora::testing {

class RecordingMidiOutput : public MidiOutput {
public:
  MidiSendResult ShortMessage(std::uint32_t message) override {
    messages.push_back(message);
    return MidiSendResult::Accepted;
  }

  std::vector<std::uint32_t> messages;
};

}  // namespace velmora::testing
