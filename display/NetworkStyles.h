#pragma once
// How the displays draw the network's moving parts.

#include "model/DrawingStyle.h"

namespace velmora {

// The exhibit's look of the network: 2-pixel solid pens, light grey for the spike
// ticks and green for the dendrites; blue triangles for excitatory synapses, red
// for inhibitory ones.
inline constexpr int kExhibitPenWidthPixels = 2;
inline constexpr DrawingStyle kExhibitDrawingStyle = {
    Pen{PenStyle::Solid, kExhibitPenWidthPixels, Rgb(200, 200, 200)},
    Pen{PenStyle::Solid, kExhibitPenWidthPixels, Rgb(0, 200, 0)},
    Brush{Rgb(0, 0, 200)},
    Brush{Rgb(200, 0, 0)},
    Pen{PenStyle::Null, 0, 0},
};

// The sharp picture's look: the same, and a light edge round the red triangles. Seen
// with a red-blind or green-blind eye (and barely with any), the red lies too close to
// the brown ground to tell an inhibitory synapse from its place by colour alone (the
// colour check in tests/display measures it); the edge stands out on both for every
// eye, and leaves the blue ones and the classic picture exactly as they were. One
// design pixel wide (half inside the triangle), so a small triangle stays red.
inline constexpr ColorRef kNegativeSynapseEdgeColor = Rgb(230, 230, 230);
inline constexpr int kNegativeSynapseEdgePixels = 1;
inline constexpr DrawingStyle kSharpDrawingStyle = {
    kExhibitDrawingStyle.axonPen,
    kExhibitDrawingStyle.dendritePen,
    kExhibitDrawingStyle.positiveSynapseBrush,
    kExhibitDrawingStyle.negativeSynapseBrush,
    Pen{PenStyle::Solid, kNegativeSynapseEdgePixels, kNegativeSynapseEdgeColor},
};

}  // namespace velmora
