#pragma once
// What a visitor can do to the exhibit, whatever the input: the keys, the control
// panel and the touch screen are each translated into these actions where they come
// in, and the exhibit applies them in one place (Exhibit::Apply), so the inputs cannot
// drift apart.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

enum class VisitorActionKind {
  RaiseWeight,     // weight `weight` one step up, within the keys' limits
  LowerWeight,     // and one step down
  SetWeight,       // weight `weight` to `value`, unchecked (a panel's knob)
  Faster,          // the speed setting one step up, within the keys' limits
  Slower,          // and one step down
  SetSpeed,        // the speed setting to `value`, unchecked (the panel's speed knob)
  Stimulus1,       // a manual spike into the first stimulus input
  Stimulus2,       // and into the second
  Reset,           // everything back to the defaults, as after a minute without input
  Wake,            // someone is there: the first touch after the invitation, or a synapse touched to show its handles
  SwitchLanguage,  // the next of the languages on offer
};

struct VisitorAction {
  VisitorActionKind kind = VisitorActionKind::Wake;
  std::size_t weight = 0;  // RaiseWeight, LowerWeight, SetWeight, and a Wake on a synapse: 0 .. 5 for Syn1 .. Syn6
  bool onSynapse = false;  // Wake: the touch chose weight `weight`'s synapse
  std::int32_t value = 0;  // SetWeight, SetSpeed

  friend bool operator==(const VisitorAction&, const VisitorAction&) = default;
};

// What the usage statistics call the control an action used. Stored in the usage
// file, so a name never changes once released: "weight3+", "weight3-", "faster",
// "slower", "stimulus1", "stimulus2", "reset"; "weight3" for a synapse touched or a
// panel's knob turned, "speed" for the panel's speed knob,
// "wake" for the first touch after the invitation, "language".
std::string_view ControlName(const VisitorAction& action);

}  // namespace velmora
