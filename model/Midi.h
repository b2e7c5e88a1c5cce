#pragma once
// Short MIDI messages and the output they are sent through. The model plays a note
// for every firing soma through the output it is given; what stands behind it (a
// software synthesiser, an external port, a recorder, or nothing) is the shell's
// business.

#include <cstdint>

namespace velmora {

inline constexpr std::int32_t kProgramChange = 0xC0;
inline constexpr std::int32_t kMarimbaProgram = 12;  // GM instrument 13, the exhibit's sound
inline constexpr std::int32_t kMidiChannels = 16;    // the marimba is chosen on every one

// What became of a send.
enum class MidiSendResult {
  Accepted,  // the output took the message (it may still drop it later, silently)
  NoOutput,  // there was no output to send to
};

class MidiOutput {
public:
  virtual ~MidiOutput() = default;
  // One short message: status in bits 0-7, first data byte in bits 8-15, second
  // data byte in bits 16-23. Must not block.
  virtual MidiSendResult ShortMessage(std::uint32_t message) = 0;
  // False while the output is known to drop what it is sent (a port unplugged, until
  // it is back).
  virtual bool Working() const { return true; }
};

// Packs (status | channel) | data1 << 8 | data2 << 16 without masking any argument,
// exactly as callers hand them, and sends it. A null output gives NoOutput.
MidiSendResult SendMidiShort(MidiOutput* output, std::int32_t status, std::int32_t channel,
                             std::int32_t data1, std::int32_t data2);

}  // namespace velmora
