#include "platform/PanelProtocol.h"

namespace velmora {
namespace {

std::uint8_t LowByte(std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::int32_t SignExtended(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

// Status packets and replies carry the settings in the same order, from this offset.
void PutSettings(const PanelSettings& settings, std::span<std::uint8_t> at) {
  at[0] = LowByte(settings.speed);
  for (std::size_t i = 0; i < kPanelParameterCount; ++i) at[1 + i] = LowByte(settings.params[i]);
}

PanelSettings GetSettings(std::span<const std::uint8_t> at) {
  PanelSettings settings;
  settings.speed = SignExtended(at[0]);
  for (std::size_t i = 0; i < kPanelParameterCount; ++i) settings.params[i] = SignExtended(at[1 + i]);
  return settings;
}

}  // namespace

StatusPacket EncodeStatusPacket(const PanelSettings& settings) {
  StatusPacket packet{};
  packet[0] = kStatusPacketLetter;
  PutSettings(settings, std::span(packet).subspan(1));
  return packet;
}

PanelReply EncodeReply(const PanelReplyValues& values) {
  PanelReply reply{};
  reply[0] = values.button1 ? 1 : 0;
  reply[1] = values.button2 ? 1 : 0;
  PutSettings(values.settings, std::span(reply).subspan(2));
  return reply;
}

PanelReplyValues DecodeReply(const PanelReply& reply) {
  PanelReplyValues values;
  values.button1 = reply[0] != 0;
  values.button2 = reply[1] != 0;
  values.settings = GetSettings(std::span(reply).subspan(2));
  return values;
}

std::optional<PanelMessage> FirstPanelMessage(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  PanelMessage message;
  if (bytes[0] == kPollLetter) {
    message.kind = PanelMessage::Kind::kPoll;
    message.lengthBytes = 1;
  } else if (bytes[0] == kStatusPacketLetter) {
    if (bytes.size() < kStatusPacketBytes) return std::nullopt;
    message.kind = PanelMessage::Kind::kStatusPacket;
    message.status = GetSettings(bytes.subspan(1));
    message.lengthBytes = kStatusPacketBytes;
  } else {
    message.kind = PanelMessage::Kind::kStrayByte;
    message.strayByte = bytes[0];
    message.lengthBytes = 1;
  }
  return message;
}

}  // namespace velmora
