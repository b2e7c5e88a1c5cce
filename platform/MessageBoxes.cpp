#include "platform/MessageBoxes.h"

#include <SDL.h>

#include <cstdio>
#include <string>

namespace velmora {

void SdlMessageBoxes::Show(std::string_view caption, std::string_view text) {
  const std::string captionText(caption);
  const std::string messageText(text);
  if (SDL_ShowSimpleMessageBox(0, captionText.c_str(), messageText.c_str(), owner) == 0) return;
  StandardErrorMessageBoxes().Show(caption, text);
}

void StandardErrorMessageBoxes::Show(std::string_view caption, std::string_view text) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
}

}  // namespace velmora
