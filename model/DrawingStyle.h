#pragma once
// The pens and brushes the network elements draw their moving parts with. The model
// is handed a style with every Draw, so the same network can be drawn in more than
// one look; the exhibit's own style is a constant of the display.

#include "model/DeviceContext.h"

namespace velmora {

struct DrawingStyle {
  Pen axonPen;                 // spike ticks across the axons
  Pen dendritePen;             // the dendrites' lines with their waves
  Brush positiveSynapseBrush;  // synapse triangles with weight >= 0
  Brush negativeSynapseBrush;  // synapse triangles with weight < 0
  // Outlines the triangles with weight < 0, a cue besides their colour; a null-style
  // pen leaves them without an outline, as the stock null pen does.
  Pen negativeSynapseEdge{PenStyle::Null, 0, 0};
};

}  // namespace velmora
