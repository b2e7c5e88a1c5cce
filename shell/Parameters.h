#pragma once
// The visitors' parameter block, the speed rule, the reset to defaults and the
// interaction clock behind the label and idle timers.

#include <array>
#include <cstdint>

#include "shell/SpeedRule.h"

namespace velmora {

// Limits the keyboard keeps the values in; the control panel writes them unchecked.
inline constexpr std::int32_t kParameterMin = 0;
inline constexpr std::int32_t kParameterMax = 20;
inline constexpr float kSpeedSettingMin = 0.0f;
inline constexpr float kSpeedSettingMax = 30.0f;

// Parameters: six visitor weights, in the order Model::SetWeights takes them.
extern std::array<std::int32_t, 6> userParams;
// Parameter: the visitors' speed control, whole numbers.
extern float speedSetting;
// Derived: simulated ms per model step, StepFactorForSpeed(speedSetting).
extern float stepFactor;

// State: minutes (as CurrentMinutes) of the last handled key or changed panel reply.
extern float lastInteractionMinutes;
// State: 1 after any reset to defaults until the next interaction; label and idle
// timers are off while it is 1.
extern std::int32_t idleResetDone;

enum class Background { Plain, Labeled };
// Makes the given picture current; the main window installs it once it has a display.
extern void (*selectBackground)(Background background);

// Why the exhibit returned to its defaults: the idle timer, the periodic timer, or
// anything else (the start-up, key 0).
enum class ResetCause { Other, Idle, Periodic };
inline constexpr std::size_t kResetCauses = 3;
// Resets to defaults made since the process started, indexed by ResetCause.
extern std::array<std::int64_t, kResetCauses> resetCounts;

// Parameters, speed and the whole network back to their defaults; tells the panel.
// Not an interaction: it changes neither the background nor lastInteractionMinutes.
void ResetToDefaults(ResetCause cause = ResetCause::Other);

// Restarts the idle time and shows the labelled picture.
void NoteInteraction();

// Minutes from a stored CurrentMinutes reading to a fresh one. The tick behind the
// minutes wraps every 2^32 ms; a difference that came out hugely negative is taken
// across the wrap, so the label, idle and periodic timers keep running after it.
double MinutesSince(float storedMinutes);

}  // namespace velmora
