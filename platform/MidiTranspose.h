#pragma once
// Moves every note the exhibit plays by a number of semitones before it reaches the
// output: the somas' notes 4, 8 and 12 (about 10 to 16 Hz) lie far below what small
// speakers reproduce, and an octave or more up they are heard. Everything that is
// not a note passes unchanged.

#include <cstdint>

#include "model/Midi.h"

namespace velmora {

// The range operators may choose: two octaves down to five octaves up.
inline constexpr int kMinTransposeSemitones = -24;
inline constexpr int kMaxTransposeSemitones = 60;

class TransposingOutput final : public MidiOutput {
public:
  // `output` may be null (sends then give NoOutput); it must outlive this one.
  TransposingOutput(MidiOutput* output, int semitones);

  // Note-on, note-off and key pressure go on with their key moved; a key moved out of
  // MIDI's 0 to 127 has no note to play and is dropped (Accepted).
  MidiSendResult ShortMessage(std::uint32_t message) override;
  bool Working() const override { return output_ == nullptr || output_->Working(); }

private:
  MidiOutput* output_;
  int semitones_;
};

}  // namespace velmora
