#pragma once
// Virtual-key codes: the key codes the exhibit's keyboard handler acts on. They follow
// the keyboard layout (on a German layout Z is the key right of T), as SDL's key
// symbols do, so the mapping works on symbols, not on physical scancodes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

using VirtualKey = std::uint16_t;

inline constexpr VirtualKey VK_NONE = 0;  // a key the exhibit has no code for
inline constexpr VirtualKey VK_ESCAPE = 0x1B;
inline constexpr VirtualKey VK_F1 = 0x70;
inline constexpr VirtualKey VK_F2 = 0x71;
inline constexpr VirtualKey VK_F12 = 0x7B;
// Digits and letters are their upper-case ASCII codes: '0' .. '9', 'A' .. 'Z'.

// The virtual-key code of an SDL key symbol: main-row digits, letters (SDL sends them
// lower case), F1 .. F12 and Esc. Numeric-keypad keys and everything else give VK_NONE.
VirtualKey VirtualKeyFromSdl(std::int32_t sdlKeySymbol);

// Key names of the key scripts: a digit or letter ("1", "Q", either case), "F1" ..
// "F12", "Esc" or "Escape". Nothing for any other name.
std::optional<VirtualKey> VirtualKeyFromName(std::string_view name);
// The name a key script uses for the key ("1", "Q", "F1", "Esc"), or "0x.." for a
// code without a name.
std::string VirtualKeyName(VirtualKey key);

}  // namespace velmora
