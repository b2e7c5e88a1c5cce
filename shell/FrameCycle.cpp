#include "shell/FrameCycle.h"

#include <cstdio>

#include "model/DeviceContext.h"
#include "platform/Clock.h"
#include "shell/ExhibitModel.h"
#include "shell/PanelLink.h"
#include "shell/Parameters.h"

namespace velmora {

FrameCycleState frameCycle;
float lastPeriodicResetMinutes = static_cast<float>(CurrentMinutes());

namespace {

constexpr ColorRef kStatusTextColor = Rgb(255, 255, 255);
constexpr double kFlipSmoothing = 0.01;  // weight of the newest flip time
constexpr int kSomaCount = 3;

// A display call under the frame's policy: retried at once while the device is still
// drawing; a lost surface is restored and, like any other failure, gives up the frame.
template <typename Call>
bool Succeeds(FrameDisplay& display, Call call) {
  for (;;) {
    const DisplayResult result = call();
    if (result == DD_OK) return true;
    if (result == DDERR_WASSTILLDRAWING) continue;
    if (result == DDERR_SURFACELOST) display.RestoreSurfaces();
    return false;
  }
}

void RunTimers() {
  if (idleResetDone == 0) {
    if (MinutesSince(lastInteractionMinutes) > kLabelTimeMinutes && selectBackground != nullptr) {
      selectBackground(Background::Plain);
    }
    if (MinutesSince(lastInteractionMinutes) > kIdleTimeMinutes) ResetToDefaults(ResetCause::Idle);
  }
  // Whatever the idle state: even a visitor who never stops playing gets a fresh start.
  if (MinutesSince(lastPeriodicResetMinutes) > kPeriodicResetMinutes) {
    ResetToDefaults(ResetCause::Periodic);
    lastPeriodicResetMinutes = static_cast<float>(CurrentMinutes());
  }
}

bool DrawSprites(FrameDisplay& display) {
  float activity[kSomaCount];
  model.GetActivity(activity);
  for (int i = 0; i < kSomaCount; ++i) {
    const SourceRect source = SomaSpriteCell(i, activity[i]);
    if (!Succeeds(display, [&] { return display.BlitSomaCell(somaX[i], somaY[i], source); })) {
      return false;
    }
  }
  return true;
}

void DrawTextAndModel(FrameDisplay& display) {
  TextDeviceContext* dc = display.GetBackBufferDC();
  if (dc == nullptr) return;
  dc->SetTextColor(kStatusTextColor);
  dc->SetTransparentBackground();
  dc->TextOut(kStatusLineX, kStatusLineY, StatusText(frameCycle.relativeSimSpeed));
  model.Draw(*dc);
  display.ReleaseBackBufferDC(dc);
}

void WaitForFlipTime(std::uint32_t frameStart, Pacing pacing) {
  Clock& clock = ActiveClock();
  const float target = kFramePeriodMs - frameCycle.flipTimeAverage;
  for (;;) {
    const auto elapsed = static_cast<float>(clock.TickCount() - frameStart);
    if (elapsed >= target) return;
    const float remaining = target - elapsed;
    if (pacing == Pacing::SleepThenPoll && remaining > kPollMarginMs) {
      const auto sleepMs = static_cast<std::uint32_t>(remaining - kPollMarginMs);
      if (sleepMs > 0) clock.Sleep(sleepMs);
    }
  }
}

}  // namespace

std::string StatusText(float relativeSimSpeed) {
  if (!(relativeSimSpeed > kZeroSpeedLimit)) return "Geschwindigkeit: Null!";
  const auto slower = static_cast<int>(1.0 / relativeSimSpeed);
  if (slower <= 1) return "Geschwindigkeit: wie in Wirklichkeit!";
  char text[96];
  std::snprintf(text, sizeof text, "Geschwindigkeit: % 3i mal so langsam wie in Wirklichkeit", slower);
  return text;
}

SourceRect SomaSpriteCell(int soma, float activity) {
  const int cell = static_cast<int>(activity * kActivityScale);
  SourceRect source;
  source.left = kSpriteCellPixels * cell;
  source.top = kSpriteCellPixels * soma;
  // One pixel short of the cell: 79 x 79 of each 80 x 80 cell reach the screen.
  source.right = source.left + kSpriteCellPixels - 1;
  source.bottom = source.top + kSpriteCellPixels - 1;
  return source;
}

FrameReport RunFrame(FrameDisplay& display, Pacing pacing) {
  Clock& clock = ActiveClock();
  FrameReport report;
  const std::uint32_t frameStart = clock.TickCount();
  report.frameStart = frameStart;

  ApplyPanelReply();
  RunTimers();

  if (!Succeeds(display, [&] { return display.BlitBackground(); })) return report;

  frameCycle.stepBudget += kStepsPerFrame;
  while (frameCycle.stepBudget >= 1) {
    model.Advance();
    --frameCycle.stepBudget;
  }

  if (!DrawSprites(display)) return report;
  DrawTextAndModel(display);
  WaitForFlipTime(frameStart, pacing);

  const std::uint32_t flipStart = clock.TickCount();
  if (!Succeeds(display, [&] { return display.FlipBuffers(); })) return report;
  report.flipped = true;
  report.flipTimeMs = clock.TickCount() - flipStart;
  frameCycle.flipTimeAverage = static_cast<float>(
      kFlipSmoothing * report.flipTimeMs + (1.0 - kFlipSmoothing) * frameCycle.flipTimeAverage);

  frameCycle.relativeSimSpeed =
      stepFactor * static_cast<float>(kStepsPerFrame) / frameCycle.frameTimeMs;

  ++frameCycle.framesInWindow;
  if (frameStart - frameCycle.windowStart >= kCountingWindowMs) {
    frameCycle.windowStart = frameStart;
    frameCycle.framesPerSecond = frameCycle.framesInWindow;
    frameCycle.framesInWindow = 0;
  }
  // framesPerSecond stays 0 only if the tick was below 1000 ms at the first frame.
  if (frameCycle.framesPerSecond > 0) {
    frameCycle.frameTimeMs = static_cast<float>(1000 / frameCycle.framesPerSecond);
  }
  return report;
}

}  // namespace velmora
