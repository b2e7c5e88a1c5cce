#include "display/FrameComposition.h"

#include <cstdio>

#include "model/Model.h"

namespace velmora {
namespace {

template <typename Call>
bool Succeeds(FrameDisplay& display, Call call) {
  for (;;) {
    const DisplayResult result = call();
    if (result == DisplayResult::Ok) return true;
    if (result == DisplayResult::StillDrawing) continue;
    if (result == DisplayResult::SurfaceLost) display.RestoreSurfaces();
    return false;
  }
}

}  // namespace

SourceRect SomaSpriteCell(int soma, float activity) {
  const int cell = static_cast<int>(activity * kActivityScale);
  SourceRect source;
  source.left = kSpriteCellPixels * cell;
  source.top = kSpriteCellPixels * soma;
  // One pixel short of the cell: 79 x 79 of each 80 x 80 cell reach the screen.
  source.right = source.left + kSpriteCellPixels - 1;
  source.bottom = source.top + kSpriteCellPixels - 1;
  return source;
}

float RelativeSimSpeed(float stepMs, float frameTimeMs) {
  return stepMs * static_cast<float>(kStepsPerFrame) / frameTimeMs;
}

std::string StatusText(float relativeSimSpeed, const StatusTexts& texts) {
  if (!(relativeSimSpeed > kZeroSpeedLimit)) return texts.standstill;
  const auto slower = static_cast<int>(1.0 / relativeSimSpeed);
  if (slower <= 1) return texts.realTime;
  // The format holds one integer conversion (StatusTexts keeps it so).
  const int length = std::snprintf(nullptr, 0, texts.slower.c_str(), slower);
  if (length < 0) return texts.slower;
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), texts.slower.c_str(), slower);
  text.pop_back();
  return text;
}

bool DrawBackground(FrameDisplay& display) {
  return Succeeds(display, [&] { return display.BlitBackground(); });
}

bool DrawSomaSprites(FrameDisplay& display, const Model& model) {
  float activity[network::kSomaCount];
  model.GetActivity(activity);
  for (int i = 0; i < network::kSomaCount; ++i) {
    const SourceRect source = SomaSpriteCell(i, activity[i]);
    if (!Succeeds(display, [&] { return display.BlitSomaCell(kSomaSpriteX[i], kSomaSpriteY[i], source); })) {
      return false;
    }
  }
  return true;
}

bool DrawStatusLineAndModel(FrameDisplay& display, const std::string& statusText, Model& model,
                            const DrawingStyle& style, const std::vector<std::string>& noticeLines,
                            const OverlayDrawing& overlay) {
  TextDeviceContext* dc = display.GetBackBufferDC();
  if (dc == nullptr) return false;
  dc->SetTextColor(kStatusTextColor);
  dc->SetTransparentBackground();
  dc->TextOut(kStatusLineX, kStatusLineY, statusText);
  model.Draw(*dc, style);
  if (!noticeLines.empty()) {
    dc->SetTextColor(kNoticeTextColor);
    dc->SetTransparentBackground();
    int y = kStatusLineY - static_cast<int>(noticeLines.size()) * kNoticeLineSpacingPixels;
    for (const std::string& line : noticeLines) {
      dc->TextOut(kStatusLineX, y, line);
      y += kNoticeLineSpacingPixels;
    }
  }
  if (overlay) overlay(*dc);
  display.ReleaseBackBufferDC(dc);
  return true;
}

bool FlipFrame(FrameDisplay& display) {
  return Succeeds(display, [&] { return display.FlipBuffers(); });
}

bool ComposeFrame(FrameDisplay& display, Model& model, float relativeSimSpeed, const StatusTexts& texts) {
  return DrawBackground(display) && DrawSomaSprites(display, model) &&
         DrawStatusLineAndModel(display, StatusText(relativeSimSpeed, texts), model, display.NetworkStyle());
}

}  // namespace velmora
