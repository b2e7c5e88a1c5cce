#include "shell/MidiDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "shell/ExhibitOptions.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingMessageBoxes.h"

namespace velmora {
namespace {

std::string Hex(std::uint32_t message) {
  std::ostringstream text;
  text << std::hex << message;
  return text.str();
}

// Logs what reached it, in order, and "close" when it is destroyed.
class LoggingOutput final : public MidiOutput {
public:
  explicit LoggingOutput(std::vector<std::string>& deviceLog) : log(deviceLog) {}
  ~LoggingOutput() override { log.push_back("close"); }
  MidiSendResult ShortMessage(std::uint32_t message) override {
    log.push_back(Hex(message));
    return MidiSendResult::Accepted;
  }
  std::vector<std::string>& log;
};

std::vector<std::string> ProgramChanges() {
  std::vector<std::string> log;
  for (std::uint32_t channel = 0; channel < 16; ++channel) log.push_back(Hex(0x0C00u | 0xC0u | channel));
  return log;
}

std::vector<std::string> AllNotesOff() {
  std::vector<std::string> log;
  for (std::uint32_t channel = 0; channel < 16; ++channel) log.push_back(Hex(0x7B00u | 0xB0u | channel));
  return log;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class MidiDeviceTest : public ::testing::Test {
protected:
  // The device the options choose, or the opener's.
  MidiDevice Device(MidiOutputOpener opener = {}) { return MidiDevice(options, clock, recorder, std::move(opener)); }
  MidiOutputOpener Logging() {
    return [this](std::string&) { return std::make_unique<LoggingOutput>(deviceLog); };
  }

  ExhibitOptions options;
  testing::FakeClock clock;
  testing::RecordingMessageBoxes recorder;
  std::vector<std::string>& boxes = recorder.shown;
  std::vector<std::string> deviceLog;  // what reached the logging device
};

TEST_F(MidiDeviceTest, OpenSelectsMarimbaOnAllChannelsAndCloseSilencesThemBeforeClosing) {
  MidiDevice device = Device(Logging());
  device.Open();
  EXPECT_NE(device.Output(), nullptr);
  EXPECT_EQ(deviceLog, ProgramChanges());
  SendMidiShort(device.Output(), 0x90, 0, 8, 120);
  device.Close();
  EXPECT_EQ(device.Output(), nullptr);
  EXPECT_EQ(deviceLog, Joined(Joined(ProgramChanges(), {"780890"}), Joined(AllNotesOff(), {"close"})));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MidiDeviceTest, FailedOpenShowsOneMessageAndRunsSilentlyToTheEnd) {
  MidiDevice device = Device([](std::string& error) -> std::unique_ptr<MidiOutput> {
    error = "no device";
    return nullptr;
  });
  device.Open();
  EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: Midi-Out Init FAILED"});
  EXPECT_EQ(device.Output(), nullptr);
  EXPECT_EQ(SendMidiShort(device.Output(), 0x90, 0, 60, 100), MidiSendResult::NoOutput);
  device.Close();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(deviceLog.empty());
}

TEST_F(MidiDeviceTest, OutputsThatCannotOpenHereShowTheFailureMessage) {
  struct Case {
    std::string midiOut;
    std::string soundfont;
  };
  // No ALSA sequencer and no such port or soundfont on a test machine.
  const Case cases[] = {
      {"port:No Such Port", ""},
      {"synth", "/nonexistent/none.sf2"},
      {"loudspeaker", ""},
  };
  for (const Case& c : cases) {
    boxes.clear();
    options.midiOut = c.midiOut;
    options.soundfont = c.soundfont;
    MidiDevice device = Device();
    device.Open();
    EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: Midi-Out Init FAILED"}) << c.midiOut;
    EXPECT_FALSE(device.Working()) << c.midiOut;
    // A port is looked for again by its output, which stays; nothing else does.
    EXPECT_EQ(device.Output() != nullptr, c.midiOut.starts_with("port:")) << c.midiOut;
    device.Close();
    EXPECT_EQ(boxes.size(), 1u) << c.midiOut;
  }
}

TEST_F(MidiDeviceTest, NoneOpensNothingAndSaysNothing) {
  options.midiOut = "none";
  MidiDevice device = Device();
  device.Open();
  EXPECT_EQ(device.Output(), nullptr);
  device.Close();
  EXPECT_TRUE(boxes.empty());
}

// Recording takes every message of the run, also when nothing sounds.
TEST_F(MidiDeviceTest, RecordingWritesTheRunsMessagesAlsoWithoutAnOutput) {
  const auto path = std::filesystem::temp_directory_path() / "velmora-device-test.mid";
  options.midiOut = "none";
  options.recordMidiPath = path.string();
  MidiDevice device = Device();
  device.Open();
  ASSERT_NE(device.Output(), nullptr);
  EXPECT_EQ(SendMidiShort(device.Output(), 0x90, 0, 8, 120), MidiSendResult::NoOutput);
  device.Close();
  EXPECT_TRUE(boxes.empty());

  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  // Header 14, track header 8, tempo 7; then 16 program changes (3 bytes with their
  // delta), a note on (4), 16 all-notes-off (4) and the end of track (4).
  constexpr std::size_t kEventsStart = 14 + 8 + 7;
  ASSERT_EQ(file.size(), kEventsStart + 16 * 3 + 4 + 16 * 4 + 4);
  for (std::size_t channel = 0; channel < 16; ++channel) {
    const std::size_t at = kEventsStart + 3 * channel + 1;
    EXPECT_EQ(file[at], 0xC0 + channel);
    EXPECT_EQ(file[at + 1], 12);
  }
  const std::size_t noteAt = kEventsStart + 16 * 3;
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + static_cast<long>(noteAt) + 1,
                                      file.begin() + static_cast<long>(noteAt) + 4),
            (std::vector<std::uint8_t>{0x90, 8, 120}));
  for (std::size_t channel = 0; channel < 16; ++channel) {
    const std::size_t at = noteAt + 4 + 4 * channel + 1;
    EXPECT_EQ(file[at], 0xB0 + channel);
    EXPECT_EQ(file[at + 1], 123);
    EXPECT_EQ(file[at + 2], 0);
  }
}

TEST_F(MidiDeviceTest, TransposeMovesEveryNoteOnBeforeTheRecordingAndTheOutput) {
  const auto path = std::filesystem::temp_directory_path() / "velmora-transpose-test.mid";
  options.recordMidiPath = path.string();
  options.transposeSemitones = 36;
  MidiDevice device = Device(Logging());
  device.Open();
  for (int note : {4, 8, 12}) SendMidiShort(device.Output(), 0x90, 0, note, 120);
  device.Close();
  EXPECT_EQ(deviceLog, Joined(Joined(ProgramChanges(), {"782890", "782c90", "783090"}), Joined(AllNotesOff(), {"close"})));

  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  std::vector<int> recorded;
  for (std::size_t i = 0; i + 2 < file.size(); ++i) {
    if (file[i] == 0x90 && file[i + 2] == 120) recorded.push_back(file[i + 1]);
  }
  EXPECT_EQ(recorded, (std::vector<int>{40, 44, 48}));
}

TEST_F(MidiDeviceTest, ListingPortsWithoutASequencerSaysSo) {
  std::ostringstream out;
  ListMidiPorts(out);
  EXPECT_FALSE(out.str().empty());
}

}  // namespace
}  // namespace velmora
