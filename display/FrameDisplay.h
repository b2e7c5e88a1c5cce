#pragma once
// What the exhibit needs of the display: background and sprite copies, a drawing
// context on the back buffer, the flip, the restore after a loss, the choice of
// background, and giving everything up at shutdown.

#include <string_view>

#include "display/NetworkStyles.h"
#include "model/DeviceContext.h"

namespace velmora {

// What became of a display operation.
enum class DisplayResult {
  Ok,
  StillDrawing,  // the device is busy with an earlier operation: issue the same call again at once
  SurfaceLost,   // the picture behind a surface was lost: RestoreSurfaces, then give up the frame
  Failed,        // the display's own failure: a surface or the presenter is missing, or a copy failed
  InvalidRect,   // a copy whose rectangle does not lie inside both surfaces
};

// The two pictures a frame can start from.
enum class Background {
  Plain,    // the network alone
  Labeled,  // with the synapses' numbers, shown for a while after each interaction
};

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
  // Text in the current font with its top-left corner at (x, y).
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // The font of the following text: the large one (the invitation) or the default one,
  // which a fresh context has. A context without a large font keeps the default one.
  virtual void SetLargeText(bool large) { static_cast<void>(large); }
  // How wide a line of text comes out in the current font, pixels; 0 where the
  // context sets no text.
  virtual int TextWidth(std::string_view text) {
    static_cast<void>(text);
    return 0;
  }
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
  // Which background the following frames copy.
  virtual void SelectBackground(Background background) = 0;
  // Gives up everything the display holds; no frame may run afterwards.
  virtual void Release() = 0;
  // How this frame draws the network's moving parts.
  virtual const DrawingStyle& NetworkStyle() const { return kExhibitDrawingStyle; }
};

}  // namespace velmora
