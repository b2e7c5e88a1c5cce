#include "platform/Keys.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(KeysTest, SdlSymbolsMapToVirtualKeysOfTheLayout) {
  struct Case {
    std::int32_t sym;
    VirtualKey key;
  };
  const Case cases[] = {
      {SDLK_0, 0x30},      {SDLK_1, 0x31},     {SDLK_6, 0x36},          {SDLK_9, 0x39},
      {SDLK_a, 0x41},      {SDLK_f, 0x46},     {SDLK_q, 0x51},          {SDLK_s, 0x53},
      {SDLK_y, 0x59},      {SDLK_z, 0x5A},  // on a German layout the key right of T sends z
      {SDLK_F1, 0x70},     {SDLK_F2, 0x71},    {SDLK_F12, 0x7B},        {SDLK_ESCAPE, 0x1B},
      {SDLK_KP_0, VK_NONE}, {SDLK_KP_1, VK_NONE}, {SDLK_KP_9, VK_NONE}, {SDLK_KP_ENTER, VK_NONE},
      {SDLK_RETURN, VK_NONE}, {SDLK_SPACE, VK_NONE}, {SDLK_LSHIFT, VK_NONE}, {'A', VK_NONE},
      {SDLK_UNKNOWN, VK_NONE},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromSdl(c.sym), c.key) << "SDL symbol " << c.sym;
}

TEST(KeysTest, ScriptNamesRoundTripAndIgnoreCase) {
  struct Case {
    const char* name;
    VirtualKey key;
    const char* canonical;
  };
  const Case cases[] = {{"1", 0x31, "1"},   {"q", 0x51, "Q"},          {"Z", 0x5A, "Z"},
                        {"f1", 0x70, "F1"}, {"F12", 0x7B, "F12"},      {"esc", 0x1B, "Esc"},
                        {"Escape", 0x1B, "Esc"}};
  for (const Case& c : cases) {
    const auto key = VirtualKeyFromName(c.name);
    ASSERT_TRUE(key.has_value()) << c.name;
    EXPECT_EQ(*key, c.key);
    EXPECT_EQ(VirtualKeyName(*key), c.canonical);
  }
  for (const char* bad : {"", "F0", "F13", "Enter", "12", "%"}) {
    EXPECT_FALSE(VirtualKeyFromName(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace velmora
