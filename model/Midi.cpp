#include "model/Midi.h"

namespace velmora {

MidiOutput* midiOut = nullptr;

std::uint32_t SendMidiShort(MidiOutput* device, std::int32_t status, std::int32_t channel,
                            std::int32_t data1, std::int32_t data2) {
  const auto message = static_cast<std::uint32_t>((status | channel) | (data1 << 8) | (data2 << 16));
  if (device == nullptr) return kMidiInvalidHandle;
  return device->ShortMessage(message);
}

}  // namespace velmora
