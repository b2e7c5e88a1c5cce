#include "platform/MidiFileRecorder.h"

#include <cstdio>

#include "platform/MidiBytes.h"

namespace velmora {
namespace {

// 1000 ticks per quarter note at 1,000,000 microseconds per quarter note: 1 tick = 1 ms.
constexpr std::uint16_t kTicksPerQuarter = 1000;
constexpr std::uint32_t kMicrosecondsPerQuarter = 1000000;

void AppendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value) {
  // Seven bits per byte, most significant group first, every byte but the last with bit 7 set.
  std::uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
  }
}

}  // namespace

MidiFileRecorder::MidiFileRecorder(MidiOutput* device, Clock& clock)
    : device_(device), clock_(clock), lastTickMs_(clock.TickCount()) {}

MidiSendResult MidiFileRecorder::ShortMessage(std::uint32_t message) {
  const MidiBytes m = UnpackShortMessage(message);
  if (m.count != 0) {
    const std::uint32_t now = clock_.TickCount();
    // Unsigned difference: right across the tick counter's wrap.
    AppendVariableLength(trackEvents_, now - lastTickMs_);
    lastTickMs_ = now;
    trackEvents_.insert(trackEvents_.end(), m.bytes, m.bytes + m.count);
  }
  return device_ != nullptr ? device_->ShortMessage(message) : MidiSendResult::NoOutput;
}

std::vector<std::uint8_t> MidiFileRecorder::FileBytes() const {
  std::vector<std::uint8_t> track;
  // Tempo meta event at time 0, then the recorded events, then end of track.
  track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03});
  AppendBigEndian(track, kMicrosecondsPerQuarter, 3);
  track.insert(track.end(), trackEvents_.begin(), trackEvents_.end());
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  AppendBigEndian(file, 6, 4);
  AppendBigEndian(file, 0, 2);  // format 0
  AppendBigEndian(file, 1, 2);  // one track
  AppendBigEndian(file, kTicksPerQuarter, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  AppendBigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

bool MidiFileRecorder::WriteFile(const std::string& path) const {
  const std::vector<std::uint8_t> bytes = FileBytes();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace velmora
