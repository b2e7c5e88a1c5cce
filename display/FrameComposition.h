#pragma once
// The picture of one frame, as the exhibit's frame cycle and the simulator's picture
// both compose it: the background, the three soma sprites by their activity, the
// status line and the network's moving parts drawn over it all.
//
// Each display call goes under the frame's policy: a call the device is still busy
// with is issued again at once; a lost surface is restored and, like any other
// failure, gives the frame up.

#include <functional>
#include <string>
#include <vector>

#include "display/FrameDisplay.h"
#include "display/NetworkStyles.h"
#include "display/StatusTexts.h"
#include "model/DrawingStyle.h"
#include "model/NetworkData.h"

namespace velmora {

class Model;

// Model steps every frame makes (the exhibit's frame lasts 20 ms).
inline constexpr int kStepsPerFrame = 20;

// The soma sprite sheet: row i holds soma i's cells, cell n its look at activity
// n / 31; each cell is square.
inline constexpr int kSpriteCellPixels = 80;
inline constexpr double kActivityScale = 31.0;  // activity 1.0 selects cell 31
// Top-left screen corners (pixels) of the three soma sprites.
inline constexpr int kSomaSpriteX[network::kSomaCount] = {202, 411, 635};
inline constexpr int kSomaSpriteY[network::kSomaCount] = {185, 446, 273};

// The status line: white text without a background, its top-left corner at this point.
inline constexpr int kStatusLineX = 0;    // pixels
inline constexpr int kStatusLineY = 748;  // pixels
inline constexpr ColorRef kStatusTextColor = Rgb(255, 255, 255);
// Notice lines (an unattended run's messages) stand over the status line in the same
// font, one line height apart, the newest lowest; yellow, so they read as a message
// rather than as part of the exhibit.
inline constexpr int kNoticeLineSpacingPixels = 16;  // the default font's line height
inline constexpr ColorRef kNoticeTextColor = Rgb(255, 255, 0);
// A relative speed at or below this counts as standstill (simulated ms per real ms).
inline constexpr float kZeroSpeedLimit = 0.00001f;

// The sprite-sheet rectangle a frame copies for soma `soma` (0 .. 2) at activity
// `activity` (0 .. 1): cell trunc(activity x 31) of the soma's row, 79 x 79 pixels.
SourceRect SomaSpriteCell(int soma, float activity);

// Simulated ms per real ms when every frame makes its steps of `stepMs` and lasts
// `frameTimeMs` (whole ms, as the frame count gives it).
float RelativeSimSpeed(float stepMs, float frameTimeMs);

// The status line for a relative speed (simulated ms per real ms), in the language
// of `texts`.
std::string StatusText(float relativeSimSpeed, const StatusTexts& texts = {});

// The current background to the back buffer. False: the frame is given up.
bool DrawBackground(FrameDisplay& display);
// The soma sprites for the model's present activity. False: the frame is given up.
bool DrawSomaSprites(FrameDisplay& display, const Model& model);
// What a frame draws over everything else with the same context, last.
using OverlayDrawing = std::function<void(TextDeviceContext& dc)>;

// The status line and the model in the style (the display's own look of the network:
// display.NetworkStyle()), then the notice lines over both and the overlay over all,
// through the back buffer's drawing context. False, with nothing drawn, when the
// display lends no context.
bool DrawStatusLineAndModel(FrameDisplay& display, const std::string& statusText, Model& model,
                            const DrawingStyle& style, const std::vector<std::string>& noticeLines = {},
                            const OverlayDrawing& overlay = {});

// The composed picture to the screen. False: the frame is given up.
bool FlipFrame(FrameDisplay& display);

// The whole picture in the exhibit's style, for a model that does not move while
// it is composed: background, sprites, status line and model. False if any part failed.
bool ComposeFrame(FrameDisplay& display, Model& model, float relativeSimSpeed, const StatusTexts& texts = {});

}  // namespace velmora
