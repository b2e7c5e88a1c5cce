#include "platform/Keys.h"

#include <SDL_keycode.h>

#include <cctype>
#include <cstdio>

namespace velmora {
namespace {

constexpr int kFunctionKeyCount = 12;  // F1 .. F12 have consecutive codes in both systems

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

VirtualKey VirtualKeyFromSdl(std::int32_t sdlKeySymbol) {
  if (sdlKeySymbol >= SDLK_a && sdlKeySymbol <= SDLK_z) {
    return static_cast<VirtualKey>('A' + (sdlKeySymbol - SDLK_a));
  }
  if (sdlKeySymbol >= SDLK_0 && sdlKeySymbol <= SDLK_9) {
    return static_cast<VirtualKey>('0' + (sdlKeySymbol - SDLK_0));
  }
  if (sdlKeySymbol >= SDLK_F1 && sdlKeySymbol <= SDLK_F12) {
    return static_cast<VirtualKey>(VK_F1 + (sdlKeySymbol - SDLK_F1));
  }
  if (sdlKeySymbol == SDLK_ESCAPE) return VK_ESCAPE;
  return VK_NONE;
}

std::optional<VirtualKey> VirtualKeyFromName(std::string_view name) {
  if (name.size() == 1) {
    const auto c = static_cast<unsigned char>(name[0]);
    if (std::isdigit(c)) return static_cast<VirtualKey>(c);
    if (std::isalpha(c)) return static_cast<VirtualKey>(std::toupper(c));
    return std::nullopt;
  }
  if (EqualsIgnoringCase(name, "Esc") || EqualsIgnoringCase(name, "Escape")) return VK_ESCAPE;
  for (int n = 1; n <= kFunctionKeyCount; ++n) {
    if (EqualsIgnoringCase(name, "F" + std::to_string(n))) {
      return static_cast<VirtualKey>(VK_F1 + n - 1);
    }
  }
  return std::nullopt;
}

std::string VirtualKeyName(VirtualKey key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    return std::string(1, static_cast<char>(key));
  }
  if (key == VK_ESCAPE) return "Esc";
  if (key >= VK_F1 && key < VK_F1 + kFunctionKeyCount) return "F" + std::to_string(key - VK_F1 + 1);
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(key));
  return hex;
}

}  // namespace velmora
