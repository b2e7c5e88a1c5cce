#pragma once
// Fixed sizes and names of the display, each in one place.

#include <cstdint>

namespace velmora {

// The exhibit's picture: every frame is composed at this size, whatever the monitor.
inline constexpr int kScreenWidthPixels = 1024;
inline constexpr int kScreenHeightPixels = 768;

// The names under which the three images are asked for (matched without regard to case).
inline constexpr const char* kBackgroundImageName = "BackGround";
inline constexpr const char* kLabeledBackgroundImageName = "LabeledBack";
inline constexpr const char* kSomaImageName = "Somas";

// The message box shown when the display cannot be set up.
inline constexpr const char* kDisplayFailureCaption = "Velmora";
inline constexpr const char* kDisplayFailureText = "DirectDraw Init FAILED";

// The raw value that means "no colour matched": no 16-bit pixel equals it.
inline constexpr std::uint32_t kNoRawColor = 0xFFFFFFFFu;

}  // namespace velmora
