#pragma once
// The visitors' parameter block, the speed rule, the reset to defaults and the
// interaction clock behind the label and idle timers.

#include <array>
#include <cstdint>

#include "shell/SpeedRule.h"

namespace velmora {

// Six visitor weights, in the order Model::SetWeights takes them. The keyboard keeps
// them within 0 .. 20; the control panel writes them unchecked.
extern std::array<std::int32_t, 6> userParams;
// Visitors' speed control, whole numbers 0 .. 30 from the keyboard, unchecked from the panel.
extern float speedSetting;
// Simulated ms per model step, derived from speedSetting.
extern float stepFactor;

// Minutes (as CurrentMinutes) of the last handled key or changed panel reply.
extern float lastInteractionMinutes;
// 1 after any reset to defaults until the next interaction: label and idle timers off.
extern std::int32_t idleResetDone;

// Makes the labelled picture current; the main window installs it once it has a display.
extern void (*selectLabeledBackground)();

// Parameters, speed and the whole network back to their defaults; tells the panel.
// Not an interaction: it changes neither the background nor lastInteractionMinutes.
void ResetToDefaults();

// Restarts the idle time and shows the labelled picture.
void NoteInteraction();

}  // namespace velmora
