#include "platform/MidiPort.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <memory>
#include <semaphore>
#include <string_view>
#include <thread>

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
// for the port. The first failed send (the port went away, the sequencer failed)
// makes the output quiet for good: later messages are dropped, nothing is reported.
class PortOutput final : public MidiOutput {
public:
  PortOutput(MidiPortSend send, std::function<void()> close)
      : send_(std::move(send)), close_(std::move(close)), sender_([this] { Send(); }) {}

  ~PortOutput() override {
    stopping_.store(true, std::memory_order_release);
    pending_.release();
    sender_.join();
    if (close_) close_();
  }
  PortOutput(const PortOutput&) = delete;
  PortOutput& operator=(const PortOutput&) = delete;

  MidiSendResult ShortMessage(std::uint32_t message) override {
    if (failed_.load(std::memory_order_acquire)) return MidiSendResult::Accepted;
    if (queue_.Push(message)) pending_.release();
    return MidiSendResult::Accepted;
  }

private:
  // Sends everything queued; at the end it drains the queue first, so the closing
  // all-notes-off messages still reach the port.
  void Send() {
    for (;;) {
      pending_.acquire();
      std::uint32_t message = 0;
      while (queue_.Pop(message)) {
        const MidiBytes m = UnpackShortMessage(message);
        if (m.count == 0 || failed_.load(std::memory_order_relaxed)) continue;
        bool sent = false;
        try {
          sent = send_(m.bytes, m.count);
        } catch (...) {
          sent = false;
        }
        if (!sent) failed_.store(true, std::memory_order_release);
      }
      if (stopping_.load(std::memory_order_acquire) && queue_.Empty()) return;
    }
  }

  MidiPortSend send_;
  std::function<void()> close_;
  MidiMessageQueue<kQueueMessages> queue_;
  std::counting_semaphore<> pending_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> failed_{false};
  std::thread sender_;  // last: starts once everything it uses exists
};

// RtMidi reports a failed send through its error callback (and would otherwise print
// every failure to standard error); the callback marks the port failed instead.
void NoteRtMidiError(RtMidiError::Type, const std::string&, void* failedFlag) {
  static_cast<std::atomic<bool>*>(failedFlag)->store(true, std::memory_order_release);
}

}  // namespace

std::unique_ptr<MidiOutput> MakeQueuedPortOutput(MidiPortSend send, std::function<void()> close) {
  return std::make_unique<PortOutput>(std::move(send), std::move(close));
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
  try {
    auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
    std::vector<std::string> names;
    const unsigned count = out->getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(out->getPortName(i));
    const int index = FindMidiPort(names, wanted);
    if (index < 0) {
      error = "no MIDI port matches \"" + wanted + "\"";
      return nullptr;
    }
    out->openPort(static_cast<unsigned>(index), kClientName);
    // Shared by the callback and the send: the port and its flag live as long as the output.
    auto failed = std::make_shared<std::atomic<bool>>(false);
    out->setErrorCallback(&NoteRtMidiError, failed.get());
    std::shared_ptr<RtMidiOut> port(std::move(out));
    return MakeQueuedPortOutput(
        [port, failed](const std::uint8_t* bytes, std::size_t byteCount) {
          port->sendMessage(bytes, byteCount);
          return !failed->load(std::memory_order_acquire);
        },
        [port] { port->closePort(); });
  } catch (const RtMidiError& e) {
    error = e.getMessage();
    return nullptr;
  }
}

}  // namespace velmora
