#pragma once
// What visitors and timers do to the exhibit, as the status server counts it and the
// usage store records it. The names are the label values of the metrics and the
// words stored in the usage database, so they never change once released.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::monitoring {

enum class InteractionSource : std::uint8_t { Keyboard, Panel, Touch };
inline constexpr std::size_t kInteractionSources = 3;
inline constexpr std::array<std::string_view, kInteractionSources> kInteractionSourceNames = {
    "keyboard", "panel", "touch"};

// Why the exhibit went back to its defaults: the idle timer, the periodic timer, key 0,
// the control panel, a technician through the status server, or a long press on the
// screen's reset control.
enum class ResetCause : std::uint8_t { Idle, Periodic, Key, Panel, Remote, Touch };
inline constexpr std::size_t kResetCauses = 6;
inline constexpr std::array<std::string_view, kResetCauses> kResetCauseNames = {
    "idle", "periodic", "key", "panel", "remote", "touch"};

inline constexpr std::size_t kSomaCount = 3;
inline constexpr std::size_t kWeightCount = 6;

template <typename Enum>
constexpr std::size_t IndexOf(Enum value) {
  return static_cast<std::size_t>(value);
}

inline std::string_view NameOf(InteractionSource source) { return kInteractionSourceNames[IndexOf(source)]; }
inline std::string_view NameOf(ResetCause cause) { return kResetCauseNames[IndexOf(cause)]; }

template <typename Enum, std::size_t N>
std::optional<Enum> EnumNamed(const std::array<std::string_view, N>& names, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == name) return static_cast<Enum>(i);
  }
  return std::nullopt;
}

}  // namespace velmora::monitoring
