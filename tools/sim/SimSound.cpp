#include "tools/sim/SimSound.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "model/Soma.h"
#include "platform/MidiSynth.h"
#include "platform/MidiTranspose.h"

namespace velmora::sim {
namespace {

constexpr int kStereo = 2;
constexpr double kFullScale = 32767.0;
// Blocks of the spectrum: 8192 samples at 48 kHz resolve 5.9 Hz.
constexpr std::size_t kSpectrumBlock = 8192;
// The exhibit's frames last 20 ms; the notes of a frame's steps sound from its start.
constexpr int kFrameMs = 20;

// In place, the length a power of two.
void Fft(std::vector<std::complex<double>>& values) {
  const std::size_t n = values.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(values[i], values[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> turn = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(length));
    for (std::size_t start = 0; start < n; start += length) {
      std::complex<double> w(1.0);
      for (std::size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> even = values[start + k];
        const std::complex<double> odd = values[start + k + length / 2] * w;
        values[start + k] = even + odd;
        values[start + k + length / 2] = even - odd;
        w *= turn;
      }
    }
  }
}

void PutLittleEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRateHz) {
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
  std::vector<std::uint8_t> header;
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  PutLittleEndian(header, 36 + dataBytes, 4);
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLittleEndian(header, 16, 4);
  PutLittleEndian(header, 1, 2);  // PCM
  PutLittleEndian(header, kStereo, 2);
  PutLittleEndian(header, static_cast<std::uint32_t>(sampleRateHz), 4);
  PutLittleEndian(header, static_cast<std::uint32_t>(sampleRateHz * kStereo * 2), 4);
  PutLittleEndian(header, kStereo * 2, 2);
  PutLittleEndian(header, 16, 2);
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  PutLittleEndian(header, dataBytes, 4);
  std::vector<std::uint8_t> data;
  data.reserve(dataBytes);
  for (std::int16_t sample : samples) PutLittleEndian(data, static_cast<std::uint16_t>(sample), 2);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                       std::fwrite(data.data(), 1, data.size(), file) == data.size();
  return std::fclose(file) == 0 && written;
}

// Takes the messages of a frame's steps until the frame's sound is rendered.
class FrameMessages final : public MidiOutput {
public:
  MidiSendResult ShortMessage(std::uint32_t message) override {
    messages.push_back(message);
    return MidiSendResult::Accepted;
  }
  std::vector<std::uint32_t> messages;
};

}  // namespace

SoundMeasure MeasureSound(std::span<const std::int16_t> stereoSamples, int sampleRateHz) {
  SoundMeasure measure;
  const std::size_t frames = stereoSamples.size() / kStereo;
  measure.seconds = static_cast<double>(frames) / sampleRateHz;
  for (std::int16_t sample : stereoSamples) {
    const int magnitude = std::abs(static_cast<int>(sample));
    measure.peak = std::max(measure.peak, magnitude / kFullScale);
    if (magnitude >= 32767) ++measure.samplesAtFullScale;
  }
  // The mid signal's spectrum, block by block under a Hann window; the last part block
  // is padded with silence.
  const auto firstBinAbove =
      static_cast<std::size_t>(std::floor(kSmallSpeakerCutoffHz * kSpectrumBlock / sampleRateHz)) + 1;
  double above = 0.0, total = 0.0;
  std::vector<std::complex<double>> block(kSpectrumBlock);
  for (std::size_t start = 0; start < frames; start += kSpectrumBlock) {
    for (std::size_t i = 0; i < kSpectrumBlock; ++i) {
      const std::size_t frame = start + i;
      const double mid = frame < frames ? (stereoSamples[kStereo * frame] + stereoSamples[kStereo * frame + 1]) / 2.0
                                        : 0.0;
      const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kSpectrumBlock);
      block[i] = mid * window;
    }
    Fft(block);
    // Bin 0 (the constant) is no sound; the bins up to half the rate hold it all.
    for (std::size_t k = 1; k <= kSpectrumBlock / 2; ++k) {
      const double energy = std::norm(block[k]);
      total += energy;
      if (k >= firstBinAbove) above += energy;
    }
  }
  measure.shareAboveCutoff = total > 0.0 ? above / total : 0.0;
  return measure;
}

bool RenderRunSound(const SimOptions& options, SoundReport& report, RunStatus& status, std::string* error) {
  report = SoundReport{};
  const std::string soundfont = options.soundfont.empty() ? FindDefaultSoundfont() : options.soundfont;
  std::string why;
  std::unique_ptr<SoundfontSynth> synth =
      SoundfontSynth::Create(soundfont, kSynthSampleRateHz, why, options.volumePercent);
  if (!synth) {
    *error = "--sound: " + why;
    return false;
  }
  // As the exhibit opens its output: the marimba on every channel.
  for (std::int32_t channel = 0; channel < kMidiChannels; ++channel) {
    synth->Apply(static_cast<std::uint32_t>(kProgramChange | channel) | (kMarimbaProgram << 8));
  }
  FrameMessages frame;
  TransposingOutput transposer(&frame, options.transposeSemitones);
  std::vector<std::int16_t> samples;
  std::vector<std::int16_t> frameSamples(static_cast<std::size_t>(kSynthSampleRateHz / 1000 * kFrameMs * kStereo));

  RunSinks sinks;
  sinks.onMidi = [&](std::uint32_t message) {
    if ((message & 0xF0) == static_cast<std::uint32_t>(kMidiNoteOn)) ++report.notes;
    transposer.ShortMessage(message);
  };
  sinks.onFrame = [&](Model&) {
    for (std::uint32_t message : frame.messages) synth->Apply(message);
    frame.messages.clear();
    synth->Render(frameSamples);
    samples.insert(samples.end(), frameSamples.begin(), frameSamples.end());
  };
  RunRecord record;
  status = RunSimulation(options, sinks, record);
  report.measure = MeasureSound(samples, kSynthSampleRateHz);
  report.smallestLimiterGain = synth->SmallestLimiterGain();
  if (!WriteWav(options.soundPath, samples, kSynthSampleRateHz)) {
    *error = "cannot write " + options.soundPath;
    return false;
  }
  return true;
}

std::string FormatSoundReport(const SimOptions& options, const SoundReport& report) {
  const SoundMeasure& m = report.measure;
  char text[1024];
  std::snprintf(text, sizeof text,
                "sound: %.1f s, %lld notes, transposed %+d semitones, volume %d %%\n"
                "energy above %g Hz: %.1f %%\n"
                "peak: %.3f of full scale (%.1f dBFS); samples at full scale: %lld\n"
                "limiter: least gain %.3f (%.1f dB)\n",
                m.seconds, static_cast<long long>(report.notes), options.transposeSemitones, options.volumePercent,
                kSmallSpeakerCutoffHz, 100.0 * m.shareAboveCutoff, m.peak,
                m.peak > 0.0 ? 20.0 * std::log10(m.peak) : -999.0, static_cast<long long>(m.samplesAtFullScale),
                report.smallestLimiterGain, 20.0 * std::log10(report.smallestLimiterGain));
  return text;
}

}  // namespace velmora::sim
