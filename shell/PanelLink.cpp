#include "shell/PanelLink.h"

#include <algorithm>
#include <new>
#include <span>

#include "model/Defaults.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "shell/ExhibitModel.h"
#include "shell/ExhibitOptions.h"
#include "shell/Parameters.h"

namespace velmora {

PanelLinkState panelLink;

namespace {

constexpr std::uint8_t kStatusLetter = 's';

// A reply takes about 10 ms on the line at 9600 baud. A read still incomplete after
// this many 100 ms poll ticks is given up and the next tick polls afresh, so a lost
// byte costs half a second of panel input instead of the panel for good.
constexpr std::int32_t kReplyWaitTicks = 5;

// After the line went away, opening the device again is tried this often (ms). Opening
// a missing device fails at once, so a retry never holds up a frame.
constexpr std::uint32_t kReopenIntervalMs = 3000;

constexpr const char* kErrorCaption = "Error";

bool ConfigureLine(SerialPort& port, bool reportFailures) {
  bool ok = true;
  auto fail = [&](const char* text) {
    ok = false;
    if (reportFailures) ShowMessageBox(kErrorCaption, text);
  };
  if (!port.Open(exhibitOptions.panelDevice)) fail("Can not open serial port!");
  if (!port.RetrieveState()) fail("Can not retrieve serial state!");
  if (!port.ApplyExhibitSettings()) fail("Can not set serial state!");
  return ok;
}

// The line is gone (unplugged, or the other end closed): the exhibit goes on without
// the panel, silently, and nothing polls a dead descriptor.
void LoseLine() {
  panelLink.panelPort.Close();
  panelLink.sendReady = 0;
  panelLink.pollReady = 0;
  panelLink.replyExpected = 0;
  if (panelLink.writeRecord) *panelLink.writeRecord = PanelWriteRecord{};
  if (panelLink.readRecord) *panelLink.readRecord = PanelReadRecord{};
  panelLink.lineLost = true;
  panelLink.lineLostTickMs = ActiveClock().TickCount();
}

void TryReopen() {
  const std::uint32_t now = ActiveClock().TickCount();
  if (now - panelLink.lineLostTickMs < kReopenIntervalMs) return;
  panelLink.lineLostTickMs = now;
  if (!ConfigureLine(panelLink.panelPort, false)) {
    panelLink.panelPort.Close();
    return;
  }
  panelLink.lineLost = false;
  panelLink.sendReady = 1;
  panelLink.pollReady = 1;
}

// Pushes the unsent rest of the current write; false when the line is gone.
bool PumpWrite() {
  PanelWriteRecord* record = panelLink.writeRecord.get();
  if (record == nullptr || !record->InProgress()) return true;
  std::size_t written = 0;
  const auto rest = std::span<const std::uint8_t>(record->bytes)
                        .subspan(record->sentBytes, record->queuedBytes - record->sentBytes);
  if (panelLink.panelPort.WriteSome(rest, written) == LineStatus::HungUp) {
    LoseLine();
    return false;
  }
  record->sentBytes += written;
  if (!record->InProgress()) *record = PanelWriteRecord{};
  return true;
}

// Queues bytes behind whatever is still unsent and pushes what the line takes now.
// Bytes that do not fit are dropped: the record only ever holds a packet and a poll.
bool StartWrite(std::span<const std::uint8_t> bytes) {
  PanelWriteRecord* record = panelLink.writeRecord.get();
  // A port that never opened swallows its writes, as a failed port does.
  if (record == nullptr || !panelLink.panelPort.IsOpen()) return true;
  if (record->queuedBytes + bytes.size() <= record->bytes.size()) {
    std::copy(bytes.begin(), bytes.end(), record->bytes.begin() + static_cast<std::ptrdiff_t>(record->queuedBytes));
    record->queuedBytes += bytes.size();
  }
  return PumpWrite();
}

// Takes in whatever part of the reply has arrived; false when the line is gone.
bool PumpRead() {
  PanelReadRecord* record = panelLink.readRecord.get();
  if (record == nullptr || record->Complete()) return true;
  std::size_t received = 0;
  const auto rest = std::span<std::uint8_t>(panelLink.panelReply).subspan(record->receivedBytes);
  if (panelLink.panelPort.ReadSome(rest, received) == LineStatus::HungUp) {
    LoseLine();
    return false;
  }
  record->receivedBytes += received;
  return true;
}

std::int32_t SignExtended(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

}  // namespace

void OpenPanelPort() {
  ConfigureLine(panelLink.panelPort, true);
  panelLink.writeRecord.reset(new (std::nothrow) PanelWriteRecord{});
  if (!panelLink.writeRecord) ShowMessageBox(kErrorCaption, "Can not create event!");
  panelLink.readRecord.reset(new (std::nothrow) PanelReadRecord{});
  if (!panelLink.readRecord) ShowMessageBox(kErrorCaption, "Can not create event!");

  panelLink.statusPacket[0] = kStatusLetter;
  panelLink.statusPacket[1] = static_cast<std::uint8_t>(static_cast<std::int32_t>(defaultSpeedSetting));
  for (std::size_t i = 0; i < 6; ++i) {
    panelLink.statusPacket[2 + i] = static_cast<std::uint8_t>(defaultParams[i] & 0xFF);
  }
  panelLink.sendReady = 1;
  panelLink.pollReady = 1;
  panelLink.replyExpected = 0;
  SendPanelStatus();
}

void SendPanelStatus() {
  if (panelLink.sendReady == 0) return;
  panelLink.sendReady = 0;
  // A packet is skipped while an earlier write is unfinished, but the guard is always
  // restored, so the next reset's packet goes out again.
  if (PumpWrite() && !(panelLink.writeRecord && panelLink.writeRecord->InProgress())) {
    if (!StartWrite(panelLink.statusPacket)) return;
  }
  if (!panelLink.lineLost) panelLink.sendReady = 1;
}

void Refresh() {
  if (panelLink.pollReady == 0) return;
  panelLink.pollReady = 0;
  if (!PumpWrite()) return;
  PanelReadRecord* read = panelLink.readRecord.get();
  // Never a second read over an outstanding one: the reply would land in the same
  // buffer at an unknown offset. A read that waited too long is given up.
  if (panelLink.replyExpected != 0 && read != nullptr && ++read->ticksWaited < kReplyWaitTicks) {
    panelLink.pollReady = 1;
    return;
  }
  // The reply has no framing: each poll starts from an empty input queue, so a stray
  // byte cannot shift this and every later reply.
  panelLink.panelPort.DiscardInput();
  if (read != nullptr) *read = PanelReadRecord{};
  const std::uint8_t poll[] = {kPollLetter};
  if (!StartWrite(poll)) return;
  panelLink.pollReady = 1;
  panelLink.replyExpected = 1;
}

void ApplyPanelReply() {
  if (panelLink.lineLost) {
    TryReopen();
    return;
  }
  if (!PumpWrite()) return;
  if (panelLink.replyExpected == 0 || panelLink.readRecord == nullptr) return;
  if (!PumpRead() || !panelLink.readRecord->Complete()) return;

  const auto& reply = panelLink.panelReply;
  for (std::size_t i = 0; i < userParams.size(); ++i) userParams[i] = SignExtended(reply[3 + i]);
  speedSetting = static_cast<float>(SignExtended(reply[2]));
  stepFactor = StepFactorForSpeed(speedSetting);
  if (reply != panelLink.previousReply) {
    model.SetWeights(userParams);
    model.step = stepFactor;
    if (reply[0] != 0) model.Stimulate(true, false);
    if (reply[1] != 0) model.Stimulate(false, true);
    NoteInteraction();
  }
  panelLink.previousReply = reply;
  *panelLink.readRecord = PanelReadRecord{};
  panelLink.replyExpected = 0;
}

void ClosePanelPort() {
  panelLink.panelPort.AbortOutput();
  panelLink.panelPort.Close();
  panelLink.writeRecord.reset();
  panelLink.readRecord.reset();
  panelLink.statusPacket = {};
  panelLink.panelReply = {};
  panelLink.previousReply = {};
  panelLink.sendReady = 0;
  panelLink.pollReady = 0;
  panelLink.replyExpected = 0;
  panelLink.lineLost = false;
  panelLink.lineLostTickMs = 0;
}

}  // namespace velmora
