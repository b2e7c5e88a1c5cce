#pragma once
// Modal message boxes for the exhibit's start-up failures, as an object handed to
// whoever may have to show one. With a display the box waits for OK; a headless or
// unattended run writes the message to standard error instead, and tests record it.

#include <string_view>

struct SDL_Window;

namespace velmora {

class MessageBoxes {
public:
  virtual ~MessageBoxes() = default;
  // Shows the message under its caption; returns once it has been answered, or at
  // once where nothing waits for an answer.
  virtual void Show(std::string_view caption, std::string_view text) = 0;
};

// SDL's message box, waiting for OK. When no box can be shown (no display), the
// message goes to standard error as StandardErrorMessageBoxes writes it.
class SdlMessageBoxes final : public MessageBoxes {
public:
  void Show(std::string_view caption, std::string_view text) override;
  // The window the boxes belong to: the window system keeps them above it, so a box
  // never sits hidden behind a full-screen picture. Null (the start): no owner.
  void SetOwner(SDL_Window* window) { owner = window; }

private:
  SDL_Window* owner = nullptr;
};

// "caption: text" on a line of standard error; nothing waits. For headless runs.
class StandardErrorMessageBoxes final : public MessageBoxes {
public:
  void Show(std::string_view caption, std::string_view text) override;
};

}  // namespace velmora
