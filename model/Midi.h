#pragma once
// Short MIDI messages and the output they are sent through. The model plays a note
// for every firing soma through `midiOut`; what stands behind it (a software
// synthesiser, an external port, a recorder, or nothing) is the shell's business.

#include <cstdint>

namespace velmora {

// Result codes of a send, after the system's multimedia convention.
inline constexpr std::uint32_t kMidiOk = 0;
inline constexpr std::uint32_t kMidiInvalidHandle = 5;

class MidiOutput {
public:
  virtual ~MidiOutput() = default;
  // One short message: status in bits 0-7, first data byte in bits 8-15, second
  // data byte in bits 16-23. Must not block.
  virtual std::uint32_t ShortMessage(std::uint32_t message) = 0;
};

// The opened MIDI output, or null when nothing is open (then every send has no effect).
extern MidiOutput* midiOut;

// Packs (status | channel) | data1 << 8 | data2 << 16 without masking any argument,
// exactly as callers hand them, and sends it. A null device gives kMidiInvalidHandle.
std::uint32_t SendMidiShort(MidiOutput* device, std::int32_t status, std::int32_t channel,
                            std::int32_t data1, std::int32_t data2);

}  // namespace velmora
