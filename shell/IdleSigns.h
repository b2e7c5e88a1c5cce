#pragma once
// What the exhibit shows when nobody plays: the invitation to touch it, which fades in
// and out over the live picture after an idle reset, and the countdown in the last
// seconds before that reset. Both are drawn over the picture like the touch controls.

#include <cstdint>
#include <string>

namespace velmora {

class OverlayPainter;

// The invitation fades in and out once per this long (ms): slow enough to read, lively
// enough to be noticed.
inline constexpr std::uint32_t kInvitationPeriodMs = 4000;

// How strongly the invitation shows `sinceMs` after it began: 0 (not at all) to 1,
// rising from 0.
double InvitationStrength(std::uint32_t sinceMs);

// The invitation's text, large, centred low over the picture, `strength` 0 .. 1 of
// the way from the painted ground's colour to its own.
void DrawInvitation(OverlayPainter& painter, const std::string& text, double strength);

// The countdown: a ring that shrinks from whole to nothing as `shareLeft` goes from 1
// to 0, beside `format` (one integer conversion) with the seconds left.
void DrawCountdown(OverlayPainter& painter, const std::string& format, int secondsLeft, double shareLeft);

}  // namespace velmora
