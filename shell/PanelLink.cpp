#include "shell/PanelLink.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "model/Defaults.h"

namespace velmora {
namespace {

// A reply takes about 10 ms on the line at 9600 baud. A read still incomplete after
// this many 100 ms poll ticks is given up and the next tick polls afresh, so a lost
// byte costs half a second of panel input instead of the panel for good.
constexpr std::int32_t kReplyWaitTicks = 5;

// After the line went away, or when it could not be opened at the start, opening the
// device again is tried this often (ms). Opening a missing device fails at once, so a
// retry never holds up a frame.
constexpr std::uint32_t kReopenIntervalMs = 3000;

constexpr char kErrorCaption[] = "Error";

}  // namespace

PanelLink::PanelLink(Clock& tickClock, MessageBoxes& failureBoxes) : clock(tickClock), boxes(failureBoxes) {}

bool PanelLink::ConfigureLine(bool reportFailures) {
  bool ok = true;
  auto fail = [&](std::string_view text) {
    ok = false;
    if (reportFailures) boxes.Show(kErrorCaption, text);
  };
  if (!state.panelPort.Open(device)) fail("Can not open serial port!");
  // Told once a run, however often the line is opened again past the same file.
  if (!state.panelPort.StaleLockFileNote().empty() && !staleLockReported) {
    std::fprintf(stderr, "velmora: panel %s: found %s\n", device.c_str(), state.panelPort.StaleLockFileNote().c_str());
    staleLockReported = true;
  }
  if (!state.panelPort.RetrieveState()) fail("Can not retrieve serial state!");
  if (!state.panelPort.ApplyExhibitSettings()) fail("Can not set serial state!");
  return ok;
}

// The line is gone (unplugged, or the other end closed): the exhibit goes on without
// the panel, silently, and nothing polls a dead descriptor.
void PanelLink::LoseLine() {
  state.panelPort.Close();
  state.sendReady = false;
  state.pollReady = false;
  state.replyExpected = false;
  if (state.writeRecord) *state.writeRecord = PanelWriteRecord{};
  if (state.readRecord) *state.readRecord = PanelReadRecord{};
  state.lineLost = true;
  state.lineLostTickMs = clock.TickCount();
}

void PanelLink::TryReopen() {
  const std::uint32_t now = clock.TickCount();
  if (now - state.lineLostTickMs < kReopenIntervalMs) return;
  state.lineLostTickMs = now;
  if (!ConfigureLine(false)) {
    state.panelPort.Close();
    return;
  }
  state.lineLost = false;
  state.sendReady = true;
  state.pollReady = true;
}

// Pushes the unsent rest of the current write; false when the line is gone.
bool PanelLink::PumpWrite() {
  PanelWriteRecord* record = state.writeRecord.get();
  if (record == nullptr || !record->InProgress()) return true;
  std::size_t written = 0;
  const auto rest = std::span<const std::uint8_t>(record->bytes)
                        .subspan(record->sentBytes, record->queuedBytes - record->sentBytes);
  if (state.panelPort.WriteSome(rest, written) == LineStatus::HungUp) {
    LoseLine();
    return false;
  }
  record->sentBytes += written;
  if (!record->InProgress()) *record = PanelWriteRecord{};
  return true;
}

// Queues bytes behind whatever is still unsent and pushes what the line takes now.
// Bytes that do not fit are dropped: the record only ever holds a packet and a poll.
bool PanelLink::StartWrite(std::span<const std::uint8_t> bytes) {
  PanelWriteRecord* record = state.writeRecord.get();
  // A port that never opened swallows its writes, as a failed port does.
  if (record == nullptr || !state.panelPort.IsOpen()) return true;
  if (record->queuedBytes + bytes.size() <= record->bytes.size()) {
    std::copy(bytes.begin(), bytes.end(), record->bytes.begin() + static_cast<std::ptrdiff_t>(record->queuedBytes));
    record->queuedBytes += bytes.size();
  }
  return PumpWrite();
}

// Takes in whatever part of the reply has arrived; false when the line is gone.
bool PanelLink::PumpRead() {
  PanelReadRecord* record = state.readRecord.get();
  if (record == nullptr || record->Complete()) return true;
  std::size_t received = 0;
  const auto rest = std::span<std::uint8_t>(state.panelReply).subspan(record->receivedBytes);
  if (state.panelPort.ReadSome(rest, received) == LineStatus::HungUp) {
    LoseLine();
    return false;
  }
  record->receivedBytes += received;
  return true;
}

void PanelLink::Open(const std::string& panelDevice) {
  device = panelDevice;
  const bool opened = ConfigureLine(true);
  state.writeRecord.reset(new (std::nothrow) PanelWriteRecord{});
  if (!state.writeRecord) boxes.Show(kErrorCaption, "Can not create event!");
  state.readRecord.reset(new (std::nothrow) PanelReadRecord{});
  if (!state.readRecord) boxes.Show(kErrorCaption, "Can not create event!");

  PanelSettings defaults;
  defaults.speed = static_cast<std::int32_t>(defaultSpeedSetting);
  std::copy_n(defaultParams.begin(), defaults.params.size(), defaults.params.begin());
  state.statusPacket = EncodeStatusPacket(defaults);
  state.sendReady = true;
  state.pollReady = true;
  state.replyExpected = false;
  if (!opened) {
    // Busy or missing at the start, the panel is tried again now and then, quietly, as
    // one lost while running is: the messages above were its only word.
    LoseLine();
    return;
  }
  SendStatus();
}

bool PanelLink::SendStatus() {
  if (!state.sendReady) return false;
  state.sendReady = false;
  // A packet is skipped while an earlier write is unfinished, but the guard is always
  // restored, so the next reset's packet goes out again.
  bool sent = false;
  if (PumpWrite() && !(state.writeRecord && state.writeRecord->InProgress())) {
    if (!StartWrite(state.statusPacket)) return false;
    sent = true;
  }
  if (!state.lineLost) state.sendReady = true;
  return sent;
}

void PanelLink::SetStatus(const PanelSettings& settings) { state.statusPacket = EncodeStatusPacket(settings); }

void PanelLink::Refresh() {
  if (!state.pollReady) return;
  state.pollReady = false;
  if (!PumpWrite()) return;
  PanelReadRecord* read = state.readRecord.get();
  // Never a second read over an outstanding one: the reply would land in the same
  // buffer at an unknown offset. A read that waited too long is given up.
  if (state.replyExpected && read != nullptr && ++read->ticksWaited < kReplyWaitTicks) {
    state.pollReady = true;
    return;
  }
  // The reply has no framing: each poll starts from an empty input queue, so a stray
  // byte cannot shift this and every later reply.
  state.panelPort.DiscardInput();
  if (read != nullptr) *read = PanelReadRecord{};
  const std::uint8_t poll[] = {kPollLetter};
  if (!StartWrite(poll)) return;
  state.pollReady = true;
  state.replyExpected = true;
}

std::optional<PanelInput> PanelLink::TakeReply() {
  if (state.lineLost) {
    TryReopen();
    return std::nullopt;
  }
  if (!PumpWrite()) return std::nullopt;
  if (!state.replyExpected || state.readRecord == nullptr) return std::nullopt;
  if (!PumpRead() || !state.readRecord->Complete()) return std::nullopt;

  const PanelInput input{DecodeReply(state.panelReply), state.panelReply != state.previousReply};
  state.previousReply = state.panelReply;
  *state.readRecord = PanelReadRecord{};
  state.replyExpected = false;
  return input;
}

void PanelLink::Close() {
  state.panelPort.AbortOutput();
  state.panelPort.Close();
  state.writeRecord.reset();
  state.readRecord.reset();
  state.statusPacket = {};
  state.panelReply = {};
  state.previousReply = {};
  state.sendReady = false;
  state.pollReady = false;
  state.replyExpected = false;
  state.lineLost = false;
  state.lineLostTickMs = 0;
}

}  // namespace velmora
