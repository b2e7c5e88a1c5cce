#include "shell/Keyboard.h"

#include <algorithm>

#include "shell/ExhibitModel.h"
#include "shell/MainForm.h"
#include "shell/Parameters.h"

namespace velmora {
namespace {

struct ParameterKey {
  VirtualKey key;
  std::size_t parameter;  // index into userParams
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

void ChangeSpeed(float change) {
  // The limits apply after the move, so a value the panel set outside them comes back in.
  speedSetting = std::clamp(speedSetting + change, kSpeedSettingMin, kSpeedSettingMax);
  stepFactor = StepFactorForSpeed(speedSetting);
  model.step = stepFactor;
  NoteInteraction();
}

}  // namespace

KeyOutcome ApplyVisitorKey(VirtualKey key) {
  for (const ParameterKey& entry : kParameterKeys) {
    if (entry.key != key) continue;
    std::int32_t& value = userParams[entry.parameter];
    value = std::clamp(value + entry.change, kParameterMin, kParameterMax);
    model.SetWeights(userParams);
    NoteInteraction();
    return KeyOutcome::Handled;
  }
  switch (key) {
    case kFaster:
      ChangeSpeed(+kSpeedChange);
      return KeyOutcome::Handled;
    case kSlower:
      ChangeSpeed(-kSpeedChange);
      return KeyOutcome::Handled;
    case VK_F1:
      model.Stimulate(true, false);
      NoteInteraction();
      return KeyOutcome::Handled;
    case VK_F2:
      model.Stimulate(false, true);
      NoteInteraction();
      return KeyOutcome::Handled;
    case kReset:
      ResetToDefaults();
      return KeyOutcome::Handled;
    case VK_ESCAPE:
    case VK_F12:
      return KeyOutcome::EndExhibit;
    default:
      return KeyOutcome::Ignored;
  }
}

void TForm1::FormKeyDown(VirtualKey key) {
  if (ApplyVisitorKey(key) == KeyOutcome::EndExhibit) EndExhibit();
}

}  // namespace velmora
