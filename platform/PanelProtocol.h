#pragma once
// The control panel's byte protocol on its serial line, for both ends: the exhibit
// sends a status packet whenever it returns to its defaults and polls the panel with
// one letter; the panel answers each poll with its buttons and knobs. Every value on
// the line is one byte, read as a signed byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velmora {

// The six visitor parameters the panel carries (weights of Syn1 .. Syn6).
inline constexpr std::size_t kPanelParameterCount = 6;
// A status packet: the letter, the speed setting, the six parameters.
inline constexpr std::size_t kStatusPacketBytes = 2 + kPanelParameterCount;
inline constexpr std::uint8_t kStatusPacketLetter = 's';
// The poll: this one letter asks the panel for its reply.
inline constexpr std::uint8_t kPollLetter = 'g';
// The reply: button 1, button 2, the speed setting, the six parameters.
inline constexpr std::size_t kReplyBytes = 3 + kPanelParameterCount;
// Range of a value on the line: one signed byte. It is the widest range of speed and
// weights the exhibit can be sent.
inline constexpr std::int32_t kPanelValueMin = -128;
inline constexpr std::int32_t kPanelValueMax = 127;

using StatusPacket = std::array<std::uint8_t, kStatusPacketBytes>;
using PanelReply = std::array<std::uint8_t, kReplyBytes>;

// Speed setting and parameters as the line carries them.
struct PanelSettings {
  std::int32_t speed = 0;                                    // speed setting (signed byte)
  std::array<std::int32_t, kPanelParameterCount> params{};  // weights of Syn1 .. Syn6 (signed bytes)
  friend bool operator==(const PanelSettings&, const PanelSettings&) = default;
};

// What one reply says.
struct PanelReplyValues {
  bool button1 = false;  // the stimulus button of input 1 is pressed (any byte but 0)
  bool button2 = false;  // and of input 2
  PanelSettings settings;
  friend bool operator==(const PanelReplyValues&, const PanelReplyValues&) = default;
};

// Each value goes on the line as its low byte (as a signed byte, -128 .. 127 come
// back unchanged).
StatusPacket EncodeStatusPacket(const PanelSettings& settings);
PanelReply EncodeReply(const PanelReplyValues& values);

// Each byte read as a signed byte, sign-extended.
PanelReplyValues DecodeReply(const PanelReply& reply);

// What the panel finds at the front of the bytes the exhibit sent.
struct PanelMessage {
  enum class Kind { kPoll, kStatusPacket, kStrayByte } kind = Kind::kPoll;
  PanelSettings status;       // with kStatusPacket
  std::uint8_t strayByte = 0;  // with kStrayByte: a byte that starts no message
  std::size_t lengthBytes = 0; // bytes the message takes from the front
};

// The first message of `bytes`; none when they are empty or hold only the start of a
// status packet (the rest is still on its way).
std::optional<PanelMessage> FirstPanelMessage(std::span<const std::uint8_t> bytes);

}  // namespace velmora
