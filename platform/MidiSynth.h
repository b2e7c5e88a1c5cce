#pragma once
// The built-in General MIDI software synthesiser: a soundfont rendered into the
// audio device. Sends only queue the message; the audio thread applies queued
// messages at the start of each buffer it renders, so a send never waits.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <fluidsynth/types.h>

#include "model/Midi.h"
#include "platform/PeakLimiter.h"
#include "platform/SynthVolume.h"

namespace velmora {

// The soundfont to use when none is given: the system's GM soundfont from its
// standard folder, or an empty string when none is installed.
std::string FindDefaultSoundfont();

// The rate the synthesiser renders at.
inline constexpr int kSynthSampleRateHz = 48000;

// The loudest sample the synthesiser lets out, as a share of full scale: overlapping
// notes are limited to it instead of being clipped.
inline constexpr float kSynthCeiling = 0.98f;

// The synthesiser without any audio device: renders on request. Used by the output
// below, by the simulator's rendering of a run and directly by tests.
class SoundfontSynth {
public:
  // Null (and `error` set) when the soundfont cannot be loaded.
  static std::unique_ptr<SoundfontSynth> Create(const std::string& soundfontPath, double sampleRateHz,
                                                std::string& error, int volumePercent = kFullVolumePercent);
  ~SoundfontSynth();
  SoundfontSynth(const SoundfontSynth&) = delete;
  SoundfontSynth& operator=(const SoundfontSynth&) = delete;

  // Plays one short message now (same thread as Render).
  void Apply(std::uint32_t message);
  // Interleaved stereo, signed 16-bit; `stereoSamples.size()` is twice the frame count.
  // Scaled by the volume and limited to kSynthCeiling, about a millisecond late.
  void Render(std::span<std::int16_t> stereoSamples);

  // The smallest gain the limiter has applied (1.0: it never had to act).
  float SmallestLimiterGain() const { return limiter_->SmallestGain(); }

private:
  SoundfontSynth() = default;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  float volume_ = 1.0f;                   // amplitude factor from the volume
  std::unique_ptr<PeakLimiter> limiter_;
  std::vector<float> rendered_;           // the synthesiser's own output, before the limiter
};

// Opens the default audio device and the synthesiser. Null (and `error` set) when
// the soundfont or the audio device cannot be opened. `bufferMs` gets the length of
// one audio buffer in ms.
std::unique_ptr<MidiOutput> OpenSynthOutput(const std::string& soundfontPath, std::string& error,
                                            double* bufferMs = nullptr, int volumePercent = kFullVolumePercent);

}  // namespace velmora
