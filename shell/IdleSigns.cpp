#include "shell/IdleSigns.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "shell/OverlayPainter.h"

namespace velmora {
namespace {

// Design pixels. The invitation stands over free ground below the network, centred;
// the countdown in the top left corner, above the first input's axon.
constexpr double kInvitationCentreX = 512.0;
constexpr double kInvitationTop = 690.0;
constexpr PlanePoint kCountdownCentre = {30.0, 32.0};
constexpr double kCountdownRadius = 16.0;
constexpr double kCountdownTextGap = 10.0;
constexpr double kDefaultLineHeight = 16.0;

// The painted ground the invitation fades out into, and its colours at full strength:
// light text with a dark shadow, readable over the ground and the neurites.
constexpr ColorRef kGround = Rgb(120, 78, 46);
constexpr ColorRef kInvitationColor = Rgb(255, 240, 160);
constexpr ColorRef kShadowColor = Rgb(30, 18, 8);
constexpr ColorRef kCountdownColor = Rgb(255, 255, 255);
constexpr int kRingPen = 3;
constexpr int kShadowOffset = 2;  // design pixels down and right

}  // namespace

double InvitationStrength(std::uint32_t sinceMs) {
  const double phase = static_cast<double>(sinceMs % kInvitationPeriodMs) / kInvitationPeriodMs;
  return 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * phase);
}

void DrawInvitation(OverlayPainter& painter, const std::string& text, double strength) {
  const double left = kInvitationCentreX - painter.TextWidth(text, true) / 2.0;
  painter.Text(left + kShadowOffset, kInvitationTop + kShadowOffset, text, MixColor(kGround, kShadowColor, strength), true);
  painter.Text(left, kInvitationTop, text, MixColor(kGround, kInvitationColor, strength), true);
}

void DrawCountdown(OverlayPainter& painter, const std::string& format, int secondsLeft, double shareLeft) {
  const double share = std::clamp(shareLeft, 0.0, 1.0);
  painter.Ring(kCountdownCentre, kCountdownRadius, kRingPen + 2, kShadowColor);
  painter.Ring(kCountdownCentre, kCountdownRadius, kRingPen, kCountdownColor, 1.0 - share, 1.0);
  // The format holds one integer conversion (StatusTexts keeps it so).
  char text[128];
  std::snprintf(text, sizeof text, format.c_str(), secondsLeft);
  const double x = kCountdownCentre.x + kCountdownRadius + kCountdownTextGap;
  const double y = kCountdownCentre.y - kDefaultLineHeight / 2.0;
  painter.Text(x + 1.0, y + 1.0, text, kShadowColor);
  painter.Text(x, y, text, kCountdownColor);
}

}  // namespace velmora
