#include "model/VisitorParameters.h"

#include <algorithm>

#include "model/Defaults.h"
#include "model/Model.h"
#include "model/SpeedRule.h"

namespace velmora {

VisitorParameters DefaultVisitorParameters() {
  VisitorParameters parameters;
  std::copy_n(defaultParams.begin(), parameters.weights.size(), parameters.weights.begin());
  parameters.speedSetting = defaultSpeedSetting;
  parameters.stepFactor = StepFactorForSpeed(parameters.speedSetting);
  return parameters;
}

void ResetToDefaults(VisitorParameters& parameters, Model& model) {
  parameters = DefaultVisitorParameters();
  model.SetWeights(parameters.weights);
  model.Reset(parameters.stepFactor);
}

}  // namespace velmora
