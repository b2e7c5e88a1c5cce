#pragma once
// A finger on the touch screen, or the mouse's left button, as the window reports it.

#include <cstdint>

namespace velmora {

enum class TouchPhase { Down, Move, Up };

// The mouse's left button counts as a finger of its own, with this id.
inline constexpr std::int64_t kMouseFinger = -1;

struct ScreenTouch {
  std::int64_t finger = 0;  // the same from the finger's down to its up
  TouchPhase phase = TouchPhase::Down;
  double x = 0.0;           // pixels of the screen's output from the left, as it is driven
  double y = 0.0;           // and from the top
  std::uint32_t eventTicks = 0;  // SDL's tick (ms) at which the event came in; 0: not known
};

}  // namespace velmora
