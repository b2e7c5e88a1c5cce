#pragma once
// Where a picture lies on the screen's output: scaled with its aspect kept, centred,
// and turned by a multiple of 90 degrees for a screen mounted in portrait or upside
// down. The same numbers put the picture on the screen and turn a touch's position on
// the screen back into the picture's own pixels.

namespace velmora {

// The quarter turns a picture can be shown at, clockwise, degrees.
inline constexpr int kRotations[] = {0, 90, 180, 270};

// A point, pixels; fractions kept, as touches arrive in them.
struct PlanePoint {
  double x = 0.0;
  double y = 0.0;
};

struct ScreenPlacement {
  int outputWidth = 0;   // pixels of the renderer's output, as the screen is driven
  int outputHeight = 0;
  int rotationDegrees = 0;  // clockwise: the picture's top shows at the output's right for 90
  // In the upright picture (outputWidth x outputHeight, or the two swapped for a quarter
  // turn): picture point p lies at p * scale + offset.
  double scale = 1.0;     // output pixels per picture pixel
  double offsetX = 0.0;   // output pixels
  double offsetY = 0.0;
  // Picture rows from shiftedFromRow down show shiftPixels further down on the upright
  // frame (the sharp picture's status band at a tall screen's foot); 0: no shift. The
  // rows the shift leaves empty between belong to no picture row: a point there counts
  // as on the last row above the shifted ones.
  double shiftedFromRow = 0.0;  // picture pixels
  double shiftPixels = 0.0;     // output pixels

  // The upright frame's sides: the output's, swapped for a quarter turn.
  int UprightWidth() const;
  int UprightHeight() const;
  // Output pixels to picture pixels, and back.
  PlanePoint ToPicture(PlanePoint output) const;
  PlanePoint ToOutput(PlanePoint picture) const;
};

// True for 0, 90, 180 and 270.
bool IsRotation(int degrees);

// A width x height picture as large as it fits into the upright frame of a
// outputWidth x outputHeight output turned by `rotationDegrees`, centred.
ScreenPlacement FitPicture(int outputWidth, int outputHeight, int rotationDegrees, int pictureWidth, int pictureHeight);

}  // namespace velmora
