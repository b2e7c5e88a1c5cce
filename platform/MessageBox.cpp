#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>

namespace velmora {
namespace {

bool headlessBoxes = false;
std::vector<std::string>* recordedBoxes = nullptr;

}  // namespace

void SetMessageBoxesHeadless(bool headless) { headlessBoxes = headless; }

void RecordMessageBoxes(std::vector<std::string>* record) { recordedBoxes = record; }

void ShowMessageBox(std::string_view caption, std::string_view text) {
  const std::string captionText(caption);
  const std::string messageText(text);
  if (recordedBoxes != nullptr) recordedBoxes->push_back(captionText + ": " + messageText);
  if (!headlessBoxes &&
      SDL_ShowSimpleMessageBox(0, captionText.c_str(), messageText.c_str(), nullptr) == 0) {
    return;
  }
  std::fprintf(stderr, "%s: %s\n", captionText.c_str(), messageText.c_str());
}

}  // namespace velmora
