#pragma once
// Unpacking a short MIDI message (status in bits 0-7, data bytes in bits 8-15 and
// 16-23) into the bytes that go on a MIDI wire.

#include <cstddef>
#include <cstdint>

namespace velmora {

struct MidiBytes {
  std::uint8_t bytes[3] = {};
  std::size_t count = 0;  // 0: not a channel message, nothing to send
};

// Channel messages only; data bytes keep their low 7 bits, as a wire would carry them.
inline MidiBytes UnpackShortMessage(std::uint32_t message) {
  MidiBytes out;
  const auto status = static_cast<std::uint8_t>(message & 0xFF);
  if (status < 0x80 || status >= 0xF0) return out;
  out.bytes[0] = status;
  out.bytes[1] = static_cast<std::uint8_t>((message >> 8) & 0x7F);
  out.bytes[2] = static_cast<std::uint8_t>((message >> 16) & 0x7F);
  const std::uint8_t kind = status & 0xF0;
  // Program change and channel pressure carry one data byte, the others two.
  out.count = (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
  return out;
}

}  // namespace velmora
