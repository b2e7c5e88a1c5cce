#include "shell/MidiDevice.h"

#include <cstdio>
#include <string_view>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/MidiFileRecorder.h"
#include "platform/MidiPort.h"
#include "platform/MidiSynth.h"
#include "shell/ExhibitOptions.h"

namespace velmora {
namespace {

constexpr std::int32_t kChannels = 16;
constexpr std::int32_t kControlChange = 0xB0;
constexpr std::int32_t kAllNotesOff = 123;
constexpr std::string_view kPortPrefix = "port:";

std::unique_ptr<MidiOutput> device;            // what sounds; null for none or a failed open
std::unique_ptr<MidiFileRecorder> recorder;    // with --record-midi: stands in front of `device`
MidiOutputOpener testOpener;

}  // namespace

std::unique_ptr<MidiOutput> OpenChosenMidiOutput(bool& chosenNone, std::string& error) {
  chosenNone = false;
  if (testOpener) return testOpener(error);
  const std::string& choice = exhibitOptions.midiOut;
  if (choice == "none") {
    chosenNone = true;
    return nullptr;
  }
  if (choice.starts_with(kPortPrefix)) {
    return OpenMidiPortOutput(choice.substr(kPortPrefix.size()), error);
  }
  if (choice == "synth") {
    const std::string soundfont =
        exhibitOptions.soundfont.empty() ? FindDefaultSoundfont() : exhibitOptions.soundfont;
    return OpenSynthOutput(soundfont, error);
  }
  error = "unknown MIDI output \"" + choice + "\"";
  return nullptr;
}

void OpenMidiOutput() {
  bool chosenNone = false;
  std::string error;
  device = OpenChosenMidiOutput(chosenNone, error);
  // The recorder takes every message, whether or not anything sounds, so a silent
  // run can still be checked or replayed.
  if (!exhibitOptions.recordMidiPath.empty()) {
    recorder = std::make_unique<MidiFileRecorder>(device.get(), ActiveClock());
    midiOut = recorder.get();
  } else {
    midiOut = device.get();
  }
  if (device == nullptr && !chosenNone) {
    std::fprintf(stderr, "velmora: MIDI output: %s\n", error.c_str());
    ShowMessageBox("Velmora", "Midi-Out Init FAILED");
    return;
  }
  for (std::int32_t channel = 0; channel < kChannels; ++channel) {
    SendMidiShort(midiOut, kProgramChange, channel, kMarimbaProgram, 0);
  }
}

void CloseMidiOutput() {
  for (std::int32_t channel = 0; channel < kChannels; ++channel) {
    SendMidiShort(midiOut, kControlChange, channel, kAllNotesOff, 0);
  }
  midiOut = nullptr;
  device.reset();
  if (recorder) {
    if (!recorder->WriteFile(exhibitOptions.recordMidiPath)) {
      std::fprintf(stderr, "velmora: cannot write %s\n", exhibitOptions.recordMidiPath.c_str());
    }
    recorder.reset();
  }
}

void ListMidiPorts(std::ostream& out) {
  std::string error;
  const std::vector<std::string> names = MidiPortNames(error);
  if (!error.empty()) {
    out << "No MIDI ports: " << error << '\n';
    return;
  }
  if (names.empty()) out << "No MIDI ports.\n";
  for (const std::string& name : names) out << name << '\n';
}

void SetMidiOutputOpenerForTests(MidiOutputOpener opener) { testOpener = std::move(opener); }

}  // namespace velmora
