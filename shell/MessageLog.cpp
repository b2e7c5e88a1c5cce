#include "shell/MessageLog.h"

#include <iterator>

namespace velmora {

MessageLog::MessageLog(Clock& tickClock, MessageBoxes& chosenBoxes, bool showOnScreen)
    : clock(tickClock), boxes(chosenBoxes), onScreen(showOnScreen) {}

void MessageLog::Show(std::string_view caption, std::string_view text) {
  messages.push_back(ShownMessage{std::string(caption), std::string(text), clock.TickCount()});
  boxes.Show(caption, text);
}

std::vector<std::string> MessageLog::NoticeLines() {
  std::vector<std::string> lines;
  if (!onScreen || messages.empty()) return lines;
  const std::uint32_t now = clock.TickCount();
  // Messages come in time order, so the recent ones are the end of the list; the
  // unsigned difference stays right across the tick's wrap.
  auto first = messages.end();
  while (first != messages.begin() && now - std::prev(first)->tickMs < kNoticeShownMs &&
         static_cast<std::size_t>(messages.end() - first) < kNoticeLinesMax) {
    --first;
  }
  for (auto message = first; message != messages.end(); ++message) {
    lines.push_back(message->caption + ": " + message->text);
  }
  return lines;
}

}  // namespace velmora
