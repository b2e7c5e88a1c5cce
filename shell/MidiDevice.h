#pragma once
// Opening and closing the exhibit's MIDI output. The output chosen by the options
// (the built-in synthesiser by default, an external port, or none) becomes `midiOut`.

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "model/Midi.h"

namespace velmora {

inline constexpr std::int32_t kProgramChange = 0xC0;
inline constexpr std::int32_t kMarimbaProgram = 12;  // GM instrument 13, the exhibit's sound

// Opens the chosen output and selects program 12 (marimba) on channels 0 to 15. On
// failure shows "Midi-Out Init FAILED" and leaves `midiOut` null: the exhibit runs silently.
void OpenMidiOutput();

// The output the options choose, opened exactly as OpenMidiOutput opens it but with
// no message and no program change: null with `chosenNone` set when silence was chosen,
// null with `error` set when the open failed.
std::unique_ptr<MidiOutput> OpenChosenMidiOutput(bool& chosenNone, std::string& error);

// All notes off (controller 123) on channels 0 to 15, then closes the output; also
// when the open had failed, without any message.
void CloseMidiOutput();

// Lists the external MIDI ports an operator can choose with --midi-out port:NAME.
void ListMidiPorts(std::ostream& out);

// Tests stand an output of their own in for the one the options choose: the opener
// gives the device, or null with `error` set for a failed open. An empty function
// restores the options' choice.
using MidiOutputOpener = std::function<std::unique_ptr<MidiOutput>(std::string& error)>;
void SetMidiOutputOpenerForTests(MidiOutputOpener opener);

}  // namespace velmora
