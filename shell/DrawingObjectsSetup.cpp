#include "model/DrawingObjects.h"

#include "shell/DrawingObjects.h"

namespace velmora {
namespace {

constexpr int kPenWidthPixels = 2;

// The creation runs as part of this file's static initialisation, in the objects' order.
struct DrawingObjectsCreation {
  DrawingObjectsCreation() {
    axonPen = new Pen{PenStyle::Solid, kPenWidthPixels, Rgb(200, 200, 200)};
    dendritePen = new Pen{PenStyle::Solid, kPenWidthPixels, Rgb(0, 200, 0)};
    positiveSynapseBrush = new Brush{Rgb(0, 0, 200)};
    negativeSynapseBrush = new Brush{Rgb(200, 0, 0)};
  }
};

const DrawingObjectsCreation drawingObjectsCreation;

template <typename T>
void Delete(const T*& object) {
  delete object;
  object = nullptr;
}

}  // namespace

void DeleteDrawingObjects() {
  Delete(axonPen);
  Delete(dendritePen);
  Delete(positiveSynapseBrush);
  Delete(negativeSynapseBrush);
}

}  // namespace velmora
