#pragma once
// The link to the exhibit's hardware control panel on a serial port: a status packet
// whenever the exhibit returns to its defaults and, while the poll timer runs, a poll
// every 100 ms whose 9-byte reply sets the stimuli, the speed and the six parameters.
// Nothing here ever blocks a frame.

namespace velmora {

void OpenPanelPort();
void SendPanelStatus();
void Refresh();          // the poll timer's tick
void ApplyPanelReply();  // start of every frame
void ClosePanelPort();

}  // namespace velmora
