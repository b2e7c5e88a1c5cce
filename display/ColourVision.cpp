#include "display/ColourVision.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {
namespace {

using Matrix = double[3][3];

// Machado et al. 2009, severity 1.0, acting on linear RGB.
constexpr Matrix kProtanopia = {{0.152286, 1.052583, -0.204868},
                                {0.114503, 0.786281, 0.099216},
                                {-0.003882, -0.048116, 1.051998}};
constexpr Matrix kDeuteranopia = {{0.367322, 0.860646, -0.227968},
                                  {0.280085, 0.672501, 0.047413},
                                  {-0.011820, 0.042940, 0.968881}};
constexpr Matrix kTritanopia = {{1.255528, -0.076749, -0.178779},
                                {-0.078411, 0.930809, 0.147602},
                                {0.004733, 0.691367, 0.303900}};

double Linear(int component) {
  const double c = component / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LabF(double t) {
  constexpr double kEpsilon = 216.0 / 24389.0;
  constexpr double kKappa = 24389.0 / 27.0;
  return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }
double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

}  // namespace

const char* ColourVisionName(ColourVision vision) {
  switch (vision) {
    case ColourVision::kTypical: return "typical";
    case ColourVision::kProtanopia: return "protanopia";
    case ColourVision::kDeuteranopia: return "deuteranopia";
    case ColourVision::kTritanopia: return "tritanopia";
  }
  return "";
}

LabColour SeenAs(ColorRef colour, ColourVision vision) {
  double rgb[3] = {Linear(colour & 0xFF), Linear((colour >> 8) & 0xFF), Linear((colour >> 16) & 0xFF)};
  const Matrix* matrix = vision == ColourVision::kProtanopia     ? &kProtanopia
                         : vision == ColourVision::kDeuteranopia ? &kDeuteranopia
                         : vision == ColourVision::kTritanopia   ? &kTritanopia
                                                                 : nullptr;
  if (matrix != nullptr) {
    double seen[3];
    for (int i = 0; i < 3; ++i) {
      seen[i] = std::clamp((*matrix)[i][0] * rgb[0] + (*matrix)[i][1] * rgb[1] + (*matrix)[i][2] * rgb[2], 0.0, 1.0);
    }
    std::copy(seen, seen + 3, rgb);
  }
  // sRGB to XYZ, relative to the D65 white.
  const double x = (0.4124564 * rgb[0] + 0.3575761 * rgb[1] + 0.1804375 * rgb[2]) / 0.95047;
  const double y = 0.2126729 * rgb[0] + 0.7151522 * rgb[1] + 0.0721750 * rgb[2];
  const double z = (0.0193339 * rgb[0] + 0.1191920 * rgb[1] + 0.9503041 * rgb[2]) / 1.08883;
  return {116.0 * LabF(y) - 16.0, 500.0 * (LabF(x) - LabF(y)), 200.0 * (LabF(y) - LabF(z))};
}

double Ciede2000(const LabColour& first, const LabColour& second) {
  const double c1 = std::hypot(first.a, first.b);
  const double c2 = std::hypot(second.a, second.b);
  const double meanC7 = std::pow((c1 + c2) / 2.0, 7.0);
  const double g = 0.5 * (1.0 - std::sqrt(meanC7 / (meanC7 + std::pow(25.0, 7.0))));
  const double a1 = (1.0 + g) * first.a;
  const double a2 = (1.0 + g) * second.a;
  const double c1p = std::hypot(a1, first.b);
  const double c2p = std::hypot(a2, second.b);
  const auto hue = [](double b, double a) {
    if (a == 0.0 && b == 0.0) return 0.0;
    const double h = Degrees(std::atan2(b, a));
    return h < 0.0 ? h + 360.0 : h;
  };
  const double h1 = hue(first.b, a1);
  const double h2 = hue(second.b, a2);
  const bool achromatic = c1p * c2p == 0.0;

  const double deltaL = second.lightness - first.lightness;
  const double deltaC = c2p - c1p;
  double deltaH = 0.0;
  if (!achromatic) {
    deltaH = h2 - h1;
    if (deltaH > 180.0) deltaH -= 360.0;
    if (deltaH < -180.0) deltaH += 360.0;
  }
  const double deltaBigH = 2.0 * std::sqrt(c1p * c2p) * std::sin(Radians(deltaH / 2.0));

  const double meanL = (first.lightness + second.lightness) / 2.0;
  const double meanCp = (c1p + c2p) / 2.0;
  double meanH = h1 + h2;
  if (!achromatic) {
    if (std::fabs(h1 - h2) <= 180.0) {
      meanH = (h1 + h2) / 2.0;
    } else {
      meanH = h1 + h2 < 360.0 ? (h1 + h2 + 360.0) / 2.0 : (h1 + h2 - 360.0) / 2.0;
    }
  }
  const double t = 1.0 - 0.17 * std::cos(Radians(meanH - 30.0)) + 0.24 * std::cos(Radians(2.0 * meanH)) +
                   0.32 * std::cos(Radians(3.0 * meanH + 6.0)) - 0.20 * std::cos(Radians(4.0 * meanH - 63.0));
  const double deltaTheta = 30.0 * std::exp(-std::pow((meanH - 275.0) / 25.0, 2.0));
  const double meanCp7 = std::pow(meanCp, 7.0);
  const double rc = 2.0 * std::sqrt(meanCp7 / (meanCp7 + std::pow(25.0, 7.0)));
  const double sl = 1.0 + 0.015 * (meanL - 50.0) * (meanL - 50.0) / std::sqrt(20.0 + (meanL - 50.0) * (meanL - 50.0));
  const double sc = 1.0 + 0.045 * meanCp;
  const double sh = 1.0 + 0.015 * meanCp * t;
  const double rt = -std::sin(Radians(2.0 * deltaTheta)) * rc;
  const double l = deltaL / sl, c = deltaC / sc, h = deltaBigH / sh;
  return std::sqrt(l * l + c * c + h * h + rt * c * h);
}

}  // namespace velmora
