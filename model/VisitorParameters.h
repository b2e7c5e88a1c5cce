#pragma once
// What visitors steer: the six synaptic weights and the speed setting, with the step
// the speed gives, and the one reset that returns both them and the network to the
// defaults. The exhibit and the simulator share it.

#include <array>
#include <cstdint>

namespace velmora {

class Model;

// Limits the keyboard keeps the values in; the control panel writes them unchecked.
inline constexpr std::int32_t kParameterMin = 0;
inline constexpr std::int32_t kParameterMax = 20;
inline constexpr float kSpeedSettingMin = 0.0f;
inline constexpr float kSpeedSettingMax = 30.0f;

struct VisitorParameters {
  std::array<std::int32_t, 6> weights{};  // [parameter] Syn1 .. Syn6, in the order Model::SetWeights takes them
  float speedSetting = 0.0f;              // [parameter] whole numbers; the panel may write any from -128 to 127
  float stepFactor = 0.0f;                // [derived] simulated ms per model step: StepFactorForSpeed(speedSetting)
};

// The defaults: the first six entries of defaultParams, defaultSpeedSetting and its step.
VisitorParameters DefaultVisitorParameters();

// The parameters back to their defaults, the model's weights to them, and the whole
// network reset with the default step.
void ResetToDefaults(VisitorParameters& parameters, Model& model);

}  // namespace velmora
