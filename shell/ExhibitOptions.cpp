#include "shell/ExhibitOptions.h"

namespace velmora {

ExhibitOptions exhibitOptions;

}  // namespace velmora
