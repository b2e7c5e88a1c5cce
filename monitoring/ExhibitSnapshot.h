#pragma once
// Everything the status server shows of a running exhibit, as one value: the exhibit
// keeps one up to date as things happen and hands a copy to the server once a frame
// (SnapshotExchange). It holds no pointers and no strings, so the copy is a plain
// copy of a few hundred bytes that never allocates.

#include <array>
#include <cstdint>

#include "monitoring/UsageEvents.h"

namespace velmora::monitoring {

// Frames longer than this count as late: a frame is due every 20 ms.
inline constexpr double kLateFrameSeconds = 0.025;

// Upper bounds (seconds, inclusive) of the frame-period histogram's buckets, finest
// around the 20 ms target; a last bucket (+Inf) takes the rest.
inline constexpr std::array<double, 12> kFramePeriodBucketBounds = {
    0.010, 0.015, 0.019, 0.020, 0.021, 0.025, 0.030, 0.040, 0.050, 0.100, 0.250, 1.0};

struct FramePeriodHistogram {
  // Frames per bucket (not cumulative); the last element is the +Inf bucket.
  std::array<std::uint64_t, kFramePeriodBucketBounds.size() + 1> bucketCounts{};
  double sumSeconds = 0.0;  // all observed periods added up, seconds
  std::uint64_t count = 0;  // observed periods

  void Observe(double periodSeconds);
};

struct ExhibitSnapshot {
  // Frames run since the start, and those of them whose period exceeded
  // kLateFrameSeconds; Frame() keeps both and the histogram together.
  std::uint64_t frames = 0;
  std::uint64_t framesLate = 0;
  FramePeriodHistogram framePeriods;

  // Counters since the start, by soma (index 0 = soma 1), source and cause.
  std::array<std::uint64_t, kSomaCount> firings{};
  std::array<std::uint64_t, kInteractionSources> interactions{};
  std::array<std::uint64_t, kResetCauses> resets{};

  // The visitors' parameters as they are now.
  float speedSetting = 0.0f;                           // 0 .. 30, whole numbers
  std::array<std::int32_t, kWeightCount> weights{};    // Syn1 .. Syn6, 0 .. 20 from the keyboard

  // Health.
  bool displayOk = false;           // the last frame reached the screen
  bool midiOutputOk = false;        // the MIDI output is open and working
  bool panelConnected = false;      // the panel's port is open (and, when polled, answering)
  std::uint64_t displayLosses = 0;  // times the picture was lost and restored

  // A frame has ended, `periodSeconds` after the previous one ended. The first frame
  // has no period: pass 0, and it is counted but not observed.
  void Frame(double periodSeconds) {
    ++frames;
    if (periodSeconds <= 0.0) return;
    if (periodSeconds > kLateFrameSeconds) ++framesLate;
    framePeriods.Observe(periodSeconds);
  }
  void Interaction(InteractionSource source) { ++interactions[IndexOf(source)]; }
  void Reset(ResetCause cause) { ++resets[IndexOf(cause)]; }
  // `soma` counts from 1 as the exhibit names them; others are ignored.
  void Firing(int soma) {
    if (soma >= 1 && soma <= static_cast<int>(kSomaCount)) ++firings[static_cast<std::size_t>(soma - 1)];
  }
};

}  // namespace velmora::monitoring
