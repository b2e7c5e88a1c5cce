#include "shell/Keyboard.h"

#include <algorithm>
#include <string_view>

#include "model/SpeedRule.h"
#include "shell/Exhibit.h"

namespace velmora {
namespace {

struct ParameterKey {
  VirtualKey key;
  std::size_t parameter;  // index into the visitor weights
  std::int32_t change;
  std::string_view control;  // what the usage statistics call it (stored: never changed)
};

// The number row raises parameters 1 .. 6; the row below it (by virtual-key code, as on
// a German layout) lowers them.
constexpr ParameterKey kParameterKeys[] = {
    {'1', 0, +1, "weight1+"}, {'2', 1, +1, "weight2+"}, {'3', 2, +1, "weight3+"},
    {'4', 3, +1, "weight4+"}, {'5', 4, +1, "weight5+"}, {'6', 5, +1, "weight6+"},
    {'Q', 0, -1, "weight1-"}, {'W', 1, -1, "weight2-"}, {'E', 2, -1, "weight3-"},
    {'R', 3, -1, "weight4-"}, {'T', 4, -1, "weight5-"}, {'Z', 5, -1, "weight6-"},
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

// What the usage statistics call a handled key's control (stored: never changed).
std::string_view ControlName(VirtualKey key) {
  for (const ParameterKey& entry : kParameterKeys) {
    if (entry.key == key) return entry.control;
  }
  switch (key) {
    case kFaster:
      return "faster";
    case kSlower:
      return "slower";
    case VK_F1:
      return "stimulus1";
    case VK_F2:
      return "stimulus2";
    case kReset:
      return "reset";
    default:
      return {};
  }
}

KeyOutcome ActOnKey(Exhibit& exhibit, VirtualKey key) {
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
      exhibit.ResetToDefaults(ResetCause::Key);
      return KeyOutcome::Handled;
    case VK_ESCAPE:
    case VK_F12:
      return KeyOutcome::EndExhibit;
    default:
      return KeyOutcome::Ignored;
  }
}

}  // namespace

// Every handled key is a visitor's interaction for the operators' counters and the
// usage statistics, key 0 too (a visitor is there), though key 0 starts no label or
// idle time.
KeyOutcome ApplyVisitorKey(Exhibit& exhibit, VirtualKey key) {
  const KeyOutcome outcome = ActOnKey(exhibit, key);
  if (outcome == KeyOutcome::Handled) exhibit.CountInteraction(monitoring::InteractionSource::Keyboard, ControlName(key));
  return outcome;
}

}  // namespace velmora
