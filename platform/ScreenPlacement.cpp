#include "platform/ScreenPlacement.h"

#include <algorithm>
#include <iterator>

namespace velmora {
namespace {

bool QuarterTurn(int degrees) { return degrees == 90 || degrees == 270; }

}  // namespace

bool IsRotation(int degrees) { return std::find(std::begin(kRotations), std::end(kRotations), degrees) != std::end(kRotations); }

int ScreenPlacement::UprightWidth() const { return QuarterTurn(rotationDegrees) ? outputHeight : outputWidth; }
int ScreenPlacement::UprightHeight() const { return QuarterTurn(rotationDegrees) ? outputWidth : outputHeight; }

PlanePoint ScreenPlacement::ToPicture(PlanePoint output) const {
  const double w = outputWidth, h = outputHeight;
  PlanePoint upright = output;
  switch (rotationDegrees) {
    case 90:
      upright = {output.y, w - output.x};
      break;
    case 180:
      upright = {w - output.x, h - output.y};
      break;
    case 270:
      upright = {h - output.y, output.x};
      break;
    default:
      break;
  }
  double y = (upright.y - offsetY) / scale;
  if (shiftPixels > 0.0 && y >= shiftedFromRow) {
    const double shifted = (upright.y - offsetY - shiftPixels) / scale;
    y = shifted >= shiftedFromRow ? shifted : shiftedFromRow - 1.0;
  }
  return {(upright.x - offsetX) / scale, y};
}

PlanePoint ScreenPlacement::ToOutput(PlanePoint picture) const {
  const double w = outputWidth, h = outputHeight;
  const double shift = picture.y >= shiftedFromRow ? shiftPixels : 0.0;
  const PlanePoint upright{picture.x * scale + offsetX, picture.y * scale + offsetY + shift};
  switch (rotationDegrees) {
    case 90:
      return {w - upright.y, upright.x};
    case 180:
      return {w - upright.x, h - upright.y};
    case 270:
      return {upright.y, h - upright.x};
    default:
      return upright;
  }
}

ScreenPlacement FitPicture(int outputWidth, int outputHeight, int rotationDegrees, int pictureWidth, int pictureHeight) {
  ScreenPlacement placement;
  placement.outputWidth = outputWidth;
  placement.outputHeight = outputHeight;
  placement.rotationDegrees = rotationDegrees;
  if (pictureWidth <= 0 || pictureHeight <= 0) return placement;
  const double width = placement.UprightWidth(), height = placement.UprightHeight();
  placement.scale = std::min(width / pictureWidth, height / pictureHeight);
  placement.offsetX = (width - pictureWidth * placement.scale) / 2.0;
  placement.offsetY = (height - pictureHeight * placement.scale) / 2.0;
  return placement;
}

}  // namespace velmora
