#pragma once
// External MIDI ports of the ALSA sequencer. A port output hands each message to a
// sender thread of its own, so the exhibit's sends never wait for the sequencer.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/Midi.h"

namespace velmora {

// The names of the output ports the sequencer offers; `error` is set (and the list
// empty) when there is no sequencer.
std::vector<std::string> MidiPortNames(std::string& error);

// Index of the port `wanted` names, or -1: a "client:port" number matches the port
// with that number at the end of its name, anything else the first name that
// contains it, ignoring case.
int FindMidiPort(const std::vector<std::string>& names, const std::string& wanted);

// One message's bytes to a port; false (or an exception) when the port has failed.
using MidiPortSend = std::function<bool(const std::uint8_t* bytes, std::size_t count)>;
// Opens the same port again after it failed and was closed (or first opens one that
// was missing at the start); false (or an exception) while it is still gone.
using MidiPortReopen = std::function<bool()>;
// Whether the open port is still there: the sequencer's send reports nothing when a
// device is unplugged, so only looking tells. False (or an exception) once it is gone.
using MidiPortPresent = std::function<bool()>;

// How often a failed port is tried again, as the panel's line is: often enough that
// a port plugged back in plays again within seconds, seldom enough to cost nothing.
inline constexpr std::chrono::milliseconds kMidiPortReopenInterval{3000};

// The queued output around a port's send, close and reopen, for the sequencer's ports
// and for tests. Sends never wait. A failed send, or a port found no longer `present`
// (looked at every `reopenInterval` while it is open; never, without `present`), closes
// the port, quietly; until it opens again the output drops everything but program
// changes and the exhibit runs on without sound. The sender thread tries to reopen it
// every `reopenInterval` (never, without `reopen`), and once it is back plays on, each
// channel's last program change first. Without `openAtStart` the port starts closed, as
// one missing when the exhibit starts, and is tried as a failed one is.
std::unique_ptr<MidiOutput> MakeQueuedPortOutput(MidiPortSend send, std::function<void()> close,
                                                 MidiPortReopen reopen = nullptr,
                                                 std::chrono::milliseconds reopenInterval = kMidiPortReopenInterval,
                                                 MidiPortPresent present = nullptr, bool openAtStart = true);

// The sequencer's port `wanted` chooses (see FindMidiPort), as a queued output that
// notices the port going and coming back. When the port, or the whole sequencer, is
// missing now, `error` says so and the output, not Working(), looks for it every
// kMidiPortReopenInterval.
std::unique_ptr<MidiOutput> OpenMidiPortOutput(const std::string& wanted, std::string& error);

}  // namespace velmora
