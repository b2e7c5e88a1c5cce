#pragma once
// A MIDI output for tests: records every short message in order.

#include <cstdint>
#include <vector>

#include "model/Midi.h"

namespace velmora::testing {

class RecordingMidiOutput : public MidiOutput {
public:
  std::uint32_t ShortMessage(std::uint32_t message) override {
    messages.push_back(message);
    return kMidiOk;
  }

  std::vector<std::uint32_t> messages;
};

// Installs a recorder as the process-wide `midiOut` for one scope and restores the
// previous output afterwards.
class ScopedMidiRecorder {
public:
  ScopedMidiRecorder() : previous_(midiOut) { midiOut = &recorder; }
  ~ScopedMidiRecorder() { midiOut = previous_; }
  ScopedMidiRecorder(const ScopedMidiRecorder&) = delete;
  ScopedMidiRecorder& operator=(const ScopedMidiRecorder&) = delete;

  RecordingMidiOutput recorder;

private:
  MidiOutput* previous_;
};

}  // namespace velmora::testing
