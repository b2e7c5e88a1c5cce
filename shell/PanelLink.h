#pragma once
// The link to the exhibit's hardware control panel on a serial port: a status packet
// whenever the exhibit returns to its defaults and, while the poll timer runs, a poll
// every 100 ms whose 9-byte reply carries the stimulus buttons, the speed and the six
// parameters. The link decodes each complete reply and hands it back; the exhibit
// applies it. Nothing here ever blocks a frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/PanelProtocol.h"
#include "platform/SerialPort.h"

namespace velmora {

// Bytes handed to the line and not all taken yet. A write is in progress while
// `sentBytes < queuedBytes`; the rest is pushed whenever the link is serviced.
struct PanelWriteRecord {
  // Room for a status packet with a poll queued behind it.
  std::array<std::uint8_t, 16> bytes{};
  std::size_t queuedBytes = 0;
  std::size_t sentBytes = 0;
  bool InProgress() const { return sentBytes < queuedBytes; }
};

// The reply being read. It is complete when all 9 bytes have arrived, however many
// frames that takes.
struct PanelReadRecord {
  std::size_t receivedBytes = 0;
  // Poll ticks this read has waited so far; a read waiting too long is given up.
  std::int32_t ticksWaited = 0;
  bool Complete() const { return receivedBytes >= kReplyBytes; }
};

struct PanelLinkState {
  SerialPort panelPort;
  std::unique_ptr<PanelWriteRecord> writeRecord;  // null until created by Open
  std::unique_ptr<PanelReadRecord> readRecord;
  StatusPacket statusPacket{};
  PanelReply panelReply{};
  PanelReply previousReply{};
  bool sendReady = false;      // guard of SendStatus; true once the port is open
  bool pollReady = false;      // guard of Refresh; true once the port is open
  bool replyExpected = false;  // from a poll until its reply has been taken in
  // The line went away while running, or could not be opened at the start: the guards
  // are false and the link tries, now and then, to open the device again.
  bool lineLost = false;
  std::uint32_t lineLostTickMs = 0;  // clock tick of the loss or the last retry
};

// One complete reply as the panel link hands it over: its values (signed, not
// limited) and whether its bytes differ from the previous complete reply's.
struct PanelInput {
  PanelReplyValues values;
  bool changed = false;
};

class PanelLink {
public:
  // Ticks come from `clock`; the start-up failures are shown through `boxes`.
  PanelLink(Clock& clock, MessageBoxes& boxes);

  // Opens the device and sends the first status packet. Shows "Can not open serial
  // port!", "Can not retrieve serial state!" and "Can not set serial state!" for the
  // steps that fail, and "Can not create event!" when the buffers cannot be had. A
  // device that failed is tried again every few seconds without a message, as after a
  // loss of the line.
  void Open(const std::string& device);
  // The status packet, unless an earlier write is still unfinished; true when it went
  // out (or a port that never opened swallowed it).
  bool SendStatus();
  // What the following status packets carry: the defaults from Open on.
  void SetStatus(const PanelSettings& settings);
  // The poll timer's tick: a fresh poll, unless a reply is still being read.
  void Refresh();
  // At the start of every frame: services the line, and once the reply to a poll is
  // complete, hands it over (once). After a loss of the line, tries to open it again.
  std::optional<PanelInput> TakeReply();
  // Closes the port; the link returns to its initial state.
  void Close();

  const PanelLinkState& State() const { return state; }

private:
  bool ConfigureLine(bool reportFailures);
  void LoseLine();
  void TryReopen();
  bool PumpWrite();
  bool StartWrite(std::span<const std::uint8_t> bytes);
  bool PumpRead();

  Clock& clock;
  MessageBoxes& boxes;
  std::string device;  // as given to Open; reopened from it after a loss
  PanelLinkState state;
  bool staleLockReported = false;  // a stale lock file found on opening was told on standard error
};

}  // namespace velmora
