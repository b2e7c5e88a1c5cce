#pragma once
// Records every short message of a run, with its time, and writes it as a Standard
// MIDI File (format 0, one track, 1 tick = 1 ms) that replays what the exhibit played.
// Messages are kept in memory and written once, at the end, so a send never touches
// the disk.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/Midi.h"
#include "platform/Clock.h"

namespace velmora {

class MidiFileRecorder final : public MidiOutput {
public:
  // `device` may be null: the messages are then recorded and sent nowhere.
  MidiFileRecorder(MidiOutput* device, Clock& clock);

  // Records the message at the clock's time and passes it on; the device's result,
  // or NoOutput without a device.
  MidiSendResult ShortMessage(std::uint32_t message) override;

  // The complete file as bytes.
  std::vector<std::uint8_t> FileBytes() const;
  // False when the file cannot be written.
  bool WriteFile(const std::string& path) const;

private:
  MidiOutput* device_;
  Clock& clock_;
  std::uint32_t lastTickMs_;             // time of the previous event (or of the start)
  std::vector<std::uint8_t> trackEvents_;  // delta time + message, back to back
};

}  // namespace velmora
