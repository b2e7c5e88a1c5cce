#include "platform/MidiSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace velmora {
namespace {

constexpr double kRateHz = 48000.0;
constexpr std::size_t kTenthSecondStereo = 2 * 4800;
// The synthesiser dithers its 16-bit output: silence is within one step of zero.
constexpr int kSilence = 1;

int Loudest(const std::vector<std::int16_t>& samples) {
  int loudest = 0;
  for (std::int16_t s : samples) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
  return loudest;
}

TEST(SoundfontSynth, IsSilentUntilANoteOnAndSoundsAfterIt) {
  std::string error;
  auto synth = SoundfontSynth::Create(FindDefaultSoundfont(), kRateHz, error);
  ASSERT_NE(synth, nullptr) << error;
  std::vector<std::int16_t> samples(kTenthSecondStereo);

  synth->Apply(0x000CC0);  // marimba on channel 0
  synth->Render(samples);
  EXPECT_LE(Loudest(samples), kSilence);

  synth->Apply(0x783C90);  // note on, middle C, velocity 120
  synth->Render(samples);
  EXPECT_GT(Loudest(samples), 1000);

  for (int channel = 0; channel < 16; ++channel) synth->Apply(0x007BB0u | static_cast<std::uint32_t>(channel));
  // All notes off lets the marimba ring out; a second later nothing is left.
  for (int i = 0; i < 10; ++i) synth->Render(samples);
  EXPECT_LT(Loudest(samples), 50);
}

TEST(SoundfontSynth, FailsWithoutAUsableSoundfont) {
  for (const std::string& path : {std::string(), std::string("/nonexistent/none.sf2"), std::string("/dev/null")}) {
    std::string error;
    EXPECT_EQ(SoundfontSynth::Create(path, kRateHz, error), nullptr) << path;
    EXPECT_FALSE(error.empty()) << path;
  }
}

// Through the audio device: SDL's disk driver writes what the device would play.
TEST(SynthOutput, RendersIntoTheAudioDeviceOnlyAfterANote) {
  const auto folder = std::filesystem::temp_directory_path() / "velmora-synth-test";
  std::filesystem::create_directories(folder);
  const auto rawFile = folder / "audio.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", rawFile.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);

  std::string error;
  double bufferMs = 0.0;
  auto output = OpenSynthOutput(FindDefaultSoundfont(), error, &bufferMs);
  ASSERT_NE(output, nullptr) << error;
  EXPECT_LT(bufferMs, 5.0);
  output->ShortMessage(0x000CC0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto silentBytes = std::filesystem::file_size(rawFile);
  output->ShortMessage(0x783C90);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  output.reset();

  std::ifstream in(rawFile, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), silentBytes);
  std::vector<std::int16_t> before(silentBytes / 2);
  std::copy_n(reinterpret_cast<const std::int16_t*>(bytes.data()), before.size(), before.begin());
  std::vector<std::int16_t> after((bytes.size() - silentBytes) / 2);
  std::copy_n(reinterpret_cast<const std::int16_t*>(bytes.data() + silentBytes), after.size(), after.begin());
  EXPECT_LE(Loudest(before), kSilence);
  EXPECT_GT(Loudest(after), 1000);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace velmora
