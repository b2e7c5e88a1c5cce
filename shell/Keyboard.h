#pragma once
// The visitors' keys: parameters, speed, stimuli and the reset. Esc and F12, which end
// the exhibit, are reported back: ending it is the main window's business.

#include <optional>

#include "platform/Keys.h"
#include "shell/VisitorAction.h"

namespace velmora {

class Exhibit;

enum class KeyOutcome {
  Ignored,     // no key of the exhibit
  Handled,     // acted on
  EndExhibit,  // Esc or F12: the window ends the exhibit
};

// The visitor's action a key stands for; none for keys the exhibit ignores and for
// Esc and F12.
std::optional<VisitorAction> VisitorActionOfKey(VirtualKey key);

// Acts on one key press; auto-repeated presses arrive as separate calls.
KeyOutcome ApplyVisitorKey(Exhibit& exhibit, VirtualKey key);

}  // namespace velmora
