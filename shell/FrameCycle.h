#pragma once
// One 20 ms frame of the exhibit: panel input, the label, idle and periodic timers,
// background, 20 model steps, soma sprites by activity, the status line and the
// model's drawing, pacing, flip, and the frame-rate count behind the status line.

#include <cstdint>
#include <string>

#include "display/FrameDisplay.h"

namespace velmora {

inline constexpr float kFramePeriodMs = 20.0f;
inline constexpr std::int32_t kStepsPerFrame = 20;
inline constexpr double kLabelTimeMinutes = 0.09;       // 5.4 s of labelled picture
inline constexpr double kIdleTimeMinutes = 1.0;         // without input until the reset
inline constexpr double kPeriodicResetMinutes = 30.0;   // unconditional reset interval
inline constexpr int kSpriteCellPixels = 80;            // soma sprite cell, square
inline constexpr double kActivityScale = 31.0;          // activity 1.0 selects cell 31
inline constexpr int kStatusLineX = 0;                  // pixels
inline constexpr int kStatusLineY = 748;                // pixels
inline constexpr float kZeroSpeedLimit = 0.00001f;      // at or below: standstill
inline constexpr std::uint32_t kCountingWindowMs = 1000;
// The sleeping wait stops this far before the pacing deadline and polls the tick for
// the rest, so sleep overshoot cannot make a frame late.
inline constexpr float kPollMarginMs = 2.0f;

// Top-left screen corners of the three soma sprites (row i of the sheet is soma i).
inline constexpr int somaX[3] = {202, 411, 635};
inline constexpr int somaY[3] = {185, 446, 273};

// State of the frame cycle; lives for the whole process and no reset touches it.
struct FrameCycleState {
  std::int32_t stepBudget = 0;           // model steps still owed in this frame
  float flipTimeAverage = 5.0f;          // ms, smoothed duration of the flip
  std::uint32_t windowStart = 0;         // tick (ms) at which the counting window began
  std::int32_t framesInWindow = 0;       // frames counted in the current window
  std::int32_t framesPerSecond = 0;      // frames of the last completed window
  float frameTimeMs = 20.0f;             // 1000 / framesPerSecond, whole ms
  float relativeSimSpeed = 0.0f;         // simulated ms per real ms, as last computed
};

extern FrameCycleState frameCycle;
// Minutes (as CurrentMinutes) of the last periodic reset; the reading at load at first.
extern float lastPeriodicResetMinutes;

enum class Pacing {
  SleepThenPoll,  // sleep while more than kPollMarginMs remain, then poll the tick
  BusyWait,       // poll the tick the whole time
};

// What became of one frame, for the main loop's frame log.
struct FrameReport {
  std::uint32_t frameStart = 0;  // tick (ms) at the frame's start
  bool flipped = false;          // false: the frame was left early
  std::uint32_t flipTimeMs = 0;  // ticks the flip took
};

// The sprite-sheet rectangle a frame copies for soma `soma` (0 .. 2) at activity
// `activity` (0 .. 1): cell trunc(activity x 31) of the soma's row, 79 x 79 pixels.
SourceRect SomaSpriteCell(int soma, float activity);

FrameReport RunFrame(FrameDisplay& display, Pacing pacing);

// The status line for a relative speed (simulated ms per real ms).
std::string StatusText(float relativeSimSpeed);

}  // namespace velmora
