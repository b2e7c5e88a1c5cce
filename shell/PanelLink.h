#pragma once
// The link to the exhibit's hardware control panel on a serial port: a status packet
// whenever the exhibit returns to its defaults and, while the poll timer runs, a poll
// every 100 ms whose 9-byte reply sets the stimuli, the speed and the six parameters.
// Nothing here ever blocks a frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

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
  std::unique_ptr<PanelWriteRecord> writeRecord;  // null until created by OpenPanelPort
  std::unique_ptr<PanelReadRecord> readRecord;
  std::array<std::uint8_t, kStatusPacketBytes> statusPacket{};
  std::array<std::uint8_t, kReplyBytes> panelReply{};
  std::array<std::uint8_t, kReplyBytes> previousReply{};
  std::int32_t sendReady = 0;      // guard of SendPanelStatus; 1 once the port is open
  std::int32_t pollReady = 0;      // guard of Refresh; 1 once the port is open
  std::int32_t replyExpected = 0;  // 1 from a poll until its reply has been taken in
  // The line went away while running: the guards are 0 and the link tries, now and
  // then, to open the device again.
  bool lineLost = false;
  std::uint32_t lineLostTickMs = 0;  // ActiveClock tick of the loss or the last retry
};

extern PanelLinkState panelLink;

void OpenPanelPort();
void SendPanelStatus();
void Refresh();          // the poll timer's tick
void ApplyPanelReply();  // start of every frame
void ClosePanelPort();   // also returns the link state to its initial values

}  // namespace velmora
