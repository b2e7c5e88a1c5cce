#pragma once
// The sound of a run: every note the neurons play, rendered by the exhibit's built-in
// synthesiser (moved by the transposition, at the volume, through its limiter) at the
// moment the exhibit would play it, written as a WAV file and measured: how much of
// the energy lies above what small speakers cut off, the peak, and whether it clips.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/sim/SimOptions.h"
#include "tools/sim/SimRun.h"

namespace velmora::sim {

// Small exhibit speakers reproduce little below this.
inline constexpr double kSmallSpeakerCutoffHz = 150.0;

struct SoundMeasure {
  double seconds = 0.0;
  double shareAboveCutoff = 0.0;   // of the energy, 0 .. 1
  double peak = 0.0;               // largest magnitude, 1.0 = full scale
  std::int64_t samplesAtFullScale = 0;
};

// Measures interleaved 16-bit stereo at `sampleRateHz`.
SoundMeasure MeasureSound(std::span<const std::int16_t> stereoSamples, int sampleRateHz);

struct SoundReport {
  SoundMeasure measure;
  std::int64_t notes = 0;          // note-ons played
  float smallestLimiterGain = 1.0f;
};

// Runs the simulation, renders its notes and writes the WAV file. False, with the
// reason in `error`, when the soundfont cannot be loaded or the file not written.
bool RenderRunSound(const SimOptions& options, SoundReport& report, RunStatus& status, std::string* error);

std::string FormatSoundReport(const SimOptions& options, const SoundReport& report);

}  // namespace velmora::sim
