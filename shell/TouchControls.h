#pragma once
// The touch screen's controls on the picture; a mouse's left button works them the
// same way. Each finger's touch is translated here, where it comes in, into visitor
// actions (shell/VisitorAction.h), which the exhibit applies as it applies keys:
//
// - a tap on a stimulus input's button (at the left edge, where the input's axon
//   enters) fires it;
// - a touch on one of the six synapses (the triangles) opens a "-" and a "+" handle
//   beside it: each tap on a handle moves the weight one step, a handle held down
//   repeats like a held key; a finger that drags from the triangle upwards or to the
//   right raises the weight, downwards or to the left lowers it, a step per few mm;
// - "-" and "+" beside the status line make the simulation slower and faster;
// - the reset button (bottom right) resets only when held for two seconds, so a
//   brush of a hand does not undo a visitor's work;
// - the language button (top right, with more than one language) switches language.
//
// Up to ten fingers act at once, each on the target it came down on. Every hit area
// is at least 15 mm across on the screen, and never smaller than the drawn element;
// where areas meet, the element nearer to the finger wins. Every finger shows a ring
// where it touches, in the first frame after it arrives.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/FrameDisplay.h"
#include "platform/ScreenPlacement.h"
#include "platform/Touch.h"
#include "shell/VisitorAction.h"

namespace velmora {

class Model;
class OverlayPainter;

// One finger's (or the mouse button's) event, at a point of the design.
struct DesignTouch {
  std::int64_t finger = 0;  // the same from the finger's down to its up
  TouchPhase phase = TouchPhase::Down;
  PlanePoint at;            // design pixels; off the design on a wider screen
};

// Fingers that act at once; more are ignored until one lifts.
inline constexpr std::size_t kMaxFingers = 10;
// The smallest hit area across, on the screen (mm): what a finger hits reliably.
inline constexpr double kMinimumTargetMm = 15.0;
// A screen that reports no size is taken to have 96 pixels to the inch, as desktop
// monitors do; larger screens then get larger targets, never smaller ones.
inline constexpr double kAssumedScreenPixelMm = 25.4 / 96.0;
// Handles stay this long after their synapse or a handle was last touched (ms).
inline constexpr std::uint32_t kHandlesOpenMs = 4000;
// A held handle or speed button repeats like a held key: after this long, then at this
// interval (ms).
inline constexpr std::uint32_t kRepeatDelayMs = 500;
inline constexpr std::uint32_t kRepeatIntervalMs = 150;
// The reset button acts once it has been held this long (ms).
inline constexpr std::uint32_t kResetHoldMs = 2000;
// A drag from a synapse moves its weight one step per this distance on the screen (mm).
inline constexpr double kDragStepMm = 6.0;
// The ring where a finger lifted fades out over this long (ms).
inline constexpr std::uint32_t kLiftRingMs = 300;
// A finger that has neither moved nor lifted for this long (ms) is taken as lifted: a
// touch screen that lost a finger's lift (the window lost the focus) must not hold a
// handle down, and the exhibit awake, for ever. Far longer than any hand rests still.
inline constexpr std::uint32_t kForgottenFingerMs = 30'000;

enum class TargetKind { None, Stimulus1, Stimulus2, Synapse, Raise, Lower, Faster, Slower, Reset, Language };

struct TouchTarget {
  TargetKind kind = TargetKind::None;
  std::size_t weight = 0;  // Synapse, Raise, Lower: 0 .. 5 for Syn1 .. Syn6
  friend bool operator==(const TouchTarget&, const TouchTarget&) = default;
};

// What the controls are hit-tested and drawn against in one frame.
struct TouchScene {
  const Model* model = nullptr;     // the synapses' triangles at their weights
  double pixelMm = kAssumedScreenPixelMm;  // mm one design pixel covers on the screen
  bool buttonsShown = false;        // the stimulus, speed and reset buttons: the screen takes touches
  bool languageButton = false;      // more than one language is on offer
  std::uint32_t nowMs = 0;          // clock tick
};

class TouchControls {
public:
  // One finger's event. While the exhibit invites (`inviting`), a finger coming down
  // only wakes it and does nothing else until it lifts.
  std::vector<VisitorAction> Touch(const DesignTouch& touch, const TouchScene& scene, bool inviting);
  // Once a frame: held handles and speed buttons repeat, a held reset button resets,
  // handles nobody touched for a while close.
  std::vector<VisitorAction> Tick(const TouchScene& scene);
  // The element a touch at `at` lands on (None: nothing).
  TouchTarget HitTest(PlanePoint at, const TouchScene& scene) const;
  // The middle of a target as it is drawn, design pixels (a handle's whether open or not).
  static PlanePoint TargetCentre(const TouchTarget& target, const TouchScene& scene);
  // After a reset: every handle closes, fingers act on from where they are.
  void CloseHandles();

  // The buttons, open handles, pressed targets and the rings under the fingers.
  // `languageName` is the name the language button shows.
  void Draw(OverlayPainter& painter, const TouchScene& scene, std::string_view languageName);
  // Rings pulsing on the synapses and stimulus buttons, `strength` 0 .. 1: the
  // invitation's sign of where to touch.
  void DrawInvitingRings(OverlayPainter& painter, const TouchScene& scene, double strength) const;

  std::size_t FingersDown() const { return fingers.size(); }
  bool HandlesOpen(std::size_t weight) const { return handlesOpen[weight]; }

private:
  struct Finger {
    std::int64_t id = 0;
    TouchTarget target;
    PlanePoint down;              // design pixels where it came down
    PlanePoint at;                // and where it is now
    std::uint32_t downMs = 0;
    std::uint32_t lastEventMs = 0;  // its down or its last move
    std::uint32_t nextRepeatMs = 0;
    int dragSteps = 0;            // weight steps its drag has made so far
    bool waking = false;          // came down on the invitation: does nothing more
    bool resetDone = false;
  };
  struct Lift {
    PlanePoint at;
    std::uint32_t atMs = 0;
  };

  std::vector<VisitorAction> Down(const DesignTouch& touch, const TouchScene& scene, bool inviting);
  std::vector<VisitorAction> Move(Finger& finger, PlanePoint at, const TouchScene& scene);
  void KeepHandlesOpen(std::size_t weight, std::uint32_t nowMs);

  std::vector<Finger> fingers;
  std::vector<Lift> lifts;
  std::array<bool, 6> handlesOpen{};
  std::array<std::uint32_t, 6> handlesCloseMs{};
};

}  // namespace velmora
