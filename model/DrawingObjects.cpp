#include "model/DrawingObjects.h"

namespace velmora {

const Pen* axonPen = nullptr;
const Pen* dendritePen = nullptr;
const Brush* positiveSynapseBrush = nullptr;
const Brush* negativeSynapseBrush = nullptr;

const Pen* StockNullPen() {
  static const Pen nullPen{PenStyle::Null, 0, 0};
  return &nullPen;
}

}  // namespace velmora
