#pragma once
// Counts the flashes in a sequence of frames the way the web accessibility guidelines'
// rule for photosensitive viewers (WCAG 2.3.1, three flashes or below) defines them:
//
// - a general flash is a pair of opposing changes in relative luminance of at least
//   10 % of the maximum, where the darker of the two states is below 0.80;
// - a red flash is a pair of opposing transitions involving a saturated red: one state
//   has R / (R + G + B) of 0.8 or more (linear components) and the two states lie more
//   than 0.2 apart in the CIE 1976 u'v' chromaticity diagram;
// - either counts only where the pixels changing together cover at least a quarter of
//   a 10-degree field of view (0.006 sr) within one such field on the screen.
//
// Each pixel follows its own luminance and colour: a transition is counted when the
// pixel has moved by the threshold away from its last turning point (a continued change
// in the same direction moves the turning point along, so a slow ramp is one
// transition). The pixels that make a transition of one kind and direction in the same
// frame are summed over every placement of the field; where a placement reaches the
// quarter, the screen makes that transition. Two opposing screen transitions are one
// flash, so the count per second is half the transitions within any run of one
// second's frames.

#include <cstdint>
#include <vector>

namespace velmora::sim {

// The guidelines' reference viewer: a 15 to 17 inch screen at 1024 x 768 seen from 22
// to 26 inches, on which a 341 x 256 pixel rectangle is a 10-degree field of view.
inline constexpr double kReferenceScreenDiagonalInches = 16.0;
inline constexpr double kReferenceViewingDistanceCm = 24.0 * 2.54;

// The viewer the area rule is measured for: a screen of this size and resolution seen
// from this distance.
struct ViewingGeometry {
  int screenWidthPixels = 1024;
  int screenHeightPixels = 768;
  double screenDiagonalInches = kReferenceScreenDiagonalInches;
  double viewingDistanceCm = kReferenceViewingDistanceCm;
};

// The 10-degree field and the area that counts, in the pixels of the analysed frames.
struct FlashField {
  int widthPixels = 341;
  int heightPixels = 256;
  double countingAreaPixels = 341.0 * 256.0 / 4.0;  // a quarter of the field
};

// The field for frames shown at `screenPixelsPerFramePixel` screen pixels per frame
// pixel (1 for frames at the screen's resolution, 2.8125 for the 1024 x 768 picture
// scaled up to 2160 lines). The reference viewer gets 341 x 256 and 21,824 pixels.
FlashField FieldFor(const ViewingGeometry& viewer, double screenPixelsPerFramePixel);

// The largest number of flashes of each kind within any one second of frames.
struct FlashCounts {
  double generalPerSecond = 0.0;
  double redPerSecond = 0.0;
  // The largest share of the counting area that the pixels making one kind of
  // transition together in one frame reached within one field (1.0 reaches it):
  // how far from counting the changes stayed.
  double largestAreaShare = 0.0;
  std::int64_t frames = 0;
};

class FlashAnalyser {
public:
  FlashAnalyser(int widthPixels, int heightPixels, const FlashField& field, int framesPerSecond);

  // The next frame: widthPixels x heightPixels of 0x..RRGGBB (the top byte is ignored),
  // rows `stridePixels` apart. The first frame only sets where every pixel starts.
  void AddFrame(const std::uint32_t* pixels, int stridePixels);

  FlashCounts Counts() const;

private:
  enum Kind { kLighter, kDarker, kTowardRed, kAwayFromRed, kKinds };

  // The largest number of `kind` transitions of this frame within one field placement.
  double LargestInField(const std::vector<std::int32_t>& cells) const;
  void CountScreenTransitions();

  // Parameters
  int width;
  int height;
  FlashField field;
  int framesPerSecond;
  int cellPixels;       // the side of the square cells transitions are summed in
  int cellColumns;
  int cellRows;

  // State of every pixel: its last colour, and for each rule the colour of its last
  // turning point and the direction of its last transition (+1, -1, 0 for none yet).
  std::vector<std::uint32_t> previous;
  std::vector<std::uint32_t> luminanceTurn;
  std::vector<std::int8_t> luminanceDirection;
  std::vector<std::uint32_t> redTurn;
  std::vector<std::int8_t> redDirection;

  // This frame's transitions per cell, by kind.
  std::vector<std::int32_t> cellTransitions[kKinds];
  std::int64_t transitionsThisFrame[kKinds] = {};

  // The screen's transitions: for each rule the last direction and, per frame, whether
  // the screen made a transition then (1) or not (0).
  int screenDirection[2] = {0, 0};
  std::vector<std::uint8_t> screenTransitions[2];
  double largestAreaShare = 0.0;
  std::int64_t frames = 0;
};

}  // namespace velmora::sim
