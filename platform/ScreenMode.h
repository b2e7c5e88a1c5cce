#pragma once
// How the exhibit's 1024 x 768 picture takes the screen.

namespace velmora {

enum class ScreenMode {
  FullScreen,  // whatever monitor is attached, scaled up with the aspect kept
  Windowed,    // a 1024 x 768 window, for setting up
  ModeSwitch,  // a true 1024 x 768 display mode
};

}  // namespace velmora
