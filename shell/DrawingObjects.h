#pragma once
// Creation and deletion of the four drawing objects the network elements share.
// They are created during static initialisation, before any window exists.

namespace velmora {

// Deletes axonPen, dendritePen, positiveSynapseBrush and negativeSynapseBrush, in that
// order, leaving each null (drawing with it then draws nothing).
void DeleteDrawingObjects();

}  // namespace velmora
