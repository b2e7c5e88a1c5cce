#include "shell/Keyboard.h"

#include <algorithm>

#include "model/SpeedRule.h"
#include "shell/Exhibit.h"

namespace velmora {
namespace {

struct ParameterKey {
  VirtualKey key;
  std::size_t parameter;  // index into the visitor weights
  std::int32_t change;
};

// The number row raises parameters 1 .. 6; the row below it (by virtual-key code, as on
// a German layout) lowers them.
constexpr ParameterKey kParameterKeys[] = {
    {'1', 0, +1}, {'2', 1, +1}, {'3', 2, +1}, {'4', 3, +1}, {'5', 4, +1}, {'6', 5, +1},
    {'Q', 0, -1}, {'W', 1, -1}, {'E', 2, -1}, {'R', 3, -1}, {'T', 4, -1}, {'Z', 5, -1},
};

constexpr VirtualKey kFaster = 'F';
constexpr VirtualKey kSlower = 'S';
constexpr VirtualKey kReset = '0';
constexpr float kSpeedChange = 1.0f;

void ChangeSpeed(Exhibit& exhibit, float change) {
  VisitorParameters& parameters = exhibit.parameters;
  // The limits apply after the move, so a value the panel set outside them comes back in.
  parameters.speedSetting = std::clamp(parameters.speedSetting + change, kSpeedSettingMin, kSpeedSettingMax);
  parameters.stepFactor = StepFactorForSpeed(parameters.speedSetting);
  exhibit.model.step = parameters.stepFactor;
  exhibit.NoteInteraction();
}

}  // namespace

KeyOutcome ApplyVisitorKey(Exhibit& exhibit, VirtualKey key) {
  Model& model = exhibit.model;
  for (const ParameterKey& entry : kParameterKeys) {
    if (entry.key != key) continue;
    std::int32_t& value = exhibit.parameters.weights[entry.parameter];
    value = std::clamp(value + entry.change, kParameterMin, kParameterMax);
    model.SetWeights(exhibit.parameters.weights);
    exhibit.NoteInteraction();
    return KeyOutcome::Handled;
  }
  switch (key) {
    case kFaster:
      ChangeSpeed(exhibit, +kSpeedChange);
      return KeyOutcome::Handled;
    case kSlower:
      ChangeSpeed(exhibit, -kSpeedChange);
      return KeyOutcome::Handled;
    case VK_F1:
      model.Stimulate(true, false);
      exhibit.NoteInteraction();
      return KeyOutcome::Handled;
    case VK_F2:
      model.Stimulate(false, true);
      exhibit.NoteInteraction();
      return KeyOutcome::Handled;
    case kReset:
      exhibit.ResetToDefaults();
      return KeyOutcome::Handled;
    case VK_ESCAPE:
    case VK_F12:
      return KeyOutcome::EndExhibit;
    default:
      return KeyOutcome::Ignored;
  }
}

}  // namespace velmora
