// Faults the exhibit survives while running: the display taken away and given back,
// the MIDI output vanishing, the control panel unplugged and plugged in again. Each
// time the exhibit goes on, says nothing on screen, and recovers what can recover.

#include <gtest/gtest.h>

#include <SDL.h>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/Display.h"
#include "model/SpeedRule.h"
#include "platform/MidiPort.h"
#include "platform/MidiSynth.h"
#include "shell/Exhibit.h"
#include "shell/ExhibitOptions.h"
#include "shell/FrameCycle.h"
#include "shell/PanelLink.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::FakeClock;
using testing::RecordingMessageBoxes;
using testing::TestExhibit;

constexpr std::uint32_t kStartMs = 2'000'000;
// A pixel of the top-left corner: background only, no element draws there.
constexpr int kCornerX = 2, kCornerY = 2;

std::uint16_t PixelAt(const SDL_Surface& surface, int x, int y) {
  return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                y * surface.pitch)[x];
}

// ---- The display taken away and given back ---------------------------------------

// The exhibit on a real display, headless, with its message boxes recorded.
class DisplayLossTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    exhibit.ResetToDefaults();
    window = SDL_CreateWindow("Velmora", 307, 184, 435, 300, 0);
    ASSERT_NE(window, nullptr);
    display.InitDisplay(window, ScreenMode::FullScreen, true);
    ASSERT_TRUE(display.Ready());
    // The shell hands every window event to the display, as the main loop does.
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) display.HandleEvent(event);
  }
  void TearDown() override {
    exhibit.Shutdown();
    SDL_DestroyWindow(window);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  bool Frame() { return RunFrame(exhibit, Pacing::Sleep).flipped; }
  // Spoils the image surfaces as a real loss would: only a reload brings them back.
  void SpoilImages() {
    for (const SDL_Surface* image : {display.BackgroundSurface(), display.LabeledBackgroundSurface(),
                                     display.SomaSurface()}) {
      SDL_FillRect(const_cast<SDL_Surface*>(image), nullptr, 0x1234);
    }
  }

  FakeClock clock{kStartMs};
  RecordingMessageBoxes recorder;
  std::vector<std::string>& boxes = recorder.shown;
  SDL_Window* window = nullptr;
  Display display{recorder};
  Exhibit exhibit{ExhibitOptions{}, clock, recorder, display};
};

TEST_F(DisplayLossTest, TheFirstFrameAfterSetUpIsDrawn) { EXPECT_TRUE(Frame()); }

TEST_F(DisplayLossTest, ALossCostsTheFramesOfEveryFailedRestorePlusOneThenTheSameBackgroundIsDrawn) {
  struct Loss {
    const char* how;
    int failingRestores;
    bool byWindowEvent;
  };
  const Loss losses[] = {
      {"given back at once", 0, false},
      {"given back after one failed restore", 1, false},
      {"given back after four failed restores", 4, false},
      {"window resized later", 0, true},
  };
  for (const Loss& loss : losses) {
    display.SelectBackground(Background::Labeled);
    ASSERT_TRUE(Frame()) << loss.how;
    const std::uint16_t before = PixelAt(*display.BackBuffer(), kCornerX, kCornerY);
    if (loss.byWindowEvent) {
      SDL_Event resized{};
      resized.type = SDL_WINDOWEVENT;
      resized.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
      resized.window.windowID = SDL_GetWindowID(window);
      const Uint32 now = SDL_GetTicks();
      while (SDL_GetTicks() == now) SDL_Delay(1);
      resized.window.timestamp = SDL_GetTicks();
      display.HandleEvent(resized);
    } else {
      display.InjectSurfaceLoss(loss.failingRestores);
    }
    SpoilImages();
    int dropped = 0;
    while (!Frame()) {
      ++dropped;
      ASSERT_LE(dropped, loss.failingRestores + 1) << loss.how;
    }
    EXPECT_EQ(dropped, loss.failingRestores + 1) << loss.how;
    EXPECT_TRUE(display.LabeledBackgroundSelected()) << loss.how;
    EXPECT_EQ(PixelAt(*display.BackBuffer(), kCornerX, kCornerY), before) << loss.how;
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(DisplayLossTest, ADroppedFrameNeitherStepsTheModelNorCountsItself) {
  display.InjectSurfaceLoss();
  const double timeBefore = exhibit.Network().time;
  const std::int32_t framesBefore = exhibit.Cycle().framesInWindow;
  EXPECT_FALSE(Frame());
  EXPECT_EQ(exhibit.Network().time, timeBefore);
  EXPECT_EQ(exhibit.Cycle().framesInWindow, framesBefore);
  EXPECT_TRUE(Frame());
  EXPECT_GT(exhibit.Network().time, timeBefore);
}

// ---- The MIDI output vanishing ---------------------------------------------------

// A port that works for `workingSends` messages, then fails in the given way.
struct VanishingPort {
  enum class Failure { ReportsFailure, Throws };
  Failure failure;
  int workingSends;
  std::atomic<int> sends{0};
  std::atomic<int> closes{0};

  MidiPortSend Send() {
    return [this](const std::uint8_t*, std::size_t) {
      if (++sends <= workingSends) return true;
      if (failure == Failure::Throws) throw std::runtime_error("port gone");
      return false;
    };
  }
  std::function<void()> Close() {
    return [this] { ++closes; };
  }
};

TEST(MidiFaultTest, AfterAPortFailsItsOutputDropsEverythingQuietlyAndStillClosesOnce) {
  const struct {
    VanishingPort::Failure failure;
    int workingSends;
  } cases[] = {{VanishingPort::Failure::ReportsFailure, 0},
               {VanishingPort::Failure::ReportsFailure, 20},
               {VanishingPort::Failure::Throws, 0},
               {VanishingPort::Failure::Throws, 20}};
  constexpr int kMessages = 5000;  // far more than the output's queue
  for (const auto& c : cases) {
    VanishingPort port{c.failure, c.workingSends};
    {
      std::unique_ptr<MidiOutput> output = MakeQueuedPortOutput(port.Send(), port.Close());
      for (int i = 0; i < kMessages; ++i) {
        EXPECT_EQ(SendMidiShort(output.get(), 0x90, i % 16, 60, 100), MidiSendResult::Accepted);
      }
    }  // the sender drains and stops
    // Every message up to the failure reached the port, and the failed one; no more.
    EXPECT_EQ(port.sends.load(), c.workingSends + 1);
    EXPECT_EQ(port.closes.load(), 1);
  }
}

TEST(MidiFaultTest, AnExternalPortUnpluggedWhileRunningLeavesTheFramesGoingSilently) {
  VanishingPort port{VanishingPort::Failure::Throws, 16};  // the 16 program changes, then gone
  TestExhibit test(kStartMs, ExhibitOptions{},
                   [&port](std::string&) { return MakeQueuedPortOutput(port.Send(), port.Close()); });
  Exhibit& exhibit = test.exhibit;
  exhibit.ResetToDefaults();
  exhibit.OpenMidiOutput();
  // The top speed, so that somas fire within the run.
  exhibit.Apply({VisitorActionKind::SetSpeed, 0, false, 30}, monitoring::InteractionSource::Panel);
  test.display.clock = &test.clock;
  test.display.flipDurationMs = 5;
  int flipped = 0;
  for (int frame = 0; frame < 400; ++frame) {
    if (frame % 10 == 0) exhibit.Network().Stimulate(true, frame % 20 == 0);
    flipped += RunFrame(exhibit, Pacing::Sleep).flipped ? 1 : 0;
  }
  exhibit.Shutdown();
  EXPECT_EQ(flipped, 400);
  EXPECT_EQ(port.sends.load(), 17);  // the program changes, then the first note failed
  EXPECT_EQ(port.closes.load(), 1);
  EXPECT_TRUE(test.boxes.shown.empty());
}

TEST(MidiFaultTest, AnAudioDeviceThatGoesAwayLeavesTheSynthesiserQuietAndSendsHarmless) {
  const std::string soundfont = FindDefaultSoundfont();
  if (soundfont.empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::string error;
  std::unique_ptr<MidiOutput> output = OpenSynthOutput(soundfont, error);
  ASSERT_NE(output, nullptr) << error;
  EXPECT_EQ(SendMidiShort(output.get(), 0x90, 0, 60, 100), MidiSendResult::Accepted);
  // The audio system closes every device under the synthesiser.
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  for (int i = 0; i < 5000; ++i) EXPECT_EQ(SendMidiShort(output.get(), 0x90, i % 16, 60, 100), MidiSendResult::Accepted);
  output.reset();
}

// ---- The panel unplugged and plugged in again ------------------------------------

// A pseudo-terminal standing for the panel; the exhibit reaches it through a link
// whose target the test can change, as a device that reappears under the same name.
struct PanelEnd {
  int panelFd = -1;
  int lineFd = -1;
  std::string path;
  void Open() {
    char name[256] = {};
    ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
    fcntl(panelFd, F_SETFL, fcntl(panelFd, F_GETFL) | O_NONBLOCK);
    path = name;
  }
  void Unplug() {
    if (panelFd >= 0) close(panelFd);
    if (lineFd >= 0) close(lineFd);
    panelFd = lineFd = -1;
  }
  std::vector<std::uint8_t> Received() {
    std::vector<std::uint8_t> got;
    std::uint8_t buffer[256];
    for (int tries = 0; tries < 200 && got.empty(); ++tries) {
      for (;;) {
        const ssize_t n = read(panelFd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
      }
      if (got.empty()) usleep(1000);
    }
    return got;
  }
};

TEST(PanelFaultTest, APanelUnpluggedAndPluggedBackInIsTakenUpAgainWhileFramesGoOn) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("velmora-panel-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const fs::path device = folder / "ttyPanel";
  PanelEnd first, second;
  first.Open();
  fs::create_symlink(first.path, device);
  ExhibitOptions options;
  options.panelDevice = device.string();
  TestExhibit test(kStartMs, options);
  Exhibit& exhibit = test.exhibit;
  const PanelLinkState& link = exhibit.GetPanelLink().State();
  exhibit.ResetToDefaults();
  exhibit.OpenPanelPort();
  EXPECT_FALSE(first.Received().empty());  // the status packet
  test.display.clock = &test.clock;
  test.display.flipDurationMs = 5;
  auto frames = [&](int count) {
    int flipped = 0;
    for (int i = 0; i < count; ++i) {
      if (i % 5 == 0) exhibit.PanelTimerTick();
      flipped += RunFrame(exhibit, Pacing::Sleep).flipped ? 1 : 0;
    }
    return flipped;
  };

  // Unplugged: the device and its name are gone.
  first.Unplug();
  fs::remove(device);
  EXPECT_EQ(frames(500), 500);  // 10 s of frames, with retries every 3 s
  EXPECT_TRUE(link.lineLost);

  // Plugged in again: a new device under the same name.
  second.Open();
  fs::create_symlink(second.path, device);
  EXPECT_EQ(frames(200), 200);
  EXPECT_FALSE(link.lineLost);
  EXPECT_TRUE(link.panelPort.IsOpen());

  // The link works again: a poll is answered and taken in.
  exhibit.PanelTimerTick();
  std::vector<std::uint8_t> polls = second.Received();
  ASSERT_FALSE(polls.empty());
  EXPECT_EQ(polls.back(), 'g');
  const std::uint8_t reply[kReplyBytes] = {0, 0, 22, 1, 2, 3, 4, 5, 6};
  ASSERT_EQ(write(second.panelFd, reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
  for (int tries = 0; tries < 200 && link.replyExpected; ++tries) {
    exhibit.ApplyPanelReply();
    if (link.replyExpected) usleep(1000);
  }
  EXPECT_EQ(exhibit.Parameters().speedSetting, 22.0f);
  EXPECT_EQ(exhibit.Parameters().weights[5], 6);

  exhibit.Shutdown();
  second.Unplug();
  fs::remove_all(folder);
  EXPECT_TRUE(test.boxes.shown.empty());
}

}  // namespace
}  // namespace velmora
