#pragma once
// Turns the control data of one neurite into its path table: a smooth curve through
// the control points, walked in one-pixel steps, with normals smoothed along it.

#include <string>
#include <vector>

#include "assets/NeuriteControlPoints.h"
#include "assets/NeuriteCurve.h"
#include "model/Object.h"

namespace velmora {

// The path of one neurite, first to last point, unit normals on its side.
std::vector<PathPoint> BuildNeuritePath(const NeuriteControl& control);

// Points of the path before repeated points fill it up to its count; more than
// the count means the control points make the curve too long.
std::size_t ShortestWalkLength(const NeuriteControl& control);

// Where each point of the neurite's path lies on its curve: the curve point nearest
// the pixel, and for points the table repeats, places spread evenly towards the next
// pixel's, so that what moves point by point along the table moves steadily along
// the curve.
std::vector<CurvePoint> PathPointsOnCurve(const NeuriteControl& control);

// All 23 paths in table order.
std::vector<std::vector<PathPoint>> BuildAllNeuritePaths();

// Every rule a path table must keep, checked against its control data and (for a
// branch) its parent's path. One readable line per broken rule; empty if all hold.
std::vector<std::string> CheckNeuritePath(const NeuriteControl& control,
                                          const std::vector<PathPoint>& path,
                                          const std::vector<PathPoint>* parentPath);

// Largest step of the path: Chebyshev distance between two points, pixels.
int ChebyshevDistance(const PathPoint& a, const PathPoint& b);

// The source text of the generated path tables (defines velmora::kPathTables).
std::string PathTablesSource(const std::vector<std::vector<PathPoint>>& paths);

// Tuning limits shared by the generator's own checks and the tests.
inline constexpr int kBranchGapPixels = 2;          // branch start to parent's end, Chebyshev
inline constexpr int kSideWindowPoints = 4;         // half window for the local direction
inline constexpr double kMaxNormalTurnRadians = 0.2;  // between consecutive points
inline constexpr double kUnitTolerance = 1e-4;        // |length of a normal - 1|
inline constexpr double kEndNormalTolerance = 0.02;   // per component, end normal against the chosen direction

}  // namespace velmora
