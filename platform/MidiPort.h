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
// Opens the same port again after it failed and was closed; false (or an exception)
// while it is still gone.
using MidiPortReopen = std::function<bool()>;

// How often a failed port is tried again, as the panel's line is: often enough that
// a port plugged back in plays again within seconds, seldom enough to cost nothing.
inline constexpr std::chrono::milliseconds kMidiPortReopenInterval{3000};

// The queued output around a port's send, close and reopen, for the sequencer's ports
// and for tests. Sends never wait. A failed send closes the port, quietly; until it
// opens again the output drops everything and the exhibit runs on without sound. The
// sender thread tries to reopen it every `reopenInterval` (never, without `reopen`),
// and once it is back plays on, each channel's last program change first.
std::unique_ptr<MidiOutput> MakeQueuedPortOutput(MidiPortSend send, std::function<void()> close,
                                                 MidiPortReopen reopen = nullptr,
                                                 std::chrono::milliseconds reopenInterval = kMidiPortReopenInterval);

// Null (and `error` set) when there is no sequencer or no such port.
std::unique_ptr<MidiOutput> OpenMidiPortOutput(const std::string& wanted, std::string& error);

}  // namespace velmora
