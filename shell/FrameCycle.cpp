#include "shell/FrameCycle.h"

#include <cmath>

#include "display/FrameComposition.h"
#include "shell/Exhibit.h"

namespace velmora {
namespace {

constexpr double kFlipSmoothing = 0.01;  // weight of the newest flip time

// The pacing rule: the flip starts once the ticks since the frame's start reach the
// frame period less the smoothed flip time.
void WaitForFlipTime(Clock& clock, const FrameCycleState& cycle, std::uint32_t frameStart, Pacing pacing) {
  const float target = kFramePeriodMs - cycle.flipTimeAverage;
  const auto reached = [&] { return static_cast<float>(clock.TickCount() - frameStart) >= target; };
  if (pacing == Pacing::Sleep && !reached()) {
    // The first whole tick count that reaches the target: a sleep until that tick ends
    // exactly where the rule lets the flip start.
    clock.SleepUntil(frameStart + static_cast<std::uint32_t>(std::ceil(target)));
  }
  while (!reached()) {
  }
}

}  // namespace

FrameReport RunFrame(Exhibit& exhibit, Pacing pacing) {
  Clock& clock = exhibit.GetClock();
  FrameDisplay& display = exhibit.GetDisplay();
  FrameCycleState& cycle = exhibit.Cycle();
  Model& model = exhibit.Network();
  FrameReport report;
  const std::uint32_t frameStart = clock.TickCount();
  report.frameStart = frameStart;

  exhibit.ApplyPanelReply();
  exhibit.RunTimers();

  if (!DrawBackground(display)) return report;

  cycle.stepBudget += kStepsPerFrame;
  while (cycle.stepBudget >= 1) {
    model.Advance();
    exhibit.CountFirings();
    --cycle.stepBudget;
  }

  if (!DrawSomaSprites(display, model)) return report;
  DrawStatusLineAndModel(display, StatusText(cycle.relativeSimSpeed, exhibit.Texts()), model, display.NetworkStyle(),
                         exhibit.NoticeLines(), [&exhibit](TextDeviceContext& dc) { exhibit.DrawOverlays(dc); });
  WaitForFlipTime(clock, cycle, frameStart, pacing);

  const std::uint32_t flipStart = clock.TickCount();
  if (!FlipFrame(display)) return report;
  report.flipped = true;
  report.flipTimeMs = clock.TickCount() - flipStart;
  cycle.flipTimeAverage = static_cast<float>(kFlipSmoothing * report.flipTimeMs +
                                             (1.0 - kFlipSmoothing) * cycle.flipTimeAverage);

  cycle.relativeSimSpeed = RelativeSimSpeed(exhibit.Parameters().stepFactor, cycle.frameTimeMs);

  ++cycle.framesInWindow;
  if (frameStart - cycle.windowStart >= kCountingWindowMs) {
    cycle.windowStart = frameStart;
    cycle.framesPerSecond = cycle.framesInWindow;
    cycle.framesInWindow = 0;
  }
  // framesPerSecond stays 0 only if the tick was below 1000 ms at the first frame.
  if (cycle.framesPerSecond > 0) {
    cycle.frameTimeMs = static_cast<float>(1000 / cycle.framesPerSecond);
  }
  return report;
}

}  // namespace velmora
