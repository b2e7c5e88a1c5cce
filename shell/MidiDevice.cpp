#include "shell/MidiDevice.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/MidiPort.h"
#include "platform/MidiSynth.h"
#include "platform/MidiTranspose.h"

namespace velmora {
namespace {

constexpr std::int32_t kControlChange = 0xB0;
constexpr std::int32_t kAllNotesOff = 123;
constexpr std::string_view kPortPrefix = "port:";

}  // namespace

std::unique_ptr<MidiOutput> OpenChosenMidiOutput(const ExhibitOptions& options, const MidiOutputOpener& opener,
                                                 bool& chosenNone, std::string& error) {
  chosenNone = false;
  if (opener) return opener(error);
  const std::string& choice = options.midiOut;
  if (choice == "none") {
    chosenNone = true;
    return nullptr;
  }
  if (choice.starts_with(kPortPrefix)) {
    return OpenMidiPortOutput(choice.substr(kPortPrefix.size()), error);
  }
  if (choice == "synth") {
    const std::string soundfont = options.soundfont.empty() ? FindDefaultSoundfont() : options.soundfont;
    return OpenSynthOutput(soundfont, error, nullptr, options.volumePercent);
  }
  error = "unknown MIDI output \"" + choice + "\"";
  return nullptr;
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

MidiDevice::MidiDevice(const ExhibitOptions& runOptions, Clock& recordingClock, MessageBoxes& failureBoxes,
                       MidiOutputOpener testOpener)
    : options(runOptions), clock(recordingClock), boxes(failureBoxes), opener(std::move(testOpener)) {}

void MidiDevice::Open() {
  std::string error;
  device = OpenChosenMidiOutput(options, opener, chosenNone, error);
  // The recorder takes every message, whether or not anything sounds, so a silent
  // run can still be checked or replayed.
  if (!options.recordMidiPath.empty()) {
    recorder = std::make_unique<MidiFileRecorder>(device.get(), clock);
    output = recorder.get();
  } else {
    output = device.get();
  }
  // The notes are moved before anything takes them: the recording holds what sounded.
  if (options.transposeSemitones != 0 && output != nullptr) {
    transposer = std::make_unique<TransposingOutput>(output, options.transposeSemitones);
    output = transposer.get();
  }
  // An external port missing now is looked for again by its output, which takes the
  // program changes below for when it comes: the message is its only word.
  if (!chosenNone && (device == nullptr || !device->Working())) {
    const char* waiting = device == nullptr ? "" : "; looked for again every few seconds";
    std::fprintf(stderr, "velmora: MIDI output: %s%s\n", error.c_str(), waiting);
    boxes.Show("Velmora", "Midi-Out Init FAILED");
    if (device == nullptr) return;
  }
  for (std::int32_t channel = 0; channel < kMidiChannels; ++channel) {
    SendMidiShort(output, kProgramChange, channel, kMarimbaProgram, 0);
  }
}

void MidiDevice::Close() {
  for (std::int32_t channel = 0; channel < kMidiChannels; ++channel) {
    SendMidiShort(output, kControlChange, channel, kAllNotesOff, 0);
  }
  output = nullptr;
  transposer.reset();
  device.reset();
  if (recorder) {
    if (!recorder->WriteFile(options.recordMidiPath)) {
      std::fprintf(stderr, "velmora: cannot write %s\n", options.recordMidiPath.c_str());
    }
    recorder.reset();
  }
}

}  // namespace velmora
