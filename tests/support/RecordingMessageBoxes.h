#pragma once
// Message boxes for tests: every message shown is kept, in order, as "caption: text";
// nothing is shown and nothing waits.

#include <string>
#include <string_view>
#include <vector>

#include "platform/MessageBoxes.h"

namespace velmora::testing {

class RecordingMessageBoxes final : public MessageBoxes {
public:
  void Show(std::string_view caption, std::string_view text) override {
    shown.push_back(std::string(caption) + ": " + std::string(text));
  }
  std::vector<std::string> shown;
};

}  // namespace velmora::testing
