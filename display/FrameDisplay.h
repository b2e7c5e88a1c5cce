#pragma once
// What the frame cycle needs of the display: background and sprite copies, a drawing
// context on the back buffer, the flip, and the restore after a loss. Each call
// returns one of the display result codes below.

#include <cstdint>
#include <string_view>

#include "model/DeviceContext.h"

namespace velmora {

using DisplayResult = std::uint32_t;
inline constexpr DisplayResult DD_OK = 0;
// The device is busy with an earlier operation: issue the same call again at once.
inline constexpr DisplayResult DDERR_WASSTILLDRAWING = 0x8876021Cu;
// The picture behind a surface was lost: RestoreSurfaces, then give up the frame.
inline constexpr DisplayResult DDERR_SURFACELOST = 0x887601C2u;

// Left, top, right, bottom in source pixels; right and bottom exclusive.
struct SourceRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The back buffer's drawing context: the model's operations plus the status line's text.
class TextDeviceContext : public DeviceContext {
public:
  virtual void SetTextColor(ColorRef color) = 0;
  virtual void SetTransparentBackground() = 0;
  // Text in the default font with its top-left corner at (x, y).
  virtual void TextOut(int x, int y, std::string_view text) = 0;
};

class FrameDisplay {
public:
  virtual ~FrameDisplay() = default;
  // The whole current background (plain or labelled) to the back buffer at 0, 0.
  virtual DisplayResult BlitBackground() = 0;
  // A rectangle of the soma sprite sheet to (x, y), black pixels left out.
  virtual DisplayResult BlitSomaCell(int x, int y, const SourceRect& source) = 0;
  // A drawing context on the back buffer, or null when none can be had.
  virtual TextDeviceContext* GetBackBufferDC() = 0;
  virtual void ReleaseBackBufferDC(TextDeviceContext* dc) = 0;
  virtual DisplayResult FlipBuffers() = 0;
  virtual DisplayResult RestoreSurfaces() = 0;
};

}  // namespace velmora
