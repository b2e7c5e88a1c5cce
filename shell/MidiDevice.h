#pragma once
// The exhibit's MIDI output: the one the options choose (the built-in synthesiser by
// default, an external port, or none), opened at start-up with the marimba on every
// channel, and silenced and closed at shutdown. With --record-midi a recorder stands
// in front of it and takes every message; with --transpose a transposer in front of
// both moves every note.

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "model/Midi.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/MidiFileRecorder.h"
#include "shell/ExhibitOptions.h"

namespace velmora {


// Stands an output of its own in for the one the options choose (tests do): gives
// the device, or null with `error` set for a failed open. An empty function leaves
// the choice to the options.
using MidiOutputOpener = std::function<std::unique_ptr<MidiOutput>(std::string& error)>;

// The output the options choose, opened exactly as the exhibit opens it but with no
// message and no program change: null with `chosenNone` set when silence was chosen,
// null with `error` set when the open failed. `opener`, when set, replaces the choice.
std::unique_ptr<MidiOutput> OpenChosenMidiOutput(const ExhibitOptions& options, const MidiOutputOpener& opener,
                                                 bool& chosenNone, std::string& error);

// Lists the external MIDI ports an operator can choose with --midi-out port:NAME.
void ListMidiPorts(std::ostream& out);

class MidiDevice {
public:
  // The recording's times come from `clock`; a failed open is shown through `boxes`.
  MidiDevice(const ExhibitOptions& options, Clock& clock, MessageBoxes& boxes, MidiOutputOpener opener);

  // Opens the chosen output and selects program 12 (marimba) on channels 0 to 15. On
  // failure shows "Midi-Out Init FAILED" and Output() stays null (or the recorder
  // alone): the exhibit runs silently. An external port that is missing is the
  // exception: its output stays, silent and not Working(), until the port comes.
  void Open();
  // All notes off (controller 123) on channels 0 to 15, then closes the output and
  // writes the recording; also when the open had failed, without any message.
  void Close();

  // What the notes go to: the recorder, the device, or null for nothing.
  MidiOutput* Output() const { return output; }
  // True while the chosen output plays (silence, when chosen, counts as working);
  // false before Open, after a failed open, and while a port is gone.
  bool Working() const { return chosenNone || (device != nullptr && device->Working()); }

private:
  const ExhibitOptions& options;
  Clock& clock;
  MessageBoxes& boxes;
  MidiOutputOpener opener;
  std::unique_ptr<MidiOutput> device;          // what sounds; null for none or a failed open
  std::unique_ptr<MidiFileRecorder> recorder;  // with --record-midi: stands in front of `device`
  std::unique_ptr<MidiOutput> transposer;      // with --transpose: stands in front of both
  MidiOutput* output = nullptr;
  bool chosenNone = false;  // --midi-out none: nothing is to sound
};

}  // namespace velmora
