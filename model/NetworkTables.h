#pragma once
// The network's static geometry as stored: the 23 neurite paths (generated at build
// time from the hand-chosen control points in assets/), unscaled.

#include <array>
#include <cstdint>

#include "model/Object.h"

namespace velmora {

struct PathTable {
  const char* name;          // "A1" .. "A17", "D1" .. "D6"
  const PathPoint* points;   // first to last point; unit normals as stored
  std::int32_t count;        // number of points
};

inline constexpr int kAxonCount = 17;
inline constexpr int kDendriteCount = 6;
inline constexpr int kPathCount = kAxonCount + kDendriteCount;

// A1 .. A17, then D1 .. D6. Defined in the generated source.
extern const std::array<PathTable, kPathCount> kPathTables;

}  // namespace velmora
