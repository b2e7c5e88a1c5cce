#include "shell/TouchControls.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/Model.h"
#include "model/Synapse.h"
#include "shell/OverlayPainter.h"

namespace velmora {
namespace {

// Where the controls lie, design pixels (the 1024 x 768 picture). Chosen on free
// ground: the stimulus buttons where the inputs' axons enter at the left edge, the
// speed buttons right of the longest status line, the reset and language buttons
// in the right-hand corners, away from every neurite.
constexpr PlanePoint kStimulusButton[2] = {{16.0, 209.0}, {16.0, 611.0}};
// A stimulus input's hit area runs on along its axon to about here.
constexpr PlanePoint kStimulusAxonReach[2] = {{80.0, 214.0}, {80.0, 601.0}};
constexpr PlanePoint kSlowerButton = {470.0, 740.0};
constexpr PlanePoint kFasterButton = {520.0, 740.0};
constexpr PlanePoint kResetButton = {994.0, 740.0};
constexpr double kLanguageRight = 1012.0;  // the language button's right end
constexpr double kLanguageCentreY = 30.0;
constexpr double kButtonRadius = 13.0;      // drawn radius of every round button
constexpr double kHandleRadius = 13.0;      // smallest drawn radius of a handle
constexpr double kHandleGap = 4.0;          // between a synapse's triangle and its handles
constexpr double kSymbolShare = 0.5;        // a "+" or "-" spans this share of its button's diameter
constexpr double kLanguagePadding = 12.0;   // beside the language's name inside its button

// Looks: light strokes over a dark rim, readable on the painted ground and on a neurite.
constexpr ColorRef kControlColor = Rgb(255, 255, 255);
constexpr ColorRef kRimColor = Rgb(40, 24, 12);
constexpr ColorRef kPressedColor = Rgb(255, 230, 0);
constexpr int kControlPen = 2;
constexpr int kRimPen = 4;
constexpr int kPressedPen = 3;

// Priority among elements a touch is equally near to: what is drawn on top wins.
enum Layer { kSynapseLayer, kButtonLayer, kHandleLayer };

struct Element {
  TouchTarget target;
  PlanePoint from, to;  // the element's spine: a point, or a segment for a long one
  double radius;        // drawn, around the spine
  Layer layer;
};

double Distance(PlanePoint a, PlanePoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

double DistanceToSegment(PlanePoint p, PlanePoint a, PlanePoint b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return Distance(p, {a.x + t * dx, a.y + t * dy});
}

// Half the smallest hit area, design pixels.
double MinimumReach(const TouchScene& scene) { return kMinimumTargetMm / 2.0 / scene.pixelMm; }

// A synapse's triangle as it is drawn at its weight: its corners' centre and the
// distance to the farthest corner.
struct SynapseDisc {
  PlanePoint centre;
  double radius = 0.0;
};

SynapseDisc SynapseAt(const Model& model, std::size_t weight) {
  const Synapse& synapse = *model.weightSynapses[weight];
  const SynapseShape& shape = synapse.shape;
  const double s = std::fabs(synapse.weight) * kTriangleGrowthPerWeight + kTriangleBaseSize;
  const PlanePoint corners[3] = {{shape.x1 - s * shape.dx1, shape.y1 - s * shape.dy1},
                                 {shape.x1 + s * shape.dx1, shape.y1 + s * shape.dy1},
                                 {shape.x2 + s * shape.dx2, shape.y2 + s * shape.dy2}};
  SynapseDisc disc;
  disc.centre = {(corners[0].x + corners[1].x + corners[2].x) / 3.0, (corners[0].y + corners[1].y + corners[2].y) / 3.0};
  for (const PlanePoint& corner : corners) disc.radius = std::max(disc.radius, Distance(disc.centre, corner));
  return disc;
}

// A handle is drawn as large as a finger's hit area, so what shows is what works.
double HandleRadius(const TouchScene& scene) { return std::max(kHandleRadius, MinimumReach(scene)); }

// The "-" handle left of the synapse, the "+" handle right of it: a number line.
PlanePoint HandleCentre(const TouchScene& scene, std::size_t weight, bool raise) {
  const SynapseDisc disc = SynapseAt(*scene.model, weight);
  const double offset = disc.radius + kHandleGap + HandleRadius(scene);
  return {disc.centre.x + (raise ? offset : -offset), disc.centre.y};
}

// The language button: a rounded bar around the name, its spine between the ends' centres.
struct LanguageBar {
  PlanePoint from, to;
};
LanguageBar LanguageBarFor(int nameWidth) {
  const double right = kLanguageRight - kButtonRadius;
  const double left = right - std::max(0, nameWidth) - 2.0 * kLanguagePadding + 2.0 * kButtonRadius;
  return {{std::min(left, right), kLanguageCentreY}, {right, kLanguageCentreY}};
}
// Hit-testing cannot measure text; it takes the widest name a language button is
// likely to show, so the area does not depend on the language.
constexpr int kLanguageNameWidth = 64;

std::vector<Element> Elements(const TouchScene& scene, const std::array<bool, 6>& handlesOpen) {
  std::vector<Element> elements;
  if (scene.model != nullptr) {
    for (std::size_t k = 0; k < 6; ++k) {
      const SynapseDisc disc = SynapseAt(*scene.model, k);
      elements.push_back({{TargetKind::Synapse, k}, disc.centre, disc.centre, disc.radius, kSynapseLayer});
      if (!handlesOpen[k]) continue;
      for (const bool raise : {false, true}) {
        const PlanePoint centre = HandleCentre(scene, k, raise);
        elements.push_back({{raise ? TargetKind::Raise : TargetKind::Lower, k}, centre, centre, HandleRadius(scene),
                            kHandleLayer});
      }
    }
  }
  if (scene.buttonsShown) {
    for (std::size_t i = 0; i < 2; ++i) {
      elements.push_back({{i == 0 ? TargetKind::Stimulus1 : TargetKind::Stimulus2}, kStimulusButton[i],
                          kStimulusAxonReach[i], kButtonRadius, kButtonLayer});
    }
    elements.push_back({{TargetKind::Slower}, kSlowerButton, kSlowerButton, kButtonRadius, kButtonLayer});
    elements.push_back({{TargetKind::Faster}, kFasterButton, kFasterButton, kButtonRadius, kButtonLayer});
    elements.push_back({{TargetKind::Reset}, kResetButton, kResetButton, kButtonRadius, kButtonLayer});
    if (scene.languageButton) {
      const LanguageBar bar = LanguageBarFor(kLanguageNameWidth);
      elements.push_back({{TargetKind::Language}, bar.from, bar.to, kButtonRadius, kButtonLayer});
    }
  }
  return elements;
}

std::optional<VisitorAction> ActionOf(const TouchTarget& target) {
  switch (target.kind) {
    case TargetKind::Stimulus1:
      return VisitorAction{VisitorActionKind::Stimulus1};
    case TargetKind::Stimulus2:
      return VisitorAction{VisitorActionKind::Stimulus2};
    case TargetKind::Synapse:
      return VisitorAction{VisitorActionKind::Wake, target.weight, true};
    case TargetKind::Raise:
      return VisitorAction{VisitorActionKind::RaiseWeight, target.weight};
    case TargetKind::Lower:
      return VisitorAction{VisitorActionKind::LowerWeight, target.weight};
    case TargetKind::Faster:
      return VisitorAction{VisitorActionKind::Faster};
    case TargetKind::Slower:
      return VisitorAction{VisitorActionKind::Slower};
    case TargetKind::Language:
      return VisitorAction{VisitorActionKind::SwitchLanguage};
    case TargetKind::Reset:  // only once held long enough (Tick)
    case TargetKind::None:
      break;
  }
  return std::nullopt;
}

bool Repeats(TargetKind kind) {
  return kind == TargetKind::Raise || kind == TargetKind::Lower || kind == TargetKind::Faster ||
         kind == TargetKind::Slower;
}

bool OnWeight(const TouchTarget& target) {
  return target.kind == TargetKind::Synapse || target.kind == TargetKind::Raise || target.kind == TargetKind::Lower;
}

// Ticks are unsigned and wrap: compared by their difference.
bool Reached(std::uint32_t nowMs, std::uint32_t dueMs) { return static_cast<std::int32_t>(nowMs - dueMs) >= 0; }

// A round button with a rim, and its symbol drawn by the caller.
void DrawButton(OverlayPainter& painter, PlanePoint centre, double radius, bool pressed) {
  painter.Ring(centre, radius, kRimPen, kRimColor);
  painter.Ring(centre, radius, pressed ? kPressedPen : kControlPen, pressed ? kPressedColor : kControlColor);
}

void DrawSymbol(OverlayPainter& painter, PlanePoint centre, double radius, bool plus, bool pressed) {
  const double arm = radius * kSymbolShare;
  const ColorRef color = pressed ? kPressedColor : kControlColor;
  for (const auto& [pen, shade] : {std::pair{kRimPen + 1, kRimColor}, std::pair{kControlPen + 1, color}}) {
    painter.Line({centre.x - arm, centre.y}, {centre.x + arm, centre.y}, pen, shade);
    if (plus) painter.Line({centre.x, centre.y - arm}, {centre.x, centre.y + arm}, pen, shade);
  }
}

}  // namespace

TouchTarget TouchControls::HitTest(PlanePoint at, const TouchScene& scene) const {
  const double reach = MinimumReach(scene);
  TouchTarget best;
  double bestGap = 0.0, bestDistance = 0.0;
  Layer bestLayer = kSynapseLayer;
  bool found = false;
  for (const Element& element : Elements(scene, handlesOpen)) {
    const double distance = DistanceToSegment(at, element.from, element.to);
    if (distance > std::max(element.radius, reach)) continue;
    // How far outside the drawn element the finger is: the nearer element wins, and
    // among elements the finger is on, the one drawn on top.
    const double gap = std::max(0.0, distance - element.radius);
    const bool better = !found || gap < bestGap ||
                        (gap == bestGap && (element.layer > bestLayer ||
                                            (element.layer == bestLayer && distance < bestDistance)));
    if (!better) continue;
    found = true;
    best = element.target;
    bestGap = gap;
    bestDistance = distance;
    bestLayer = element.layer;
  }
  return best;
}

PlanePoint TouchControls::TargetCentre(const TouchTarget& target, const TouchScene& scene) {
  switch (target.kind) {
    case TargetKind::Stimulus1:
      return kStimulusButton[0];
    case TargetKind::Stimulus2:
      return kStimulusButton[1];
    case TargetKind::Synapse:
      return scene.model != nullptr ? SynapseAt(*scene.model, target.weight).centre : PlanePoint{};
    case TargetKind::Raise:
    case TargetKind::Lower:
      return scene.model != nullptr ? HandleCentre(scene, target.weight, target.kind == TargetKind::Raise) : PlanePoint{};
    case TargetKind::Faster:
      return kFasterButton;
    case TargetKind::Slower:
      return kSlowerButton;
    case TargetKind::Reset:
      return kResetButton;
    case TargetKind::Language: {
      const LanguageBar bar = LanguageBarFor(kLanguageNameWidth);
      return {(bar.from.x + bar.to.x) / 2.0, bar.from.y};
    }
    case TargetKind::None:
      break;
  }
  return {};
}

void TouchControls::KeepHandlesOpen(std::size_t weight, std::uint32_t nowMs) {
  handlesOpen[weight] = true;
  handlesCloseMs[weight] = nowMs + kHandlesOpenMs;
}

void TouchControls::CloseHandles() { handlesOpen = {}; }

std::vector<VisitorAction> TouchControls::Touch(const DesignTouch& touch, const TouchScene& scene, bool inviting) {
  auto finger = std::find_if(fingers.begin(), fingers.end(), [&](const Finger& f) { return f.id == touch.finger; });
  switch (touch.phase) {
    case TouchPhase::Down:
      // A down for a finger still held (its up was lost) starts it afresh.
      if (finger != fingers.end()) fingers.erase(finger);
      return Down(touch, scene, inviting);
    case TouchPhase::Move:
      if (finger == fingers.end()) return {};
      return Move(*finger, touch.at, scene);
    case TouchPhase::Up: {
      if (finger == fingers.end()) return {};
      std::vector<VisitorAction> actions = Move(*finger, touch.at, scene);
      lifts.push_back({touch.at, scene.nowMs});
      fingers.erase(finger);
      return actions;
    }
  }
  return {};
}

std::vector<VisitorAction> TouchControls::Down(const DesignTouch& touch, const TouchScene& scene, bool inviting) {
  if (fingers.size() >= kMaxFingers) return {};
  Finger finger;
  finger.id = touch.finger;
  finger.down = finger.at = touch.at;
  finger.downMs = finger.lastEventMs = scene.nowMs;
  finger.nextRepeatMs = scene.nowMs + kRepeatDelayMs;
  if (inviting) {
    finger.waking = true;
    fingers.push_back(finger);
    return {VisitorAction{VisitorActionKind::Wake}};
  }
  finger.target = HitTest(touch.at, scene);
  fingers.push_back(finger);
  if (OnWeight(finger.target)) KeepHandlesOpen(finger.target.weight, scene.nowMs);
  if (const std::optional<VisitorAction> action = ActionOf(finger.target)) return {*action};
  return {};
}

std::vector<VisitorAction> TouchControls::Move(Finger& finger, PlanePoint at, const TouchScene& scene) {
  finger.at = at;
  finger.lastEventMs = scene.nowMs;
  if (finger.waking || finger.target.kind != TargetKind::Synapse) return {};
  // Up or to the right is more, down or to the left less: the steps the drag has
  // gone, less those already made.
  const double stepPixels = kDragStepMm / scene.pixelMm;
  const double along = (at.x - finger.down.x) - (at.y - finger.down.y);
  const int steps = static_cast<int>(std::trunc(along / stepPixels));
  std::vector<VisitorAction> actions;
  const std::size_t weight = finger.target.weight;
  for (; finger.dragSteps < steps; ++finger.dragSteps) actions.push_back({VisitorActionKind::RaiseWeight, weight});
  for (; finger.dragSteps > steps; --finger.dragSteps) actions.push_back({VisitorActionKind::LowerWeight, weight});
  KeepHandlesOpen(weight, scene.nowMs);
  return actions;
}

std::vector<VisitorAction> TouchControls::Tick(const TouchScene& scene) {
  std::erase_if(fingers, [&](const Finger& f) { return Reached(scene.nowMs, f.lastEventMs + kForgottenFingerMs); });
  std::vector<VisitorAction> actions;
  for (Finger& finger : fingers) {
    if (finger.waking) continue;
    if (OnWeight(finger.target)) KeepHandlesOpen(finger.target.weight, scene.nowMs);
    if (Repeats(finger.target.kind) && Reached(scene.nowMs, finger.nextRepeatMs)) {
      actions.push_back(*ActionOf(finger.target));
      finger.nextRepeatMs = scene.nowMs + kRepeatIntervalMs;
    }
    if (finger.target.kind == TargetKind::Reset && !finger.resetDone &&
        Reached(scene.nowMs, finger.downMs + kResetHoldMs)) {
      finger.resetDone = true;
      actions.push_back({VisitorActionKind::Reset});
    }
  }
  for (std::size_t k = 0; k < handlesOpen.size(); ++k) {
    if (handlesOpen[k] && Reached(scene.nowMs, handlesCloseMs[k])) handlesOpen[k] = false;
  }
  std::erase_if(lifts, [&](const Lift& lift) { return Reached(scene.nowMs, lift.atMs + kLiftRingMs); });
  return actions;
}

void TouchControls::Draw(OverlayPainter& painter, const TouchScene& scene, std::string_view languageName) {
  const auto pressed = [&](const TouchTarget& target) {
    return std::any_of(fingers.begin(), fingers.end(),
                       [&](const Finger& f) { return !f.waking && f.target == target; });
  };
  if (scene.buttonsShown) {
    for (std::size_t i = 0; i < 2; ++i) {
      const bool down = pressed({i == 0 ? TargetKind::Stimulus1 : TargetKind::Stimulus2});
      DrawButton(painter, kStimulusButton[i], kButtonRadius, down);
      // A spark at the centre: where a spike starts.
      painter.Ring(kStimulusButton[i], kButtonRadius * 0.35, kRimPen, kRimColor);
      painter.Ring(kStimulusButton[i], kButtonRadius * 0.35, kControlPen, down ? kPressedColor : kControlColor);
    }
    for (const bool faster : {false, true}) {
      const PlanePoint centre = faster ? kFasterButton : kSlowerButton;
      const bool down = pressed({faster ? TargetKind::Faster : TargetKind::Slower});
      DrawButton(painter, centre, kButtonRadius, down);
      DrawSymbol(painter, centre, kButtonRadius, faster, down);
    }
    // Reset: an open circular arrow, filled round by a held finger.
    painter.Ring(kResetButton, kButtonRadius, kRimPen, kRimColor);
    painter.Ring(kResetButton, kButtonRadius * 0.55, kRimPen, kRimColor, 0.1, 0.9);
    painter.Ring(kResetButton, kButtonRadius * 0.55, kControlPen, kControlColor, 0.1, 0.9);
    const PlanePoint tip{kResetButton.x - kButtonRadius * 0.55 * std::sin(0.2 * 3.14159265),
                         kResetButton.y - kButtonRadius * 0.55 * std::cos(0.2 * 3.14159265)};
    painter.Line(tip, {tip.x + 4.0, tip.y - 3.0}, kControlPen, kControlColor);
    painter.Line(tip, {tip.x + 4.0, tip.y + 3.0}, kControlPen, kControlColor);
    double held = 0.0;
    for (const Finger& finger : fingers) {
      if (finger.waking || finger.target.kind != TargetKind::Reset) continue;
      held = std::max(held, static_cast<double>(scene.nowMs - finger.downMs) / kResetHoldMs);
    }
    painter.Ring(kResetButton, kButtonRadius, kControlPen, kControlColor);
    if (held > 0.0) painter.Ring(kResetButton, kButtonRadius, kPressedPen, kPressedColor, 0.0, std::min(1.0, held));
    if (scene.languageButton) {
      const int width = painter.TextWidth(languageName);
      const LanguageBar bar = LanguageBarFor(width);
      const bool down = pressed({TargetKind::Language});
      const ColorRef color = down ? kPressedColor : kControlColor;
      for (const auto& [pen, shade] : {std::pair{kRimPen, kRimColor}, std::pair{down ? kPressedPen : kControlPen, color}}) {
        painter.Ring(bar.from, kButtonRadius, pen, shade, 0.5, 1.0);
        painter.Ring(bar.to, kButtonRadius, pen, shade, 0.0, 0.5);
        painter.Line({bar.from.x, bar.from.y - kButtonRadius}, {bar.to.x, bar.to.y - kButtonRadius}, pen, shade);
        painter.Line({bar.from.x, bar.from.y + kButtonRadius}, {bar.to.x, bar.to.y + kButtonRadius}, pen, shade);
      }
      const double middle = (bar.from.x + bar.to.x) / 2.0;
      painter.Text(middle - width / 2.0 + 1.0, kLanguageCentreY - 7.0, languageName, kRimColor);
      painter.Text(middle - width / 2.0, kLanguageCentreY - 8.0, languageName, color);
    }
  }
  if (scene.model != nullptr) {
    for (std::size_t k = 0; k < handlesOpen.size(); ++k) {
      if (!handlesOpen[k]) continue;
      const SynapseDisc disc = SynapseAt(*scene.model, k);
      const bool chosen = pressed({TargetKind::Synapse, k});
      painter.Ring(disc.centre, disc.radius + 2.0, chosen ? kPressedPen : kControlPen, chosen ? kPressedColor : kControlColor);
      for (const bool raise : {false, true}) {
        const PlanePoint centre = HandleCentre(scene, k, raise);
        const bool down = pressed({raise ? TargetKind::Raise : TargetKind::Lower, k});
        const double radius = HandleRadius(scene);
        DrawButton(painter, centre, radius, down);
        DrawSymbol(painter, centre, radius, raise, down);
      }
    }
  }
  // Where each finger is, and a fading ring where one lifted.
  const double reach = MinimumReach(scene);
  for (const Finger& finger : fingers) {
    painter.Ring(finger.at, reach, kRimPen, kRimColor);
    painter.Ring(finger.at, reach, kControlPen, kPressedColor);
  }
  for (const Lift& lift : lifts) {
    const double age = static_cast<double>(scene.nowMs - lift.atMs) / kLiftRingMs;
    if (age >= 1.0) continue;
    painter.Ring(lift.at, reach * (1.0 + 0.5 * age), kControlPen, kPressedColor);
  }
}

void TouchControls::DrawInvitingRings(OverlayPainter& painter, const TouchScene& scene, double strength) const {
  constexpr ColorRef kGround = Rgb(120, 78, 46);
  const ColorRef color = MixColor(kGround, kPressedColor, strength);
  const double swell = 6.0 * strength;
  if (scene.model != nullptr) {
    for (std::size_t k = 0; k < 6; ++k) {
      const SynapseDisc disc = SynapseAt(*scene.model, k);
      painter.Ring(disc.centre, disc.radius + 4.0 + swell, kControlPen, color);
    }
  }
  if (scene.buttonsShown) {
    for (const PlanePoint& button : kStimulusButton) painter.Ring(button, kButtonRadius + 4.0 + swell, kControlPen, color);
  }
}

}  // namespace velmora
