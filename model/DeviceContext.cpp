#include "model/DeviceContext.h"

namespace velmora {

const Pen* StockNullPen() {
  static const Pen nullPen{PenStyle::Null, 0, 0};
  return &nullPen;
}

}  // namespace velmora
