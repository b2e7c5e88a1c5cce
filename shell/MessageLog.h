#pragma once
// Every message the exhibit shows (its start-up failures) passes through here: it is
// kept with the tick it came at, for as long as the exhibit runs, and handed on to the
// message boxes the program chose. In an unattended run nobody is there to answer a
// box, so those boxes only write standard error, and the frame shows each message as
// a notice line for a while instead.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/MessageBoxes.h"

namespace velmora {

// How long a message stays on the exhibit's screen in an unattended run (ms): long
// enough to be read by someone who looks up, short enough that visitors hardly see it.
inline constexpr std::uint32_t kNoticeShownMs = 10'000;
// Most notice lines over the picture at once, the newest kept: start-up gives at most
// four messages (the MIDI output's and the panel's three).
inline constexpr std::size_t kNoticeLinesMax = 6;

struct ShownMessage {
  std::string caption;
  std::string text;
  std::uint32_t tickMs = 0;     // clock tick at which it was shown
  std::uint64_t shownAtMs = 0;  // the same moment on the unwrapped clock, which notices are timed by
};

class MessageLog final : public MessageBoxes {
public:
  // `boxes` shows each message after it is kept; with `onScreen`, NoticeLines gives
  // the recent ones for the frame to draw.
  MessageLog(Clock& clock, MessageBoxes& boxes, bool onScreen);

  void Show(std::string_view caption, std::string_view text) override;

  // Every message shown so far, oldest first.
  const std::vector<ShownMessage>& Messages() const { return messages; }
  // "caption: text" of each message shown less than kNoticeShownMs ago, oldest first;
  // none unless the log shows messages on screen.
  std::vector<std::string> NoticeLines();

private:
  Clock& clock;
  UnwrappedClock unwrapped;
  MessageBoxes& boxes;
  bool onScreen;
  std::vector<ShownMessage> messages;
};

}  // namespace velmora
