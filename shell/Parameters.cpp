#include "shell/Parameters.h"

#include <cmath>

#include "model/Defaults.h"
#include "platform/Clock.h"
#include "shell/ExhibitModel.h"
#include "shell/PanelLink.h"

namespace velmora {

std::array<std::int32_t, 6> userParams{};
float speedSetting = defaultSpeedSetting;
float stepFactor = StepFactorForSpeed(defaultSpeedSetting);
float lastInteractionMinutes = 0.0f;
std::int32_t idleResetDone = 0;
void (*selectLabeledBackground)() = nullptr;

float StepFactorForSpeed(float setting) {
  return static_cast<float>(1.18 * std::pow(static_cast<double>(setting) * (1.0 / 30.0), 6.0) + 0.02);
}

void ResetToDefaults() {
  for (std::size_t i = 0; i < userParams.size(); ++i) userParams[i] = defaultParams[i];
  model.SetWeights(userParams);
  speedSetting = defaultSpeedSetting;
  stepFactor = StepFactorForSpeed(speedSetting);
  model.Reset(stepFactor);
  idleResetDone = 1;
  SendPanelStatus();
}

void NoteInteraction() {
  lastInteractionMinutes = static_cast<float>(CurrentMinutes());
  idleResetDone = 0;
  if (selectLabeledBackground != nullptr) selectLabeledBackground();
}

}  // namespace velmora
