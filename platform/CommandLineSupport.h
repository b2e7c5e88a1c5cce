#pragma once
// What the command lines of all Velmora programs share and their callers need, without
// the parser library itself.

#include <charconv>
#include <string>
#include <string_view>

namespace velmora {

// Exit status of every program for arguments that cannot be used.
inline constexpr int kBadArgumentsExitCode = 2;

// Sides of a screen size given on a command line, pixels: below the smallest the
// design's text is no longer legible; the largest is an 8K screen's width.
inline constexpr int kSmallestScreenSidePixels = 320;
inline constexpr int kLargestScreenSidePixels = 7680;
// The most pixels a screen may have for the sharp picture: an 8K screen's, 7680 x
// 4320. Its pictures, its frame and the window's copy take 4 bytes a pixel each (the
// whole process holds about 450 MB at this size), and painting them takes seconds; a
// square 7680 x 7680 took 985 MB and 30 s.
inline constexpr long long kLargestScreenAreaPixels = 7680LL * 4320LL;
// The size limits as a command line's complaint words them.
inline std::string ScreenSizeLimits() {
  return "sides from " + std::to_string(kSmallestScreenSidePixels) + " to " + std::to_string(kLargestScreenSidePixels) +
         " pixels and at most " + std::to_string(kLargestScreenAreaPixels) + " pixels in all (7680 x 4320)";
}

// "WIDTHxHEIGHT" in pixels, each side and the area within the limits above; false for
// anything else.
inline bool ParseScreenSize(std::string_view text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  const auto side = [](std::string_view digits, int& value) {
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    return !digits.empty() && error == std::errc() && stop == end && value >= kSmallestScreenSidePixels &&
           value <= kLargestScreenSidePixels;
  };
  int w = 0, h = 0;
  if (!side(text.substr(0, x), w) || !side(text.substr(x + 1), h)) return false;
  if (static_cast<long long>(w) * h > kLargestScreenAreaPixels) return false;
  width = w;
  height = h;
  return true;
}

// The text with every control character replaced by '?': a message quoting what was
// typed (a line break pasted into an argument) stays on one line.
inline std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

}  // namespace velmora
