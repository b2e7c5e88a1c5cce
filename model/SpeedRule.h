#pragma once
// The rule that turns the visitors' speed setting into the model's step, the same for
// the exhibit and the simulator.

#include <cmath>

namespace velmora {

// Simulated ms per model step: 1.18 * (s / 30)^6 + 0.02 in double precision, stored as
// float. Flat at the low end (0 .. 7 all give about 0.020), 1.2 at 30, never 0.
inline float StepFactorForSpeed(float setting) {
  return static_cast<float>(1.18 * std::pow(static_cast<double>(setting) * (1.0 / 30.0), 6.0) + 0.02);
}

}  // namespace velmora
