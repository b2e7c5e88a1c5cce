#include "shell/MainWindow.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell/Exhibit.h"
#include "shell/ExhibitOptions.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::TestExhibit;

WindowMessage Paint() { return {WindowMessageKind::Paint, VK_NONE}; }
WindowMessage Close() { return {WindowMessageKind::Close, VK_NONE}; }
WindowMessage Timer() { return {WindowMessageKind::Timer, VK_NONE}; }
WindowMessage Key(VirtualKey key) { return {WindowMessageKind::KeyDown, key}; }

// Records every service call in order; messages come from a queue the test fills,
// and more can arrive while a frame runs.
class RecordingServices final : public MainWindowServices {
public:
  explicit RecordingServices(Exhibit& shown) : exhibit(shown) {}
  void HideCursor() override { log.push_back("HideCursor"); }
  void DrawBanner(std::string_view text, int x, int y) override {
    log.push_back("DrawBanner");
    banner = std::string(text);
    bannerX = x;
    bannerY = y;
  }
  void PostStartMessage() override {
    log.push_back("PostStartMessage");
    queue.push_back({WindowMessageKind::Start, VK_NONE});
  }
  bool NextMessage(WindowMessage& message, bool wait) override {
    if (queue.empty()) {
      // A loop that waits with nothing left to happen would never end.
      if (wait && ++idleWaits > 100) throw std::runtime_error("waiting with nothing to do");
      return false;
    }
    message = queue.front();
    queue.pop_front();
    return true;
  }
  bool InitDisplay() override {
    log.push_back("InitDisplay");
    parameterAtInit = exhibit.Parameters().weights[0];
    return displayWorks;
  }
  void OpenMidiOutput() override { log.push_back("OpenMidiOutput"); }
  void OpenPanelPort() override { log.push_back("OpenPanelPort"); }
  FrameReport RunFrame() override {
    log.push_back("RunFrame");
    ++frames;
    parameterAtFrame.push_back(exhibit.Parameters().weights[0]);
    if (frames == throwAtFrame) throw std::runtime_error("frame failed");
    for (const WindowMessage& message : arrivingDuringFrame[frames]) queue.push_back(message);
    return FrameReport{};
  }
  void PanelTimerTick() override { log.push_back("PanelTimerTick"); }
  void Shutdown() override { log.push_back("Shutdown"); }

  int Count(const std::string& call) const {
    int count = 0;
    for (const std::string& made : log) count += made == call ? 1 : 0;
    return count;
  }

  Exhibit& exhibit;
  std::deque<WindowMessage> queue;
  std::map<int, std::vector<WindowMessage>> arrivingDuringFrame;
  bool displayWorks = true;
  int throwAtFrame = 0;
  std::vector<std::string> log;
  std::string banner;
  int bannerX = -1;
  int bannerY = -1;
  int frames = 0;
  int idleWaits = 0;
  std::int32_t parameterAtInit = -1;
  std::vector<std::int32_t> parameterAtFrame;
};

class ScriptedControl final : public RunControl {
public:
  void KeysBeforeFrame(std::int64_t frame, std::vector<VirtualKey>& keys) override {
    for (const KeyPress& press : script) {
      if (press.frame == frame) keys.push_back(press.key);
    }
  }
  void KeyPressed(VirtualKey key, std::int64_t frame) override { pressed.push_back({frame, key}); }
  bool EndRequested(std::int64_t framesRun) override { return endAfterFrames > 0 && framesRun >= endAfterFrames; }

  std::vector<KeyPress> script;
  std::vector<KeyPress> pressed;
  std::int64_t endAfterFrames = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Shows whether the start-up reset came before the display.
    test.exhibit.Apply({VisitorActionKind::SetWeight, 0, false, 99}, monitoring::InteractionSource::Panel);
  }

  TestExhibit test{500'000};
  RecordingServices services{test.exhibit};
  ScriptedControl control;
};

TEST_F(MainWindowTest, FirstPaintStartsEverythingInOrderThenFramesRun) {
  services.queue = {Paint()};
  control.endAfterFrames = 3;
  MainWindow window(services, control, test.exhibit);
  window.Run();

  const std::vector<std::string> expected = {"HideCursor",     "DrawBanner",    "InitDisplay",
                                             "OpenMidiOutput", "OpenPanelPort", "PostStartMessage",
                                             "RunFrame",       "RunFrame",      "RunFrame"};
  EXPECT_EQ(services.log, expected);
  EXPECT_EQ(services.banner, "Velmora by Lumo, Esc to Exit");
  EXPECT_EQ(services.bannerX, 25);
  EXPECT_EQ(services.bannerY, 100);
  EXPECT_EQ(services.parameterAtInit, 6);
  EXPECT_FALSE(window.running);
  EXPECT_FALSE(window.firstPaintDone);
}

TEST_F(MainWindowTest, LaterPaintsOnlyHideTheCursor) {
  services.queue = {Paint(), Paint()};
  services.arrivingDuringFrame[2] = {Paint()};
  control.endAfterFrames = 4;
  MainWindow window(services, control, test.exhibit);
  window.Run();
  EXPECT_EQ(services.Count("HideCursor"), 3);
  EXPECT_EQ(services.Count("DrawBanner"), 1);
  EXPECT_EQ(services.Count("InitDisplay"), 1);
  EXPECT_EQ(services.Count("PostStartMessage"), 1);
  EXPECT_EQ(services.frames, 4);
}

TEST_F(MainWindowTest, EndKeyBeforeTheStartMessageStillRunsOneFrame) {
  for (const VirtualKey end : {VK_ESCAPE, VK_F12}) {
    RecordingServices fresh(test.exhibit);
    fresh.queue = {Paint(), Key(end)};  // the start message is posted behind the key
    MainWindow window(fresh, control, test.exhibit);
    window.Run();
    EXPECT_EQ(fresh.frames, 1) << VirtualKeyName(end);
  }
}

TEST_F(MainWindowTest, EndKeyBetweenFramesEndsTheLoopAfterThatFrame) {
  for (const VirtualKey end : {VK_ESCAPE, VK_F12}) {
    RecordingServices fresh(test.exhibit);
    fresh.queue = {Paint()};
    fresh.arrivingDuringFrame[5] = {Key(end)};
    MainWindow window(fresh, control, test.exhibit);
    window.Run();
    EXPECT_EQ(fresh.frames, 5) << VirtualKeyName(end);
    EXPECT_FALSE(window.running);
  }
}

TEST_F(MainWindowTest, WindowCloseCommandDoesNotEndTheExhibit) {
  services.queue = {Paint(), Close()};
  services.arrivingDuringFrame[2] = {Close()};
  services.arrivingDuringFrame[7] = {Key(VK_ESCAPE)};
  MainWindow window(services, control, test.exhibit);
  window.Run();
  EXPECT_EQ(services.frames, 7);
}

TEST_F(MainWindowTest, PaintAfterEscDoesNotStartTheExhibitAgain) {
  services.queue = {Paint()};
  services.arrivingDuringFrame[2] = {Key(VK_ESCAPE), Paint()};
  MainWindow window(services, control, test.exhibit);
  window.Run();
  EXPECT_EQ(services.Count("InitDisplay"), 1);
  EXPECT_EQ(services.Count("OpenMidiOutput"), 1);
  EXPECT_EQ(services.Count("PostStartMessage"), 1);
  EXPECT_EQ(services.frames, 2);
}

TEST_F(MainWindowTest, DisplayFailureEndsWithoutFramesOrFurtherDevices) {
  services.displayWorks = false;
  services.queue = {Paint()};
  MainWindow window(services, control, test.exhibit);
  window.Run();
  const std::vector<std::string> expected = {"HideCursor", "DrawBanner", "InitDisplay"};
  EXPECT_EQ(services.log, expected);
}

TEST_F(MainWindowTest, ShutdownHappensOnce) {
  MainWindow window(services, control, test.exhibit);
  window.Shutdown();
  window.Shutdown();
  EXPECT_EQ(services.log, std::vector<std::string>{"Shutdown"});
}

TEST_F(MainWindowTest, ExceptionReachingTheLoopIsShownAndProgramStillEndsInOrder) {
  services.queue = {Paint()};
  services.throwAtFrame = 2;

  const int exitCode = RunExhibit(services, control, test.exhibit);

  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(test.boxes.shown, std::vector<std::string>{"Velmora: frame failed"});
  EXPECT_EQ(services.log.back(), "Shutdown");
  EXPECT_EQ(services.Count("Shutdown"), 1);
}

TEST_F(MainWindowTest, ScriptedKeysAreHandledBetweenFramesAndEveryPressIsRecorded) {
  services.queue = {Paint()};
  services.arrivingDuringFrame[1] = {Key('1')};
  control.script = {{1, '1'}, {4, VirtualKey{'1'}}, {4, VK_ESCAPE}};
  MainWindow window(services, control, test.exhibit);
  window.Run();

  // The start-up reset made it 6; the scripted press came before the first frame,
  // the window's press after it; Esc before frame 4 ends the loop after frame 3.
  EXPECT_EQ(services.parameterAtFrame, (std::vector<std::int32_t>{7, 8, 8}));
  ASSERT_EQ(control.pressed.size(), 4u);
  const std::int64_t frames[] = {1, 2, 4, 4};
  const VirtualKey keys[] = {'1', '1', '1', VK_ESCAPE};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(control.pressed[i].frame, frames[i]);
    EXPECT_EQ(control.pressed[i].key, keys[i]);
  }
}

TEST_F(MainWindowTest, TimerTicksPollThePanelBetweenFrames) {
  services.queue = {Paint(), Timer()};
  services.arrivingDuringFrame[1] = {Timer()};
  control.endAfterFrames = 2;
  MainWindow window(services, control, test.exhibit);
  window.Run();
  const std::vector<std::string> expected = {"HideCursor",     "DrawBanner",    "InitDisplay",
                                             "OpenMidiOutput", "OpenPanelPort", "PostStartMessage",
                                             "PanelTimerTick", "RunFrame",      "PanelTimerTick",
                                             "RunFrame"};
  EXPECT_EQ(services.log, expected);
}

}  // namespace
}  // namespace velmora
