#pragma once
// A display for frame-cycle tests: records every call, answers each operation from a
// queue of scripted results (Ok once the queue is empty), records the backgrounds
// selected, and can let the flip take time on a fake clock.

#include <deque>
#include <string>
#include <vector>

#include "display/FrameDisplay.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingDeviceContext.h"

namespace velmora::testing {

class FakeTextContext final : public TextDeviceContext {
public:
  void SelectPen(const Pen* pen) override { drawing.SelectPen(pen); }
  void SelectBrush(const Brush* brush) override { drawing.SelectBrush(brush); }
  void MoveTo(int x, int y) override { drawing.MoveTo(x, y); }
  void LineTo(int x, int y) override { drawing.LineTo(x, y); }
  void Polygon(const ScreenPoint (&corners)[3]) override { drawing.Polygon(corners); }
  void SetTextColor(ColorRef color) override { textColor = color; }
  void SetTransparentBackground() override { transparent = true; }
  void TextOut(int x, int y, std::string_view text) override {
    texts.push_back(std::string(text));
    textX = x;
    textY = y;
  }

  RecordingDeviceContext drawing;
  ColorRef textColor = 0;
  bool transparent = false;
  std::vector<std::string> texts;
  int textX = -1;
  int textY = -1;
};

struct SomaCopy {
  int x = 0;
  int y = 0;
  SourceRect source;
};

class FakeFrameDisplay final : public FrameDisplay {
public:
  DisplayResult BlitBackground() override {
    calls.push_back("BlitBackground");
    return Next(backgroundResults);
  }
  DisplayResult BlitSomaCell(int x, int y, const SourceRect& source) override {
    calls.push_back("BlitSomaCell");
    somaCopies.push_back({x, y, source});
    return Next(somaResults);
  }
  TextDeviceContext* GetBackBufferDC() override {
    calls.push_back("GetBackBufferDC");
    return contextAvailable ? &context : nullptr;
  }
  void ReleaseBackBufferDC(TextDeviceContext*) override { calls.push_back("ReleaseBackBufferDC"); }
  DisplayResult FlipBuffers() override {
    calls.push_back("FlipBuffers");
    if (clock != nullptr) {
      flipTicks.push_back(clock->nowMs);
      clock->nowMs += flipDurationMs;
    }
    return Next(flipResults);
  }
  DisplayResult RestoreSurfaces() override {
    calls.push_back("RestoreSurfaces");
    return DisplayResult::Ok;
  }
  void SelectBackground(Background background) override { backgrounds.push_back(background); }
  void Release() override { calls.push_back("Release"); }

  bool PlainSelected() const {
    for (const Background background : backgrounds) {
      if (background == Background::Plain) return true;
    }
    return false;
  }

  int Count(const std::string& call) const {
    int count = 0;
    for (const std::string& made : calls) count += made == call ? 1 : 0;
    return count;
  }

  std::deque<DisplayResult> backgroundResults;
  std::deque<DisplayResult> somaResults;
  std::deque<DisplayResult> flipResults;
  bool contextAvailable = true;
  FakeClock* clock = nullptr;        // moved on by each flip
  std::uint32_t flipDurationMs = 0;  // how far each flip moves the clock
  std::vector<std::string> calls;
  std::vector<SomaCopy> somaCopies;
  std::vector<std::uint32_t> flipTicks;  // clock (ms) at each flip call
  std::vector<Background> backgrounds;   // every selection, in order
  FakeTextContext context;

private:
  static DisplayResult Next(std::deque<DisplayResult>& results) {
    if (results.empty()) return DisplayResult::Ok;
    const DisplayResult result = results.front();
    results.pop_front();
    return result;
  }
};

}  // namespace velmora::testing
