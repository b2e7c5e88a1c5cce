#include "shell/ExhibitModel.h"

namespace velmora {

Model model{1.0f};

}  // namespace velmora
