// Drives an exhibit's panel link through a pseudo-terminal with fuzz-chosen reply
// bytes and a fuzz-chosen order of poll ticks, frame starts, resets, clock steps and a
// hang-up. After every event the exhibit's visitor parameters and speed must equal
// the sign-extended bytes of the last reply taken in completely that differed from
// the one before (or the defaults after a reset, until such a reply), and the reply being read must hold exactly the bytes the panel sent, in
// order.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "model/Defaults.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "shell/Exhibit.h"
#include "shell/ExhibitOptions.h"
#include "shell/PanelLink.h"
#include "tests/support/FakeFrameDisplay.h"

namespace velmora {
namespace {

// Bound on waiting for bytes on their way through the pseudo-terminal; reaching it
// means the machine stalled, not that the link misbehaved.
constexpr auto kArrivalLimit = std::chrono::seconds(2);
// The pseudo-terminal's input queue holds 4 KB; the fuzz input never sends more.
constexpr std::size_t kMostBytesSent = 2048;

class FuzzClock final : public Clock {
public:
  std::uint32_t TickCount() override { return nowMs; }
  void Sleep(std::uint32_t ms) override { nowMs += ms; }
  std::uint32_t nowMs = 100000;
};

enum class Event : std::uint8_t {
  Refresh,
  ApplyReply,
  ResetToDefaults,
  SendBytes,
  AdvanceClock,
  SendStatus,
  HangUp,
  kCount,
};

void Fail(const char* what) {
  std::fprintf(stderr, "panel link invariant broken: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

struct Expected {
  std::array<std::int32_t, 6> params{};
  float speed = defaultSpeedSetting;
};

Expected Defaults() {
  Expected expected;
  std::copy_n(defaultParams.begin(), expected.params.size(), expected.params.begin());
  return expected;
}

class Harness {
public:
  Harness(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  ~Harness() {
    exhibit_.reset();  // its shutdown closes the port
    if (panelFd_ >= 0) close(panelFd_);
    if (lineFd_ >= 0) close(lineFd_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  void Run() {
    char name[256] = {};
    if (openpty(&panelFd_, &lineFd_, name, nullptr, nullptr) != 0) return;
    fcntl(panelFd_, F_SETFL, fcntl(panelFd_, F_GETFL) | O_NONBLOCK);
    // The exhibit reaches the line through a link of its own, which the hang-up
    // removes: the link's attempts to open the line again then find no device.
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    std::filesystem::create_symlink(name, device_, error);
    if (error) return;
    ExhibitOptions options;
    options.panelDevice = device_.string();
    exhibit_ = std::make_unique<Exhibit>(options, clock_, boxes_, display_);
    exhibit_->OpenPanelPort();
    exhibit_->ResetToDefaults();
    expected_ = Defaults();
    CheckState();

    while (position_ < size_) {
      const auto event = static_cast<Event>(Next() % static_cast<std::uint8_t>(Event::kCount));
      if (!Handle(event)) return;
      DrainStatusAndPolls();
      CheckState();
    }
  }

private:
  std::uint8_t Next() { return position_ < size_ ? data_[position_++] : 0; }
  const PanelLinkState& Link() const { return exhibit_->GetPanelLink().State(); }

  // False when the pseudo-terminal stalled and the run cannot be judged.
  bool Handle(Event event) {
    switch (event) {
      case Event::Refresh:
        exhibit_->PanelTimerTick();
        return AfterLineEvent(false);
      case Event::ApplyReply:
        return ApplyReplyAndTrack();
      case Event::ResetToDefaults:
        exhibit_->ResetToDefaults();
        expected_ = Defaults();
        return AfterLineEvent(false);
      case Event::SendBytes:
        return SendBytes();
      case Event::AdvanceClock:
        clock_.nowMs += static_cast<std::uint32_t>(Next()) * 100;
        return true;
      case Event::SendStatus:
        exhibit_->GetPanelLink().SendStatus();
        return AfterLineEvent(false);
      case Event::HangUp:
        if (panelFd_ >= 0) {
          std::error_code ignored;
          std::filesystem::remove(device_, ignored);
          close(panelFd_);
          panelFd_ = -1;
          queue_.clear();
          partial_.clear();
        }
        return true;
      case Event::kCount:
        break;
    }
    return true;
  }

  // Bytes the panel sent and the exhibit has not read or discarded yet.
  std::size_t Unread() const {
    int count = 0;
    if (ioctl(lineFd_, FIONREAD, &count) != 0 || count < 0) return 0;
    return static_cast<std::size_t>(count);
  }

  bool WaitForUnread(std::size_t count) const {
    const auto limit = std::chrono::steady_clock::now() + kArrivalLimit;
    while (Unread() < count) {
      if (std::chrono::steady_clock::now() > limit) return false;
      poll(nullptr, 0, 0);
    }
    return true;
  }

  bool SendBytes() {
    const std::size_t count = std::min<std::size_t>(Next() % 16 + 1, size_ - position_);
    if (panelFd_ < 0 || count == 0 || sent_ + count > kMostBytesSent) {
      position_ += count;
      return true;
    }
    std::size_t written = 0;
    while (written < count) {
      const ssize_t n = write(panelFd_, data_ + position_ + written, count - written);
      if (n <= 0) return false;
      written += static_cast<std::size_t>(n);
    }
    queue_.insert(queue_.end(), data_ + position_, data_ + position_ + count);
    position_ += count;
    sent_ += count;
    return WaitForUnread(queue_.size());
  }

  // Events other than a frame start never read the line; a poll may discard it.
  bool AfterLineEvent(bool mayRead) {
    if (panelFd_ < 0) return true;
    const std::size_t unread = Unread();
    Check(unread <= queue_.size(), "more bytes on the line than the panel sent");
    if (unread < queue_.size()) {
      Check(mayRead || unread == 0, "bytes vanished without a read or a full discard");
      queue_.clear();
    }
    SyncPartial();
    return true;
  }

  // The harness's copy of the reply restarts whenever the link's read restarts.
  void SyncPartial() {
    const std::size_t received = Link().readRecord ? Link().readRecord->receivedBytes : 0;
    if (received == 0) partial_.clear();
    Check(partial_.size() == received, "the reply holds bytes the panel did not send");
    Check(std::equal(partial_.begin(), partial_.end(), Link().panelReply.begin()),
          "the reply's bytes differ from what the panel sent");
  }

  bool ApplyReplyAndTrack() {
    const std::size_t before = panelFd_ >= 0 ? Unread() : 0;
    Check(before == queue_.size() || panelFd_ < 0, "line queue out of step");
    exhibit_->ApplyPanelReply();
    if (panelFd_ < 0) {
      SyncPartialAfterHangUp();
      return true;
    }
    const std::size_t after = Unread();
    Check(after <= before, "a frame start added bytes to the line");
    const std::size_t taken = before - after;
    Check(partial_.size() + taken <= kReplyBytes, "a reply read past its nine bytes");
    for (std::size_t i = 0; i < taken; ++i) {
      partial_.push_back(queue_.front());
      queue_.pop_front();
    }
    if (partial_.size() == kReplyBytes) {
      Check(!Link().replyExpected, "a complete reply was left waiting");
      // A reply the same as the one before says nothing new: the parameters stay.
      if (!std::equal(partial_.begin(), partial_.end(), lastReply_.begin())) {
        for (std::size_t i = 0; i < expected_.params.size(); ++i) {
          expected_.params[i] = static_cast<std::int8_t>(partial_[3 + i]);
        }
        expected_.speed = static_cast<float>(static_cast<std::int8_t>(partial_[2]));
        std::copy(partial_.begin(), partial_.end(), lastReply_.begin());
      }
      partial_.clear();
    }
    SyncPartial();
    return true;
  }

  void SyncPartialAfterHangUp() {
    const std::size_t received = Link().readRecord ? Link().readRecord->receivedBytes : 0;
    Check(received == 0 || !Link().lineLost, "a lost line kept a partial reply");
  }

  void DrainStatusAndPolls() const {
    if (panelFd_ < 0) return;
    std::uint8_t sink[256];
    while (read(panelFd_, sink, sizeof sink) > 0) {
    }
  }

  void CheckState() const {
    Check(exhibit_->Parameters().weights == expected_.params, "parameters differ from the last complete reply");
    Check(exhibit_->Parameters().speedSetting == expected_.speed, "speed differs from the last complete reply");
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  std::size_t sent_ = 0;
  int panelFd_ = -1;
  int lineFd_ = -1;
  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("velmora-fuzz-panel-" + std::to_string(getpid()));
  const std::filesystem::path device_ = folder_ / "panel";
  FuzzClock clock_;
  StandardErrorMessageBoxes boxes_;
  testing::FakeFrameDisplay display_;
  std::unique_ptr<Exhibit> exhibit_;
  std::deque<std::uint8_t> queue_;     // sent by the panel, not yet read or discarded
  std::vector<std::uint8_t> partial_;  // read into the current reply so far
  Expected expected_;
  std::array<std::uint8_t, kReplyBytes> lastReply_{};  // the last complete reply that differed; zeros at first
};

}  // namespace
}  // namespace velmora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velmora::Harness harness(data, size);
  harness.Run();
  return 0;
}
