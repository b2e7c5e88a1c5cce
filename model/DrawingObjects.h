#pragma once
// The four drawing objects shared by all network elements. The shell creates them
// once at start-up and deletes them at shutdown; the elements only select them.
// A pointer left null (a creation that failed) makes that drawing a no-op.

#include "model/DeviceContext.h"

namespace velmora {

extern const Pen* axonPen;                // solid, 2 px, RGB 200, 200, 200: spike ticks
extern const Pen* dendritePen;            // solid, 2 px, RGB 0, 200, 0: dendrite waves
extern const Brush* positiveSynapseBrush; // RGB 0, 0, 200: synapses with weight >= 0
extern const Brush* negativeSynapseBrush; // RGB 200, 0, 0: synapses with weight < 0

}  // namespace velmora
