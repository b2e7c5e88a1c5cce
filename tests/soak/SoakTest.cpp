// Long runs of the real exhibit code, headless and unpaced: the main window's loop
// and frame cycle with the real model, visitor parameters, panel link (over a
// pseudo-terminal) and MIDI opening, on a fake clock, under a seeded storm of keys,
// stimuli and panel replies with out-of-range values. Throughout: activity stays in
// 0 .. 1, spikes in flight stay bounded, the heap stays flat after warm-up, and every
// idle and periodic reset happens when due, also across a wrap of the 32-bit tick.
// The figures of each run are printed for the operator's documentation.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "display/FrameComposition.h"
#include "model/Axon.h"
#include "model/Defaults.h"
#include "model/Dendrite.h"
#include "model/SpeedRule.h"
#include "platform/Clock.h"
#include "shell/Exhibit.h"
#include "shell/ExhibitOptions.h"
#include "shell/FrameCycle.h"
#include "shell/MainWindow.h"
#include "shell/MidiDevice.h"
#include "shell/PanelLink.h"
#include "tests/support/RecordingMessageBoxes.h"

namespace velmora {
namespace {

// ---- Figures of the runs, in one place -------------------------------------------

constexpr std::uint64_t kMsPerMinute = 60'000;
constexpr std::uint64_t kMsPerHour = 60 * kMsPerMinute;
// Exhibit time each long run covers on the fake clock.
constexpr std::uint64_t kSoakSpanMs = 24 * kMsPerHour;
// Frames each long run makes. 24 h at the real 20 ms would be 4.32 M frames; the run
// makes as many as fit in CI's time, each with the real 20 model steps, and the fake
// clock moves on by kSoakSpanMs / frames per frame, so the timers see the whole day.
// The run across the wrap of the tick starts kWrapLeadMs before 2^32 ms and lasts
// kWrapSpanMs (two periodic resets), at the real 20 ms per frame where time allows.
constexpr std::uint64_t kWrapLeadMs = 3 * kMsPerMinute;
constexpr std::uint64_t kWrapSpanMs = 65 * kMsPerMinute;
constexpr std::uint64_t kRealFrameMs = 20;
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer makes each frame about ten times slower.
constexpr std::uint64_t kSoakFrames = 108'000;         // 800 ms per frame
constexpr std::uint64_t kWrapFrames = kWrapSpanMs / 100;  // 100 ms per frame
#else
constexpr std::uint64_t kSoakFrames = 1'080'000;       // 80 ms per frame
constexpr std::uint64_t kWrapFrames = kWrapSpanMs / kRealFrameMs;
#endif
// Start of the long runs' clock (ms after system start).
constexpr std::uint32_t kSoakStartMs = 1'000'000;
// A fake flip takes this long: the frame cycle's starting estimate, so the pacing
// wait ends at 15 ms and the flip at 20 ms of a real-period frame.
constexpr std::uint32_t kFlipMs = 5;
constexpr int kTopSpeed = 30;
// How late or early a reset may come: the timers compare float minutes, which near
// 2^32 ms are exact only to about 0.5 s, and run once a frame, so a reset is seen up to
// two frames after it is due (the first frame past it and, by the strict comparison
// of rounded minutes, one more); with the sanitizer a frame is 800 ms.
constexpr std::uint64_t kDueToleranceMs = 1'000 + 2 * (kSoakSpanMs / kSoakFrames);
// The network's spikes in flight never come near this; a leak of spike records would.
constexpr std::int64_t kSpikesInFlightBound = 2'000;
// Heap in use after warm-up may grow at most this much (bytes) over the rest of the run.
constexpr long long kHeapGrowthBound = 256 * 1024;
constexpr std::uint64_t kWarmUpMs = kMsPerHour;
// Room reserved up front for the run's own logs, so they add nothing to the heap later.
constexpr std::size_t kInteractionLogRoom = std::size_t{1} << 19;
constexpr std::size_t kResetLogRoom = std::size_t{1} << 14;
// Visitors: quiet gaps either clearly shorter or clearly longer than the idle time,
// sessions of presses and panel replies.
constexpr std::uint64_t kShortGapMinMs = 2'000, kShortGapMaxMs = 45'000;
constexpr std::uint64_t kLongGapMinMs = 75'000, kLongGapMaxMs = 40 * kMsPerMinute;
constexpr std::uint64_t kSessionMinMs = 3'000, kSessionMaxMs = 4 * kMsPerMinute;
constexpr std::uint64_t kPressGapMaxMs = 3'000;
constexpr std::uint64_t kPanelTickMs = 100;  // the poll timer's interval

// ---- Fake platform ---------------------------------------------------------------

// Time moves when the code sleeps, when a flip takes its time, and by the frame period
// between frames; a tick read over and over moves on by 1 ms, as polling a real tick sees.
class SoakClock final : public Clock {
public:
  std::uint32_t TickCount() override {
    if (++readsAtThisMs > kReadsPerMs) {
      ++nowMs;
      readsAtThisMs = 1;
    }
    return nowMs;
  }
  void Sleep(std::uint32_t ms) override { Set(nowMs + ms); }
  void Set(std::uint32_t ms) {
    nowMs = ms;
    readsAtThisMs = 0;
  }
  std::uint32_t nowMs = 0;

private:
  static constexpr int kReadsPerMs = 16;
  int readsAtThisMs = 0;
};

// Draws nothing, so the run costs the model's drawing code but no pixels.
class CountingContext final : public TextDeviceContext {
public:
  void SelectPen(const Pen*) override { ++calls; }
  void SelectBrush(const Brush*) override { ++calls; }
  void MoveTo(int, int) override { ++calls; }
  void LineTo(int, int) override { ++calls; }
  void Polygon(const ScreenPoint (&)[3]) override { ++calls; }
  void SetTextColor(ColorRef) override { ++calls; }
  void SetTransparentBackground() override { ++calls; }
  void TextOut(int, int, std::string_view) override { ++calls; }
  std::uint64_t calls = 0;
};

// Each interaction selects the labelled background: the display logs it, with the
// time on the run's unwrapped timeline.
class SoakDisplay final : public FrameDisplay {
public:
  SoakDisplay(SoakClock& soakClock, const std::uint64_t& timeline, std::vector<std::uint64_t>& interactionLog)
      : clock(soakClock), timelineNowMs(timeline), interactions(interactionLog) {}
  DisplayResult BlitBackground() override { return DisplayResult::Ok; }
  DisplayResult BlitSomaCell(int, int, const SourceRect& source) override {
    if (source.left < 0 || source.right > kSheetWidth) ++cellsOutside;
    return DisplayResult::Ok;
  }
  TextDeviceContext* GetBackBufferDC() override { return &context; }
  void ReleaseBackBufferDC(TextDeviceContext*) override {}
  DisplayResult FlipBuffers() override {
    clock.Set(clock.nowMs + kFlipMs);
    ++flips;
    return DisplayResult::Ok;
  }
  DisplayResult RestoreSurfaces() override { return DisplayResult::Ok; }
  void SelectBackground(Background background) override {
    if (background == Background::Labeled) interactions.push_back(timelineNowMs);
  }
  void Release() override {}

  static constexpr int kSheetWidth = 2560;
  SoakClock& clock;
  const std::uint64_t& timelineNowMs;
  std::vector<std::uint64_t>& interactions;
  CountingContext context;
  std::uint64_t flips = 0;
  std::uint64_t cellsOutside = 0;
};

class CountingMidiOutput final : public MidiOutput {
public:
  explicit CountingMidiOutput(std::uint64_t& sentCount) : sent(sentCount) {}
  MidiSendResult ShortMessage(std::uint32_t) override {
    ++sent;
    return MidiSendResult::Accepted;
  }
  std::uint64_t& sent;
};

// ---- The run ---------------------------------------------------------------------

struct SoakPlan {
  const char* name;
  std::uint32_t startMs;
  std::uint64_t spanMs;
  std::uint64_t frames;
  int heldSpeed;        // speed the visitors keep setting; 15 is the default
  unsigned seed;
  std::uint64_t quietBeforeMs;  // an idle period starting this long before the wrap; 0: none
};

struct TimedEvent {
  std::uint64_t atMs;  // on the run's unwrapped timeline
  ResetCause cause;
};

struct SoakFigures {
  std::uint64_t frames = 0;
  std::uint64_t modelSteps = 0;
  std::uint64_t clockSpanMs = 0;
  std::int64_t idleResets = 0;
  std::int64_t periodicResets = 0;
  std::int64_t otherResets = 0;
  std::int64_t peakSpikesInFlight = 0;
  long long heapAtWarmUp = 0;
  long long heapPeakAfterWarmUp = 0;
  long long heapAtEnd = 0;
  std::uint64_t keys = 0;
  std::uint64_t panelReplies = 0;
  std::uint64_t midiMessages = 0;
};

long long HeapInUse() { return static_cast<long long>(mallinfo2().uordblks); }

std::vector<const SimpleList<SpikeEvent>*> SpikeLists(const Model& model) {
  std::vector<const SimpleList<SpikeEvent>*> lists;
  for (ObjectRef* ref = model.elements.head; ref != nullptr; ref = model.elements.Next(ref)) {
    if (const auto* axon = dynamic_cast<const Axon*>(ref->object)) lists.push_back(&axon->spikes);
    if (const auto* dendrite = dynamic_cast<const Dendrite*>(ref->object)) lists.push_back(&dendrite->spikes);
  }
  return lists;
}

class SoakRun final : public MainWindowServices, public RunControl {
public:
  explicit SoakRun(const SoakPlan& runPlan)
      : plan(runPlan), random(runPlan.seed), display(clock, timelineNowMs, interactions) {
    periodMs = static_cast<std::uint32_t>(plan.spanMs / plan.frames);
    interactions.reserve(kInteractionLogRoom);
    resets.reserve(kResetLogRoom);
  }

  // MainWindowServices
  void HideCursor() override {}
  void DrawBanner(std::string_view, int, int) override {}
  void PostStartMessage() override { queue.push_back({WindowMessageKind::Start, VK_NONE}); }
  bool NextMessage(WindowMessage& message, bool) override {
    if (queue.empty()) return false;
    message = queue.front();
    queue.pop_front();
    return true;
  }
  bool InitDisplay() override { return true; }
  void OpenMidiOutput() override { exhibit->OpenMidiOutput(); }
  void OpenPanelPort() override { exhibit->OpenPanelPort(); }
  FrameReport RunFrame() override {
    const FrameReport report = velmora::RunFrame(*exhibit, Pacing::Sleep);
    // The next frame starts one period after this one, or at once if this one ran over.
    const std::uint32_t next = report.frameStart + periodMs;
    if (static_cast<std::int32_t>(next - clock.nowMs) > 0) clock.Set(next);
    return report;
  }
  void PanelTimerTick() override {
    exhibit->PanelTimerTick();
    DrainPanelInput();
    if (sawPoll) {
      sawPoll = false;
      AnswerPoll();
    }
  }
  void Shutdown() override { exhibit->Shutdown(); }

  // RunControl
  bool EndRequested(std::int64_t framesRun) override {
    return static_cast<std::uint64_t>(framesRun) >= plan.frames;
  }
  void FrameDone(std::int64_t, const FrameReport& report) override {
    timelineNowMs += static_cast<std::uint32_t>(report.frameStart - lastFrameStart);
    lastFrameStart = report.frameStart;
    CheckFrame(report);
    Visitors();
  }

  void Run() {
    clock.Set(plan.startMs);
    lastFrameStart = plan.startMs;
    ScheduleNextSession(0);

    char name[256] = {};
    ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
    fcntl(panelFd, F_SETFL, fcntl(panelFd, F_GETFL) | O_NONBLOCK);
    ExhibitOptions options;
    options.panelDevice = name;
    exhibit = std::make_unique<Exhibit>(options, clock, boxes, display, [this](std::string&) {
      return std::make_unique<CountingMidiOutput>(figures.midiMessages);
    });
    spikeLists = SpikeLists(exhibit->Network());

    queue.push_back({WindowMessageKind::Paint, VK_NONE});
    RunExhibit(*this, *this, *exhibit);

    close(panelFd);
    close(lineFd);

    figures.frames = display.flips;
    figures.modelSteps = display.flips * kStepsPerFrame;
    figures.clockSpanMs = timelineNowMs;
    figures.idleResets = exhibit->Resets(ResetCause::Idle);
    figures.periodicResets = exhibit->Resets(ResetCause::Periodic);
    // Start-up and key 0, as before the causes were told apart further.
    figures.otherResets = exhibit->Resets(ResetCause::Other) + exhibit->Resets(ResetCause::Key);
    figures.heapAtEnd = HeapInUse();
  }

  void Print() const {
    std::printf(
        "[soak %s] frames %llu, exhibit hours %.2f, model steps %llu, frame period %u ms; "
        "resets: idle %lld, periodic %lld, other %lld; keys %llu, panel replies %llu, "
        "MIDI messages %llu; peak spikes in flight %lld; heap in use at warm-up %lld B, "
        "peak after %lld B, at end %lld B\n",
        plan.name, static_cast<unsigned long long>(figures.frames),
        static_cast<double>(figures.clockSpanMs) / kMsPerHour,
        static_cast<unsigned long long>(figures.modelSteps), periodMs,
        static_cast<long long>(figures.idleResets), static_cast<long long>(figures.periodicResets),
        static_cast<long long>(figures.otherResets), static_cast<unsigned long long>(figures.keys),
        static_cast<unsigned long long>(figures.panelReplies),
        static_cast<unsigned long long>(figures.midiMessages),
        static_cast<long long>(figures.peakSpikesInFlight), figures.heapAtWarmUp,
        figures.heapPeakAfterWarmUp, figures.heapAtEnd);
    std::fflush(stdout);
  }

  const SoakPlan& plan;
  SoakFigures figures;
  testing::RecordingMessageBoxes boxes;
  std::vector<std::uint64_t> interactions;  // NoteInteraction times
  std::vector<TimedEvent> resets;           // every reset with its cause
  std::uint64_t activityOutOfRange = 0;
  std::uint64_t spikeBoundExceeded = 0;
  std::uint32_t periodMs = kRealFrameMs;
  SoakDisplay& Screen() { return display; }

private:
  void CheckFrame(const FrameReport&) {
    for (std::size_t cause = 0; cause < kResetCauses; ++cause) {
      const std::int64_t count = exhibit->Resets(static_cast<ResetCause>(cause));
      for (std::int64_t n = seenResets[cause]; n < count; ++n) {
        resets.push_back({timelineNowMs, static_cast<ResetCause>(cause)});
        HoldSpeed();
      }
      seenResets[cause] = count;
    }
    float activity[3];
    exhibit->Network().GetActivity(activity);
    for (const float level : activity) {
      if (!(level >= 0.0f && level <= 1.0f)) ++activityOutOfRange;
    }
    std::int64_t inFlight = 0;
    for (const SimpleList<SpikeEvent>* list : spikeLists) inFlight += list->count;
    figures.peakSpikesInFlight = std::max(figures.peakSpikesInFlight, inFlight);
    if (inFlight > kSpikesInFlightBound) ++spikeBoundExceeded;
    if (timelineNowMs >= nextHeapSampleMs) {
      nextHeapSampleMs += kMsPerMinute;
      const long long heap = HeapInUse();
      if (timelineNowMs < kWarmUpMs) {
        figures.heapAtWarmUp = heap;
      } else {
        figures.heapPeakAfterWarmUp = std::max(figures.heapPeakAfterWarmUp, heap);
      }
    }
  }

  // Between visitors the network runs at the speed the run is about, without an
  // interaction: the model's step alone (the status line keeps the default speed).
  void HoldSpeed() { exhibit->Network().step = StepFactorForSpeed(static_cast<float>(plan.heldSpeed)); }

  std::uint64_t Uniform(std::uint64_t low, std::uint64_t high) {
    return std::uniform_int_distribution<std::uint64_t>(low, high)(random);
  }

  void ScheduleNextSession(std::uint64_t fromMs) {
    std::uint64_t gap = Uniform(0, 1) == 0 ? Uniform(kShortGapMinMs, kShortGapMaxMs)
                                           : Uniform(kLongGapMinMs, kLongGapMaxMs);
    // The wrap run: the first session ends this long before the wrap, and a quiet spell
    // longer than the idle time follows it, so an idle reset is due across the wrap.
    if (plan.quietBeforeMs != 0 && fromMs == 0) gap = 5'000;
    sessionStartMs = fromMs + gap;
    sessionEndMs = sessionStartMs + Uniform(kSessionMinMs, kSessionMaxMs);
    if (plan.quietBeforeMs != 0 && fromMs == 0) sessionEndMs = kWrapLeadMs - plan.quietBeforeMs;
    nextPressMs = sessionStartMs;
    nextTickMs = sessionStartMs;
    sessionOpened = false;
  }

  void Visitors() {
    const std::uint64_t now = timelineNowMs;
    if (now >= sessionEndMs) {
      if (plan.quietBeforeMs != 0 && sessionEndMs == kWrapLeadMs - plan.quietBeforeMs) {
        // After the wrap's quiet spell: at least twice the idle time.
        const std::uint64_t from = sessionEndMs + 2 * static_cast<std::uint64_t>(kIdleTimeMinutes * kMsPerMinute);
        ScheduleNextSession(from);
        sessionStartMs = from;
        nextPressMs = nextTickMs = from;
      } else {
        ScheduleNextSession(now);
      }
      return;
    }
    if (now < sessionStartMs) return;
    if (!sessionOpened) {
      sessionOpened = true;
      // A visitor at the top speed turns the speed right up first.
      if (plan.heldSpeed > static_cast<int>(defaultSpeedSetting)) {
        for (int i = 0; i < kTopSpeed; ++i) Press('F');
      }
    }
    while (nextPressMs <= now) {
      static constexpr VirtualKey kKeys[] = {'1', '2', '3', '4', '5', '6', 'Q', 'W', 'E', 'R', 'T', 'Z',
                                             'F', 'S', VK_F1, VK_F2, VK_F1, VK_F2, '0'};
      VirtualKey key = kKeys[Uniform(0, std::size(kKeys) - 1)];
      // Key 0 is rare: a reset by hand now and then.
      if (key == '0' && Uniform(0, 9) != 0) key = VK_F1;
      Press(key);
      nextPressMs += Uniform(1, kPressGapMaxMs);
    }
    if (nextTickMs <= now) {
      nextTickMs = now + kPanelTickMs;
      queue.push_back({WindowMessageKind::Timer, VK_NONE});
    }
    if (now % kMsPerMinute < periodMs) DrainPanelInput();
  }

  void Press(VirtualKey key) {
    queue.push_back({WindowMessageKind::KeyDown, key});
    ++figures.keys;
  }

  void DrainPanelInput() {
    std::uint8_t buffer[256];
    for (;;) {
      const ssize_t n = read(panelFd, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t i = 0; i < n; ++i) sawPoll = sawPoll || buffer[i] == 'g';
    }
  }

  // A reply with random buttons; the speed and parameters are mostly in range (at the
  // top speed in that run) and now and then anything from -128 to 127.
  void AnswerPoll() {
    std::uint8_t reply[kReplyBytes];
    reply[0] = static_cast<std::uint8_t>(Uniform(0, 3) == 0 ? Uniform(0, 255) : 0);
    reply[1] = static_cast<std::uint8_t>(Uniform(0, 3) == 0 ? Uniform(0, 255) : 0);
    const bool wild = Uniform(0, 7) == 0;
    const int speed = wild ? static_cast<int>(Uniform(0, 255)) - 128
                           : (plan.heldSpeed > 15 ? plan.heldSpeed : static_cast<int>(Uniform(0, 30)));
    reply[2] = static_cast<std::uint8_t>(speed);
    for (std::size_t i = 3; i < kReplyBytes; ++i) {
      const int value = wild ? static_cast<int>(Uniform(0, 255)) - 128 : static_cast<int>(Uniform(0, 20));
      reply[i] = static_cast<std::uint8_t>(value);
    }
    if (write(panelFd, reply, sizeof reply) == static_cast<ssize_t>(sizeof reply)) ++figures.panelReplies;
  }

  SoakClock clock;
  std::mt19937_64 random;
  std::uint64_t timelineNowMs = 0;  // the run's own time, never wrapping
  SoakDisplay display;
  std::unique_ptr<Exhibit> exhibit;
  std::deque<WindowMessage> queue;
  std::vector<const SimpleList<SpikeEvent>*> spikeLists;
  std::array<std::int64_t, kResetCauses> seenResets{};
  std::uint32_t lastFrameStart = 0;
  std::uint64_t nextHeapSampleMs = 0;
  std::uint64_t sessionStartMs = 0, sessionEndMs = 0, nextPressMs = 0, nextTickMs = 0;
  bool sessionOpened = false;
  bool sawPoll = false;
  int panelFd = -1;
  int lineFd = -1;
};

// Every idle reset comes one idle time after the last interaction before it, at most
// one per interaction, and every idle spell not cut short by another reset gets one;
// periodic resets come every 30 minutes from the start to the end.
void ExpectResetsWhenDue(const SoakRun& run) {
  const std::uint64_t idleMs = static_cast<std::uint64_t>(kIdleTimeMinutes * kMsPerMinute);
  const std::uint64_t periodicMs = static_cast<std::uint64_t>(kPeriodicResetMinutes * kMsPerMinute);
  const auto& interactions = run.interactions;
  const auto& resets = run.resets;

  std::int64_t expectedIdle = 0, ambiguous = 0, observedIdle = 0;
  for (std::size_t i = 0; i < interactions.size(); ++i) {
    const std::uint64_t due = interactions[i] + idleMs;
    const std::uint64_t nextInteraction = i + 1 < interactions.size() ? interactions[i + 1] : run.figures.clockSpanMs;
    if (nextInteraction <= due + kDueToleranceMs) continue;  // the visitor came back in time
    bool cutShort = false, nearDue = false;
    for (const TimedEvent& reset : resets) {
      if (reset.cause == ResetCause::Idle || reset.atMs <= interactions[i]) continue;
      if (reset.atMs + kDueToleranceMs < due) cutShort = true;
      else if (reset.atMs <= due + kDueToleranceMs) nearDue = true;
    }
    if (cutShort) continue;
    if (nearDue) ++ambiguous;
    else ++expectedIdle;
  }
  for (const TimedEvent& reset : resets) {
    if (reset.cause != ResetCause::Idle) continue;
    ++observedIdle;
    const auto last = std::upper_bound(interactions.begin(), interactions.end(), reset.atMs);
    ASSERT_NE(last, interactions.begin()) << "idle reset without an interaction before it";
    const std::uint64_t since = reset.atMs - *(last - 1);
    EXPECT_GE(since + kDueToleranceMs, idleMs) << "idle reset too early at " << reset.atMs;
    EXPECT_LE(since, idleMs + kDueToleranceMs) << "idle reset too late at " << reset.atMs;
  }
  EXPECT_GE(observedIdle, expectedIdle);
  EXPECT_LE(observedIdle, expectedIdle + ambiguous);
  EXPECT_GT(expectedIdle, 0);

  std::uint64_t previous = 0;
  std::int64_t periodic = 0;
  for (const TimedEvent& reset : resets) {
    if (reset.cause != ResetCause::Periodic) continue;
    ++periodic;
    EXPECT_GE(reset.atMs - previous + kDueToleranceMs, periodicMs) << "periodic reset early at " << reset.atMs;
    EXPECT_LE(reset.atMs - previous, periodicMs + kDueToleranceMs) << "periodic reset late at " << reset.atMs;
    previous = reset.atMs;
  }
  EXPECT_LT(run.figures.clockSpanMs - previous, periodicMs + kDueToleranceMs) << "a periodic reset is missing";
  EXPECT_GE(periodic, static_cast<std::int64_t>(run.figures.clockSpanMs / (periodicMs + kDueToleranceMs)));
}

void ExpectHealthyRun(SoakRun& run) {
  run.Run();
  run.Print();
  EXPECT_EQ(run.figures.frames, run.plan.frames);
  EXPECT_GE(run.figures.clockSpanMs + 2 * run.periodMs, run.plan.spanMs);
  EXPECT_EQ(run.activityOutOfRange, 0u);
  EXPECT_EQ(run.spikeBoundExceeded, 0u);
  EXPECT_GT(run.figures.peakSpikesInFlight, 0);
  EXPECT_EQ(run.Screen().cellsOutside, 0u);
  EXPECT_GT(run.figures.panelReplies, 0u);
  EXPECT_GT(run.figures.midiMessages, 0u);
  if (run.figures.heapPeakAfterWarmUp > 0) {
    EXPECT_LT(run.figures.heapPeakAfterWarmUp - run.figures.heapAtWarmUp, kHeapGrowthBound);
  }
  EXPECT_TRUE(run.boxes.shown.empty());
  // Logs that outgrew their room would have grown the heap themselves.
  EXPECT_LE(run.interactions.size(), kInteractionLogRoom);
  EXPECT_LE(run.resets.size(), kResetLogRoom);
  ExpectResetsWhenDue(run);
}

TEST(Soak, ADayAtTheDefaultSpeedUnderAStormOfInputStaysBoundedAndResetsWhenDue) {
  const SoakPlan plan{"default speed", kSoakStartMs, kSoakSpanMs, kSoakFrames, 15, 1u, 0};
  SoakRun run(plan);
  ExpectHealthyRun(run);
}

TEST(Soak, ADayAtTheTopSpeedUnderAStormOfInputStaysBoundedAndResetsWhenDue) {
  const SoakPlan plan{"speed 30", kSoakStartMs, kSoakSpanMs, kSoakFrames, kTopSpeed, 2u, 0};
  SoakRun run(plan);
  ExpectHealthyRun(run);
}

TEST(Soak, AcrossTheWrapOfTheMillisecondTickIdleAndPeriodicResetsStillComeWhenDue) {
  const auto start = static_cast<std::uint32_t>((std::uint64_t{1} << 32) - kWrapLeadMs);
  const SoakPlan plan{"tick wrap", start, kWrapSpanMs, kWrapFrames, 15, 3u, 30'000};
  SoakRun run(plan);
  ExpectHealthyRun(run);
  // The idle reset due 30 s after the wrap, for the interaction 30 s before it.
  bool idleAcrossWrap = false;
  for (const TimedEvent& reset : run.resets) {
    if (reset.cause == ResetCause::Idle && reset.atMs > kWrapLeadMs && reset.atMs < kWrapLeadMs + kMsPerMinute) {
      idleAcrossWrap = true;
    }
  }
  EXPECT_TRUE(idleAcrossWrap);
  EXPECT_GE(run.figures.periodicResets, 2);
}

}  // namespace
}  // namespace velmora
