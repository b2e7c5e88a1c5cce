#pragma once
// The exhibit's built-in defaults: the network is built from them and every reset
// to defaults returns to them.

#include <array>
#include <cstdint>

namespace velmora {

// Entry k - 1 is the initial weight of synapse Syn k. Entries 0-5 are also the
// defaults of the six visitor parameters; 6-9 are the fixed weights of the input
// synapses (the -9 makes the second manual stimulus inhibitory).
inline constexpr std::array<std::int32_t, 10> defaultParams = {6, 6, 6, 7, 6, 6, 6, 6, 6, -9};

// Default of the visitors' speed setting (0 to 30).
inline constexpr float defaultSpeedSetting = 15.0f;

}  // namespace velmora
