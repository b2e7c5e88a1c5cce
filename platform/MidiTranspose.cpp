#include "platform/MidiTranspose.h"

namespace velmora {
namespace {

constexpr std::uint32_t kNoteOff = 0x80;
constexpr std::uint32_t kNoteOn = 0x90;
constexpr std::uint32_t kKeyPressure = 0xA0;
constexpr int kHighestKey = 127;

}  // namespace

TransposingOutput::TransposingOutput(MidiOutput* output, int semitones) : output_(output), semitones_(semitones) {}

MidiSendResult TransposingOutput::ShortMessage(std::uint32_t message) {
  if (output_ == nullptr) return MidiSendResult::NoOutput;
  const std::uint32_t kind = message & 0xF0;
  if (semitones_ == 0 || (kind != kNoteOn && kind != kNoteOff && kind != kKeyPressure)) {
    return output_->ShortMessage(message);
  }
  const int key = static_cast<int>((message >> 8) & 0xFF) + semitones_;
  if (key < 0 || key > kHighestKey) return MidiSendResult::Accepted;
  return output_->ShortMessage((message & ~0xFF00u) | (static_cast<std::uint32_t>(key) << 8));
}

}  // namespace velmora
