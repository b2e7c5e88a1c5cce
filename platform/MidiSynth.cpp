#include "platform/MidiSynth.h"

#include <SDL.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/MidiBytes.h"
#include "platform/MidiMessageQueue.h"

namespace velmora {
namespace {

// Debian's GM soundfonts: the alternatives link first, then the two packages' files.
constexpr const char* kSoundfontCandidates[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

// 128 frames at 48 kHz is 2.7 ms per buffer: a note waits at most one buffer to be
// rendered and then about two buffers in the device queue, about 8 ms in the worst case.
constexpr Uint16 kBufferFrames = 128;
constexpr int kStereo = 2;
constexpr float kFullScale = 32767.0f;  // signed 16-bit
// FluidSynth's default gain of 0.2 is too quiet for a hall; three marimba voices at
// full velocity stay clear of the limiter's ceiling at this gain.
constexpr double kSynthGain = 0.8;
// Far more than the sends of one 20 ms frame (16 at start-up, a few notes per frame).
constexpr std::size_t kQueueMessages = 1024;

class SynthOutput final : public MidiOutput {
public:
  explicit SynthOutput(std::unique_ptr<SoundfontSynth> synth) : synth_(std::move(synth)) {}
  ~SynthOutput() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    if (audioInitialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  SynthOutput(const SynthOutput&) = delete;
  SynthOutput& operator=(const SynthOutput&) = delete;

  MidiSendResult ShortMessage(std::uint32_t message) override {
    queue_.Push(message);
    return MidiSendResult::Accepted;
  }

  static void Callback(void* self, Uint8* stream, int lengthBytes) {
    auto* output = static_cast<SynthOutput*>(self);
    std::uint32_t message = 0;
    while (output->queue_.Pop(message)) output->synth_->Apply(message);
    output->synth_->Render(std::span<std::int16_t>(reinterpret_cast<std::int16_t*>(stream),
                                                   static_cast<std::size_t>(lengthBytes) / sizeof(std::int16_t)));
  }

  std::unique_ptr<SoundfontSynth> synth_;
  MidiMessageQueue<kQueueMessages> queue_;
  SDL_AudioDeviceID device_ = 0;
  bool audioInitialised_ = false;
};

}  // namespace

std::string FindDefaultSoundfont() {
  std::error_code ignored;
  for (const char* candidate : kSoundfontCandidates) {
    if (std::filesystem::is_regular_file(candidate, ignored)) return candidate;
  }
  return {};
}

std::unique_ptr<SoundfontSynth> SoundfontSynth::Create(const std::string& soundfontPath, double sampleRateHz,
                                                       std::string& error, int volumePercent) {
  // Channel 9 is the drum channel: the program change 12 sent to every channel finds
  // no drum kit 12 there and FluidSynth warns about it. Only errors are worth showing.
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  fluid_set_log_function(FLUID_DBG, nullptr, nullptr);

  std::unique_ptr<SoundfontSynth> synth(new SoundfontSynth());
  synth->volume_ = static_cast<float>(std::clamp(volumePercent, kMinVolumePercent, kMaxVolumePercent)) /
                   static_cast<float>(kFullVolumePercent);
  synth->limiter_ = std::make_unique<PeakLimiter>(sampleRateHz, kSynthCeiling);
  synth->settings_ = new_fluid_settings();
  if (synth->settings_ == nullptr) {
    error = "cannot create synthesiser settings";
    return nullptr;
  }
  fluid_settings_setnum(synth->settings_, "synth.sample-rate", sampleRateHz);
  fluid_settings_setnum(synth->settings_, "synth.gain", kSynthGain);
  // Only the thread that renders ever touches the synthesiser, so it needs no lock.
  fluid_settings_setint(synth->settings_, "synth.threadsafe-api", 0);
  synth->synth_ = new_fluid_synth(synth->settings_);
  if (synth->synth_ == nullptr) {
    error = "cannot create synthesiser";
    return nullptr;
  }
  if (soundfontPath.empty()) {
    error = "no General MIDI soundfont installed";
    return nullptr;
  }
  if (fluid_synth_sfload(synth->synth_, soundfontPath.c_str(), 1) == FLUID_FAILED) {
    error = "cannot load soundfont " + soundfontPath;
    return nullptr;
  }
  return synth;
}

SoundfontSynth::~SoundfontSynth() {
  if (synth_ != nullptr) delete_fluid_synth(synth_);
  if (settings_ != nullptr) delete_fluid_settings(settings_);
}

void SoundfontSynth::Apply(std::uint32_t message) {
  const MidiBytes m = UnpackShortMessage(message);
  if (m.count == 0) return;
  const int channel = m.bytes[0] & 0x0F;
  const int data1 = m.bytes[1];
  const int data2 = m.bytes[2];
  switch (m.bytes[0] & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, channel, data1); break;
    case 0x90: fluid_synth_noteon(synth_, channel, data1, data2); break;
    case 0xA0: fluid_synth_key_pressure(synth_, channel, data1, data2); break;
    case 0xB0: fluid_synth_cc(synth_, channel, data1, data2); break;
    case 0xC0: fluid_synth_program_change(synth_, channel, data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7)); break;
    default: break;
  }
}

void SoundfontSynth::Render(std::span<std::int16_t> stereoSamples) {
  const int frames = static_cast<int>(stereoSamples.size() / kStereo);
  // Sized once: every buffer of the audio device has the same length.
  rendered_.resize(stereoSamples.size());
  fluid_synth_write_float(synth_, frames, rendered_.data(), 0, kStereo, rendered_.data(), 1, kStereo);
  for (float& sample : rendered_) sample *= volume_;
  limiter_->Process(rendered_);
  for (std::size_t i = 0; i < rendered_.size(); ++i) {
    stereoSamples[i] = static_cast<std::int16_t>(std::lround(rendered_[i] * kFullScale));
  }
}

std::unique_ptr<MidiOutput> OpenSynthOutput(const std::string& soundfontPath, std::string& error,
                                            double* bufferMs, int volumePercent) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = std::string("no audio: ") + SDL_GetError();
    return nullptr;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = kSynthSampleRateHz;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kStereo;
  wanted.samples = kBufferFrames;
  wanted.callback = &SynthOutput::Callback;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to whatever the device wants, and the synthesiser
  // renders exactly this format.
  auto output = std::make_unique<SynthOutput>(nullptr);
  output->audioInitialised_ = true;
  wanted.userdata = output.get();
  output->synth_ = SoundfontSynth::Create(soundfontPath, kSynthSampleRateHz, error, volumePercent);
  if (!output->synth_) return nullptr;
  output->device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (output->device_ == 0) {
    error = std::string("cannot open audio device: ") + SDL_GetError();
    return nullptr;
  }
  if (bufferMs != nullptr) *bufferMs = 1000.0 * obtained.samples / obtained.freq;
  SDL_PauseAudioDevice(output->device_, 0);
  return output;
}

}  // namespace velmora
