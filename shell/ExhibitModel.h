#pragma once
// The exhibit's one network, made before the window exists and destroyed at process end.

#include "model/Model.h"

namespace velmora {

extern Model model;

}  // namespace velmora
