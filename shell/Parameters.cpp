#include "shell/Parameters.h"

#include "model/Defaults.h"
#include "platform/Clock.h"
#include "shell/ExhibitModel.h"
#include "shell/PanelLink.h"

namespace velmora {
namespace {

// One full turn of the 32-bit millisecond tick, in minutes.
constexpr long double kTickWrapMinutes = 4294967296.0L * 0.001L / 60.0L;

}  // namespace

std::array<std::int32_t, 6> userParams{};
float speedSetting = defaultSpeedSetting;
float stepFactor = StepFactorForSpeed(defaultSpeedSetting);
float lastInteractionMinutes = 0.0f;
std::int32_t idleResetDone = 0;
void (*selectBackground)(Background background) = nullptr;

std::array<std::int64_t, kResetCauses> resetCounts{};

void ResetToDefaults(ResetCause cause) {
  ++resetCounts[static_cast<std::size_t>(cause)];
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
  if (selectBackground != nullptr) selectBackground(Background::Labeled);
}

double MinutesSince(float storedMinutes) {
  long double elapsed = CurrentMinutes() - static_cast<long double>(storedMinutes);
  // Rounding a reading to float moves it by well under a minute; only a wrap of the
  // tick makes the difference this negative.
  if (elapsed < -kTickWrapMinutes / 2) elapsed += kTickWrapMinutes;
  return static_cast<double>(elapsed);
}

}  // namespace velmora
