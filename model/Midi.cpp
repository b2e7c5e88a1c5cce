#include "model/Midi.h"

namespace velmora {

MidiSendResult SendMidiShort(MidiOutput* output, std::int32_t status, std::int32_t channel,
                             std::int32_t data1, std::int32_t data2) {
  const auto message = static_cast<std::uint32_t>((status | channel) | (data1 << 8) | (data2 << 16));
  if (output == nullptr) return MidiSendResult::NoOutput;
  return output->ShortMessage(message);
}

}  // namespace velmora
