#include "shell/MessageLog.h"

#include <iterator>

namespace velmora {

MessageLog::MessageLog(Clock& tickClock, MessageBoxes& chosenBoxes, bool showOnScreen)
    : clock(tickClock), unwrapped(tickClock), boxes(chosenBoxes), onScreen(showOnScreen) {}

void MessageLog::Show(std::string_view caption, std::string_view text) {
  messages.push_back(ShownMessage{std::string(caption), std::string(text), clock.TickCount(), unwrapped.NowMs()});
  boxes.Show(caption, text);
}

std::vector<std::string> MessageLog::NoticeLines() {
  std::vector<std::string> lines;
  // Read every frame, also with nothing to show, so that the unwrapped clock sees every wrap.
  const std::uint64_t now = unwrapped.NowMs();
  if (!onScreen || messages.empty()) return lines;
  // Messages come in time order, so the recent ones are the end of the list. On the
  // 32-bit tick a message would come back for another 10 s every 49.7 days.
  auto first = messages.end();
  while (first != messages.begin() && now - std::prev(first)->shownAtMs < kNoticeShownMs &&
         static_cast<std::size_t>(messages.end() - first) < kNoticeLinesMax) {
    --first;
  }
  for (auto message = first; message != messages.end(); ++message) {
    lines.push_back(message->caption + ": " + message->text);
  }
  return lines;
}

}  // namespace velmora
