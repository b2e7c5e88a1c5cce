#pragma once
// How colours look to eyes that lack one kind of cone, and how far apart two colours
// look: the simulation of Machado, Oliveira and Fernandes (2009) at full severity on
// linear sRGB, and the CIEDE2000 colour difference in CIELAB (D65).

#include "model/DeviceContext.h"

namespace velmora {

enum class ColourVision {
  kTypical,
  kProtanopia,    // no long-wave (red) cones: about one man in a hundred
  kDeuteranopia,  // no medium-wave (green) cones: about one man in a hundred
  kTritanopia,    // no short-wave (blue) cones: rare
};
inline constexpr ColourVision kColourVisions[] = {ColourVision::kTypical, ColourVision::kProtanopia,
                                                  ColourVision::kDeuteranopia, ColourVision::kTritanopia};

struct LabColour {
  double lightness = 0.0;  // L*, 0 .. 100
  double a = 0.0;          // green (-) to red (+)
  double b = 0.0;          // blue (-) to yellow (+)
};

const char* ColourVisionName(ColourVision vision);

// The sRGB colour as that eye sees it, in CIELAB.
LabColour SeenAs(ColorRef colour, ColourVision vision);

// The CIEDE2000 difference; about 1 is just noticeable side by side, and below about
// 20 two small shapes are easily taken for one colour at a glance.
double Ciede2000(const LabColour& first, const LabColour& second);

}  // namespace velmora
