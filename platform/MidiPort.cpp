#include "platform/MidiPort.h"

#include <RtMidi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cctype>
#include <functional>
#include <memory>
#include <semaphore>
#include <string_view>
#include <thread>

#include <unistd.h>

#include "platform/MidiBytes.h"
#include "platform/MidiMessageQueue.h"

namespace velmora {
namespace {

constexpr const char* kClientName = "Velmora";
constexpr std::size_t kQueueMessages = 1024;

// "client:port", both decimal numbers, as the sequencer numbers its ports.
bool IsPortNumber(const std::string& text) {
  const std::size_t colon = text.find(':');
  auto digits = [](std::string_view part) {
    return !part.empty() && std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  };
  return colon != std::string::npos && digits(std::string_view(text).substr(0, colon)) &&
         digits(std::string_view(text).substr(colon + 1));
}

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Hands each message to a sender thread of its own, so the exhibit's sends never wait
// for the port. A failed send (the port went away, the sequencer failed) closes the
// port; while it is down messages are dropped, nothing is reported, and the sender
// thread alone tries to open it again now and then.
class PortOutput final : public MidiOutput {
public:
  PortOutput(MidiPortSend send, std::function<void()> close, MidiPortReopen reopen,
             std::chrono::milliseconds reopenInterval, MidiPortPresent present, bool openAtStart)
      : send_(std::move(send)),
        close_(std::move(close)),
        reopen_(std::move(reopen)),
        present_(std::move(present)),
        reopenInterval_(reopenInterval),
        down_(!openAtStart),
        sender_([this] { Run(); }) {}

  ~PortOutput() override {
    stopping_.store(true, std::memory_order_release);
    pending_.release();
    sender_.join();
    if (!down_.load(std::memory_order_relaxed)) Close();
  }
  PortOutput(const PortOutput&) = delete;
  PortOutput& operator=(const PortOutput&) = delete;

  // While the port is down only program changes are queued, to be given again when it
  // is back.
  MidiSendResult ShortMessage(std::uint32_t message) override {
    if (down_.load(std::memory_order_acquire) && !IsProgramChange(message)) return MidiSendResult::Accepted;
    if (queue_.Push(message)) pending_.release();
    return MidiSendResult::Accepted;
  }

  bool Working() const override { return !down_.load(std::memory_order_relaxed); }

private:
  using Moment = std::chrono::steady_clock::time_point;

  // Sends everything queued; when due, tries to reopen a port that is down, or looks
  // whether an open one is still there. At the end it drains the queue first, so the
  // closing all-notes-off messages still reach a working port.
  void Run() {
    auto now = [] { return std::chrono::steady_clock::now(); };
    Moment due = now() + reopenInterval_;
    for (;;) {
      const bool down = down_.load(std::memory_order_relaxed);
      const bool timed = down ? static_cast<bool>(reopen_) : static_cast<bool>(present_);
      if (timed) {
        static_cast<void>(pending_.try_acquire_until(due));
      } else {
        pending_.acquire();
      }
      const bool stopping = stopping_.load(std::memory_order_acquire);
      if (timed && !stopping && now() >= due) {
        if (down) {
          Reopen();
        } else if (!StillThere()) {
          GoDown();
        }
        due = now() + reopenInterval_;
      }
      std::uint32_t message = 0;
      while (queue_.Pop(message)) {
        if (IsProgramChange(message)) programs_[message & 0x0F] = message;
        if (!down_.load(std::memory_order_relaxed) && !Deliver(message)) {
          GoDown();
          due = now() + reopenInterval_;
        }
      }
      if (stopping && queue_.Empty()) return;
    }
  }

  bool StillThere() {
    try {
      return present_();
    } catch (...) {
      return false;
    }
  }

  static bool IsProgramChange(std::uint32_t message) { return (message & 0xF0) == kProgramChange; }

  // False when the port failed.
  bool Deliver(std::uint32_t message) {
    const MidiBytes m = UnpackShortMessage(message);
    if (m.count == 0) return true;
    try {
      return send_(m.bytes, m.count);
    } catch (...) {
      return false;
    }
  }

  void GoDown() {
    down_.store(true, std::memory_order_release);
    Close();
  }

  void Close() {
    try {
      if (close_) close_();
    } catch (...) {
    }
  }

  // Opens the port again and gives each channel its program back, as a device plugged
  // in again starts from its own defaults. False when it is still gone.
  bool Reopen() {
    try {
      if (!reopen_()) return false;
    } catch (...) {
      return false;
    }
    // Open from here on, so that messages sent from now on are queued behind the programs.
    down_.store(false, std::memory_order_release);
    for (const std::uint32_t program : programs_) {
      if (program != 0 && !Deliver(program)) {
        GoDown();
        return false;
      }
    }
    return true;
  }

  static constexpr std::uint32_t kProgramChange = 0xC0;  // status, channel in the low 4 bits

  MidiPortSend send_;
  std::function<void()> close_;
  MidiPortReopen reopen_;
  MidiPortPresent present_;
  std::chrono::milliseconds reopenInterval_;
  MidiMessageQueue<kQueueMessages> queue_;
  std::counting_semaphore<> pending_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> down_{false};            // closed after a failure, not yet reopened
  std::array<std::uint32_t, 16> programs_{};  // each channel's last program change; 0: none (sender thread only)
  std::thread sender_;  // last: starts once everything it uses exists
};

// RtMidi reports a failed send through its error callback (and would otherwise print
// every failure to standard error); the callback marks the port failed instead.
void NoteRtMidiError(RtMidiError::Type, const std::string&, void* failedFlag) {
  static_cast<std::atomic<bool>*>(failedFlag)->store(true, std::memory_order_release);
}

// The ALSA sequencer's device. Without it no sequencer client can be made, and RtMidi
// (and ALSA) would say so on standard error at every try: it is looked for first.
constexpr const char* kSequencerDevice = "/dev/snd/seq";

// The sequencer's port the operator's name chooses, found again by that name whenever
// it is opened (a device plugged back in may come with another number). Made on the
// caller's thread; once its output exists, used on the output's sender thread alone.
class SequencerPort {
public:
  explicit SequencerPort(std::string wanted) : wanted_(std::move(wanted)) {}

  // False, with `error` saying why, while there is no sequencer or no such port.
  bool Open(std::string& error) {
    if (!out_) {
      if (::access(kSequencerDevice, F_OK) != 0) {
        error = std::string("no ALSA sequencer (") + kSequencerDevice + " is missing)";
        return false;
      }
      out_ = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
      out_->setErrorCallback(&NoteRtMidiError, &failed_);
    }
    const std::vector<std::string> names = Names();
    const int index = FindMidiPort(names, wanted_);
    if (index < 0) {
      error = "no MIDI port matches \"" + wanted_ + "\"";
      return false;
    }
    if (out_->isPortOpen()) out_->closePort();  // half open from a try that failed
    failed_.store(false, std::memory_order_release);
    out_->openPort(static_cast<unsigned>(index), kClientName);
    if (!out_->isPortOpen() || failed_.load(std::memory_order_acquire)) {
      error = "the MIDI port \"" + names[static_cast<std::size_t>(index)] + "\" does not open";
      return false;
    }
    openedName_ = names[static_cast<std::size_t>(index)];
    return true;
  }

  bool Send(const std::uint8_t* bytes, std::size_t count) {
    out_->sendMessage(bytes, count);
    return !failed_.load(std::memory_order_acquire);
  }

  void Close() {
    if (out_) out_->closePort();
  }

  // The port opened last is still among the sequencer's ports, by its whole name,
  // numbers and all.
  bool Present() {
    const std::vector<std::string> names = Names();
    return std::find(names.begin(), names.end(), openedName_) != names.end();
  }

private:
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    const unsigned count = out_->getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(out_->getPortName(i));
    return names;
  }

  std::string wanted_;
  std::unique_ptr<RtMidiOut> out_;  // the exhibit's client; null until the sequencer was found
  std::atomic<bool> failed_{false};  // RtMidi reported an error since the last open
  std::string openedName_;
};

}  // namespace

std::unique_ptr<MidiOutput> MakeQueuedPortOutput(MidiPortSend send, std::function<void()> close,
                                                 MidiPortReopen reopen, std::chrono::milliseconds reopenInterval,
                                                 MidiPortPresent present, bool openAtStart) {
  return std::make_unique<PortOutput>(std::move(send), std::move(close), std::move(reopen), reopenInterval,
                                      std::move(present), openAtStart);
}

std::vector<std::string> MidiPortNames(std::string& error) {
  std::vector<std::string> names;
  try {
    RtMidiOut out(RtMidi::LINUX_ALSA, kClientName);
    const unsigned count = out.getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(out.getPortName(i));
  } catch (const RtMidiError& e) {
    error = e.getMessage();
    names.clear();
  }
  return names;
}

int FindMidiPort(const std::vector<std::string>& names, const std::string& wanted) {
  if (wanted.empty()) return -1;
  if (IsPortNumber(wanted)) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string& name = names[i];
      if (name.size() > wanted.size() && name.ends_with(wanted) &&
          name[name.size() - wanted.size() - 1] == ' ') {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  const std::string lowered = Lowered(wanted);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (Lowered(names[i]).find(lowered) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

std::unique_ptr<MidiOutput> OpenMidiPortOutput(const std::string& wanted, std::string& error) {
  auto port = std::make_shared<SequencerPort>(wanted);
  bool opened = false;
  try {
    opened = port->Open(error);
  } catch (const RtMidiError& e) {
    error = e.getMessage();
  }
  return MakeQueuedPortOutput(
      [port](const std::uint8_t* bytes, std::size_t count) { return port->Send(bytes, count); },
      [port] { port->Close(); },
      [port] {
        std::string ignored;
        return port->Open(ignored);
      },
      kMidiPortReopenInterval, [port] { return port->Present(); }, opened);
}

}  // namespace velmora
