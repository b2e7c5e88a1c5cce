#include "shell/MidiDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "shell/ExhibitOptions.h"

namespace velmora {
namespace {

// What reached the device, in order; "close" when the device was destroyed.
std::vector<std::string> deviceLog;

std::string Hex(std::uint32_t message) {
  std::ostringstream text;
  text << std::hex << message;
  return text.str();
}

class LoggingOutput final : public MidiOutput {
public:
  ~LoggingOutput() override { deviceLog.push_back("close"); }
  std::uint32_t ShortMessage(std::uint32_t message) override {
    deviceLog.push_back(Hex(message));
    return kMidiOk;
  }
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
  void SetUp() override {
    deviceLog.clear();
    exhibitOptions = ExhibitOptions{};
    SetMessageBoxesHeadless(true);
    RecordMessageBoxes(&boxes);
  }
  void TearDown() override {
    SetMidiOutputOpenerForTests({});
    RecordMessageBoxes(nullptr);
    midiOut = nullptr;
  }
  std::vector<std::string> boxes;
};

TEST_F(MidiDeviceTest, OpenSelectsMarimbaOnAllChannelsAndCloseSilencesThemBeforeClosing) {
  SetMidiOutputOpenerForTests([](std::string&) { return std::make_unique<LoggingOutput>(); });
  OpenMidiOutput();
  EXPECT_NE(midiOut, nullptr);
  EXPECT_EQ(deviceLog, ProgramChanges());
  SendMidiShort(midiOut, 0x90, 0, 8, 120);
  CloseMidiOutput();
  EXPECT_EQ(midiOut, nullptr);
  EXPECT_EQ(deviceLog, Joined(Joined(ProgramChanges(), {"780890"}), Joined(AllNotesOff(), {"close"})));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MidiDeviceTest, FailedOpenShowsOneMessageAndRunsSilentlyToTheEnd) {
  SetMidiOutputOpenerForTests([](std::string& error) -> std::unique_ptr<MidiOutput> {
    error = "no device";
    return nullptr;
  });
  OpenMidiOutput();
  EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: Midi-Out Init FAILED"});
  EXPECT_EQ(midiOut, nullptr);
  EXPECT_EQ(SendMidiShort(midiOut, 0x90, 0, 60, 100), kMidiInvalidHandle);
  CloseMidiOutput();
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
    exhibitOptions.midiOut = c.midiOut;
    exhibitOptions.soundfont = c.soundfont;
    OpenMidiOutput();
    EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: Midi-Out Init FAILED"}) << c.midiOut;
    EXPECT_EQ(midiOut, nullptr) << c.midiOut;
    CloseMidiOutput();
    EXPECT_EQ(boxes.size(), 1u) << c.midiOut;
  }
}

TEST_F(MidiDeviceTest, NoneOpensNothingAndSaysNothing) {
  exhibitOptions.midiOut = "none";
  OpenMidiOutput();
  EXPECT_EQ(midiOut, nullptr);
  CloseMidiOutput();
  EXPECT_TRUE(boxes.empty());
}

// Recording takes every message of the run, also when nothing sounds.
TEST_F(MidiDeviceTest, RecordingWritesTheRunsMessagesAlsoWithoutAnOutput) {
  const auto path = std::filesystem::temp_directory_path() / "velmora-device-test.mid";
  exhibitOptions.midiOut = "none";
  exhibitOptions.recordMidiPath = path.string();
  OpenMidiOutput();
  ASSERT_NE(midiOut, nullptr);
  EXPECT_EQ(SendMidiShort(midiOut, 0x90, 0, 8, 120), kMidiInvalidHandle);
  CloseMidiOutput();
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

TEST_F(MidiDeviceTest, ListingPortsWithoutASequencerSaysSo) {
  std::ostringstream out;
  ListMidiPorts(out);
  EXPECT_FALSE(out.str().empty());
}

}  // namespace
}  // namespace velmora
