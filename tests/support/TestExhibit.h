#pragma once
// An exhibit for tests, with everything it is handed: a fake clock, recorded message
// boxes and a fake display. Each test makes its own.

#include <cstdint>
#include <utility>
#include <vector>

#include "shell/Exhibit.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeFrameDisplay.h"
#include "tests/support/RecordingMessageBoxes.h"

namespace velmora::testing {

struct TestExhibit {
  explicit TestExhibit(std::uint32_t startMs, const ExhibitOptions& options = {}, MidiOutputOpener opener = {},
                       std::vector<StatusTexts> languages = {})
      : clock(startMs), exhibit(options, clock, boxes, display, std::move(opener), std::move(languages)) {}

  FakeClock clock;
  RecordingMessageBoxes boxes;
  FakeFrameDisplay display;
  Exhibit exhibit;
};

}  // namespace velmora::testing
