#include "shell/MainForm.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "shell/ExhibitOptions.h"
#include "shell/Parameters.h"
#include "tests/support/FakeClock.h"

namespace velmora {
namespace {

using testing::FakeClock;
using testing::ScopedClock;

FormMessage Paint() { return {FormMessageKind::Paint, VK_NONE}; }
FormMessage Close() { return {FormMessageKind::Close, VK_NONE}; }
FormMessage Timer() { return {FormMessageKind::Timer, VK_NONE}; }
FormMessage Key(VirtualKey key) { return {FormMessageKind::KeyDown, key}; }

// Records every service call in order; messages come from a queue the test fills,
// and more can arrive while a frame runs.
class RecordingServices final : public FormServices {
public:
  void HideCursor() override { log.push_back("HideCursor"); }
  void DrawBanner(std::string_view text, int x, int y) override {
    log.push_back("DrawBanner");
    banner = std::string(text);
    bannerX = x;
    bannerY = y;
  }
  void PostStartMessage() override {
    log.push_back("PostStartMessage");
    queue.push_back({FormMessageKind::Start, VK_NONE});
  }
  bool NextMessage(FormMessage& message, bool wait) override {
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
    parameterAtInit = userParams[0];
    return displayWorks;
  }
  void OpenMidiOutput() override { log.push_back("OpenMidiOutput"); }
  void OpenPanelPort() override { log.push_back("OpenPanelPort"); }
  FrameReport RunFrame() override {
    log.push_back("RunFrame");
    ++frames;
    parameterAtFrame.push_back(userParams[0]);
    if (frames == throwAtFrame) throw std::runtime_error("frame failed");
    for (const FormMessage& message : arrivingDuringFrame[frames]) queue.push_back(message);
    return FrameReport{};
  }
  void PanelTimerTick() override { log.push_back("PanelTimerTick"); }
  void ReleaseDisplay() override { log.push_back("ReleaseDisplay"); }
  void DeleteDrawingObjects() override { log.push_back("DeleteDrawingObjects"); }
  void CloseMidiOutput() override { log.push_back("CloseMidiOutput"); }
  void ClosePanelPort() override { log.push_back("ClosePanelPort"); }

  int Count(const std::string& call) const {
    int count = 0;
    for (const std::string& made : log) count += made == call ? 1 : 0;
    return count;
  }

  std::deque<FormMessage> queue;
  std::map<int, std::vector<FormMessage>> arrivingDuringFrame;
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

class MainFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetToDefaults();
    userParams[0] = 99;  // shows whether the start-up reset came before the display
  }

  FakeClock clock{500'000};
  ScopedClock useClock{clock};
  RecordingServices services;
  ScriptedControl control;
};

TEST_F(MainFormTest, FirstPaintStartsEverythingInOrderThenFramesRun) {
  services.queue = {Paint()};
  control.endAfterFrames = 3;
  TForm1 form(services, control);
  form.Run();

  const std::vector<std::string> expected = {"HideCursor",     "DrawBanner",    "InitDisplay",
                                             "OpenMidiOutput", "OpenPanelPort", "PostStartMessage",
                                             "RunFrame",       "RunFrame",      "RunFrame"};
  EXPECT_EQ(services.log, expected);
  EXPECT_EQ(services.banner, "Velmora by Lumo, Esc to Exit");
  EXPECT_EQ(services.bannerX, 25);
  EXPECT_EQ(services.bannerY, 100);
  EXPECT_EQ(services.parameterAtInit, 6);
  EXPECT_EQ(form.running, 0);
  EXPECT_EQ(form.firstPaintDone, 0);
}

TEST_F(MainFormTest, LaterPaintsOnlyHideTheCursor) {
  services.queue = {Paint(), Paint()};
  services.arrivingDuringFrame[2] = {Paint()};
  control.endAfterFrames = 4;
  TForm1 form(services, control);
  form.Run();
  EXPECT_EQ(services.Count("HideCursor"), 3);
  EXPECT_EQ(services.Count("DrawBanner"), 1);
  EXPECT_EQ(services.Count("InitDisplay"), 1);
  EXPECT_EQ(services.Count("PostStartMessage"), 1);
  EXPECT_EQ(services.frames, 4);
}

TEST_F(MainFormTest, EndKeyBeforeTheStartMessageStillRunsOneFrame) {
  for (const VirtualKey end : {VK_ESCAPE, VK_F12}) {
    RecordingServices fresh;
    fresh.queue = {Paint(), Key(end)};  // the start message is posted behind the key
    TForm1 form(fresh, control);
    form.Run();
    EXPECT_EQ(fresh.frames, 1) << VirtualKeyName(end);
  }
}

TEST_F(MainFormTest, EndKeyBetweenFramesEndsTheLoopAfterThatFrame) {
  for (const VirtualKey end : {VK_ESCAPE, VK_F12}) {
    RecordingServices fresh;
    fresh.queue = {Paint()};
    fresh.arrivingDuringFrame[5] = {Key(end)};
    TForm1 form(fresh, control);
    form.Run();
    EXPECT_EQ(fresh.frames, 5) << VirtualKeyName(end);
    EXPECT_EQ(form.running, 0);
  }
}

TEST_F(MainFormTest, WindowCloseCommandDoesNotEndTheExhibit) {
  services.queue = {Paint(), Close()};
  services.arrivingDuringFrame[2] = {Close()};
  services.arrivingDuringFrame[7] = {Key(VK_ESCAPE)};
  TForm1 form(services, control);
  form.Run();
  EXPECT_EQ(services.frames, 7);
}

TEST_F(MainFormTest, PaintAfterEscDoesNotStartTheExhibitAgain) {
  services.queue = {Paint()};
  services.arrivingDuringFrame[2] = {Key(VK_ESCAPE), Paint()};
  TForm1 form(services, control);
  form.Run();
  EXPECT_EQ(services.Count("InitDisplay"), 1);
  EXPECT_EQ(services.Count("OpenMidiOutput"), 1);
  EXPECT_EQ(services.Count("PostStartMessage"), 1);
  EXPECT_EQ(services.frames, 2);
}

TEST_F(MainFormTest, DisplayFailureEndsWithoutFramesOrFurtherDevices) {
  services.displayWorks = false;
  services.queue = {Paint()};
  TForm1 form(services, control);
  form.Run();
  const std::vector<std::string> expected = {"HideCursor", "DrawBanner", "InitDisplay"};
  EXPECT_EQ(services.log, expected);
}

TEST_F(MainFormTest, DestroyReleasesDisplayDrawingObjectsMidiAndPanelInOrderOnce) {
  TForm1 form(services, control);
  form.FormDestroy();
  form.FormDestroy();
  const std::vector<std::string> expected = {"ReleaseDisplay", "DeleteDrawingObjects", "CloseMidiOutput",
                                             "ClosePanelPort"};
  EXPECT_EQ(services.log, expected);
}

TEST_F(MainFormTest, ExceptionReachingTheLoopIsShownAndProgramStillEndsInOrder) {
  std::vector<std::string> boxes;
  SetMessageBoxesHeadless(true);
  RecordMessageBoxes(&boxes);
  services.queue = {Paint()};
  services.throwAtFrame = 2;

  const int exitCode = RunExhibit(services, control);

  RecordMessageBoxes(nullptr);
  SetMessageBoxesHeadless(false);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: frame failed"});
  const std::vector<std::string> tail(services.log.end() - 4, services.log.end());
  const std::vector<std::string> expected = {"ReleaseDisplay", "DeleteDrawingObjects", "CloseMidiOutput",
                                             "ClosePanelPort"};
  EXPECT_EQ(tail, expected);
}

TEST_F(MainFormTest, ScriptedKeysAreHandledBetweenFramesAndEveryPressIsRecorded) {
  services.queue = {Paint()};
  services.arrivingDuringFrame[1] = {Key('1')};
  control.script = {{1, '1'}, {4, VirtualKey{'1'}}, {4, VK_ESCAPE}};
  TForm1 form(services, control);
  form.Run();

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

TEST_F(MainFormTest, TimerTicksPollThePanelBetweenFrames) {
  services.queue = {Paint(), Timer()};
  services.arrivingDuringFrame[1] = {Timer()};
  control.endAfterFrames = 2;
  TForm1 form(services, control);
  form.Run();
  const std::vector<std::string> expected = {"HideCursor",     "DrawBanner",    "InitDisplay",
                                             "OpenMidiOutput", "OpenPanelPort", "PostStartMessage",
                                             "PanelTimerTick", "RunFrame",      "PanelTimerTick",
                                             "RunFrame"};
  EXPECT_EQ(services.log, expected);
}

}  // namespace
}  // namespace velmora
