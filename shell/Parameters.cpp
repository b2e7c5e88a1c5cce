#include "shell/Parameters.h"

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
