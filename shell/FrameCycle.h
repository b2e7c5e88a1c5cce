#pragma once
// One 20 ms frame of the exhibit: panel input, the label, idle and periodic timers,
// background, 20 model steps, soma sprites by activity, the status line and the
// model's drawing, pacing, flip, and the frame-rate count behind the status line.

#include <cstdint>

namespace velmora {

class Exhibit;

inline constexpr float kFramePeriodMs = 20.0f;
inline constexpr std::uint32_t kCountingWindowMs = 1000;

// State of the frame cycle; lives as long as the exhibit and no reset touches it.
struct FrameCycleState {
  std::int32_t stepBudget = 0;           // model steps still owed in this frame
  float flipTimeAverage = 5.0f;          // ms, smoothed duration of the flip
  std::uint32_t windowStart = 0;         // tick (ms) at which the counting window began
  std::int32_t framesInWindow = 0;       // frames counted in the current window
  std::int32_t framesPerSecond = 0;      // frames of the last completed window
  float frameTimeMs = 20.0f;             // 1000 / framesPerSecond, whole ms
  float relativeSimSpeed = 0.0f;         // simulated ms per real ms, as last computed
};

enum class Pacing {
  Sleep,     // one sleep to the tick at which the flip is due (Clock::SleepUntil)
  BusyWait,  // poll the tick the whole time
};

// What became of one frame, for the main loop's frame log.
struct FrameReport {
  std::uint32_t frameStart = 0;  // tick (ms) at the frame's start
  bool flipped = false;          // false: the frame was left early
  std::uint32_t flipTimeMs = 0;  // ticks the flip took
};

// One frame of the exhibit on its display, paced on its clock.
FrameReport RunFrame(Exhibit& exhibit, Pacing pacing);

}  // namespace velmora
