#pragma once
// A drawing surface for tests: records every call in order, draws nothing.

#include <array>
#include <vector>

#include "model/DeviceContext.h"

namespace velmora::testing {

struct DrawCall {
  enum class Kind { SelectPen, SelectBrush, MoveTo, LineTo, Polygon };
  Kind kind;
  const Pen* pen = nullptr;           // SelectPen
  const Brush* brush = nullptr;       // SelectBrush
  int x = 0;                          // MoveTo, LineTo: pixels
  int y = 0;
  std::array<ScreenPoint, 3> corners{};  // Polygon: pixels

  bool operator==(const DrawCall& other) const {
    if (kind != other.kind || pen != other.pen || brush != other.brush || x != other.x || y != other.y) {
      return false;
    }
    for (std::size_t k = 0; k < corners.size(); ++k) {
      if (corners[k].x != other.corners[k].x || corners[k].y != other.corners[k].y) return false;
    }
    return true;
  }
};

class RecordingDeviceContext : public DeviceContext {
public:
  void SelectPen(const Pen* pen) override { calls.push_back({DrawCall::Kind::SelectPen, pen, nullptr}); }
  void SelectBrush(const Brush* brush) override {
    calls.push_back({DrawCall::Kind::SelectBrush, nullptr, brush});
  }
  void MoveTo(int x, int y) override { calls.push_back({DrawCall::Kind::MoveTo, nullptr, nullptr, x, y}); }
  void LineTo(int x, int y) override { calls.push_back({DrawCall::Kind::LineTo, nullptr, nullptr, x, y}); }
  void Polygon(const ScreenPoint (&corners)[3]) override {
    calls.push_back({DrawCall::Kind::Polygon, nullptr, nullptr, 0, 0, {corners[0], corners[1], corners[2]}});
  }

  // The recorded calls of one kind, in order.
  std::vector<DrawCall> Only(DrawCall::Kind kind) const {
    std::vector<DrawCall> selected;
    for (const DrawCall& call : calls) {
      if (call.kind == kind) selected.push_back(call);
    }
    return selected;
  }

  std::vector<DrawCall> calls;
};

}  // namespace velmora::testing
