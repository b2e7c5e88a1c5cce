#pragma once
// The visitors' keys: parameters, speed, stimuli and the reset. Esc and F12, which end
// the exhibit, belong to the main window (TForm1::FormKeyDown).

#include "platform/Keys.h"

namespace velmora {

enum class KeyOutcome {
  Ignored,     // no key of the exhibit
  Handled,     // acted on
  EndExhibit,  // Esc or F12: the window ends the exhibit
};

// Acts on one key press; auto-repeated presses arrive as separate calls.
KeyOutcome ApplyVisitorKey(VirtualKey key);

}  // namespace velmora
