#pragma once
// External MIDI ports of the ALSA sequencer. A port output hands each message to a
// sender thread of its own, so the exhibit's sends never wait for the sequencer.

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

// The queued output around a port's send and close, for the sequencer's ports and for
// tests. Sends never wait; after the first failed send the output drops everything,
// silently, and the exhibit runs on without sound.
std::unique_ptr<MidiOutput> MakeQueuedPortOutput(MidiPortSend send, std::function<void()> close);

// Null (and `error` set) when there is no sequencer or no such port.
std::unique_ptr<MidiOutput> OpenMidiPortOutput(const std::string& wanted, std::string& error);

}  // namespace velmora
