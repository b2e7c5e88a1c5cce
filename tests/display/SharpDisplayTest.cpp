// The sharp display: the rasteriser's edge rule, where and how much the anti-aliased
// strokes and triangles cover at any scale, the tiled frame's restore and change
// tracking, and the display on SDL's software renderer against the picture composed
// in memory, through a loss.

#include "display/SharpDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "display/GlyphCache.h"
#include "platform/Presenter.h"
#include "platform/WindowFramebuffer.h"

namespace velmora {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kGround = 0xFF81502Du;
constexpr ColorRef kWhite = Rgb(255, 255, 255);
const Pen kTwoPixelPen{PenStyle::Solid, 2, kWhite};
const Pen kNullPen{PenStyle::Null, 2, kWhite};
const Brush kWhiteBrush{kWhite};

struct Image {
  Image(int w, int h, std::uint32_t fill) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
  PixelCanvas Canvas() { return {pixels.data(), width, height, width}; }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  int width, height;
  std::vector<std::uint32_t> pixels;
};

SDL_Vertex Vertex(float x, float y, Uint8 alpha) { return {{x, y}, {255, 255, 255, alpha}, {0, 0}}; }

// White drawn on black: how much of each pixel it covers (its red channel / 255).
struct Coverage {
  double total = 0.0, x = 0.0, y = 0.0;  // sum, and the centre of mass in pixels
};
Coverage Measure(const Image& image) {
  Coverage c;
  for (int py = 0; py < image.height; ++py) {
    for (int px = 0; px < image.width; ++px) {
      const double a = ((image.At(px, py) >> 16) & 0xFF) / 255.0;
      c.total += a;
      c.x += a * (px + 0.5);
      c.y += a * (py + 0.5);
    }
  }
  if (c.total > 0.0) c.x /= c.total, c.y /= c.total;
  return c;
}

Image Draw(const ScreenTransform& transform, int width, int height, const std::function<void(SharpContext&)>& draw) {
  DrawList list;
  SharpContext context(transform, list);
  draw(context);
  context.Finish();
  Image image(width, height, kBlack);
  std::vector<PixelRect> touched;
  FillTriangles(image.Canvas(), list.vertices, list.indices, 0, list.indices.size(), touched);
  return image;
}

TEST(TriangleRaster, TrianglesSharingEdgesCoverEveryPixelCentreOnce) {
  // Fans of triangles round a centre, corners off the pixel grid; a pixel blended
  // twice with half alpha would be brighter than 128.
  const struct {
    float cx, cy, radius;
    int corners;
  } fans[] = {{20.0f, 20.0f, 12.0f, 4}, {20.3f, 19.7f, 15.25f, 6}, {24.5f, 24.5f, 17.0f, 17}};
  for (const auto& fan : fans) {
    std::vector<SDL_Vertex> vertices{Vertex(fan.cx, fan.cy, 128)};
    std::vector<int> indices;
    for (int k = 0; k < fan.corners; ++k) {
      const double angle = 6.283185307179586 * k / fan.corners + 0.1;
      vertices.push_back(Vertex(static_cast<float>(fan.cx + fan.radius * std::cos(angle)),
                                static_cast<float>(fan.cy + fan.radius * std::sin(angle)), 128));
      indices.insert(indices.end(), {0, 1 + k, 1 + (k + 1) % fan.corners});
    }
    Image image(50, 50, kBlack);
    std::vector<PixelRect> touched;
    FillTriangles(image.Canvas(), vertices, indices, 0, indices.size(), touched);
    int once = 0;
    for (std::uint32_t p : image.pixels) {
      const std::uint32_t red = (p >> 16) & 0xFF;
      ASSERT_TRUE(red == 0 || red == 128) << fan.corners << " corners: a pixel blended " << red;
      once += red == 128 ? 1 : 0;
    }
    // As many pixels as the polygon's area, give or take its rim.
    const double area = 0.5 * fan.corners * fan.radius * fan.radius * std::sin(6.283185307179586 / fan.corners);
    EXPECT_NEAR(once, area, 2.0 * 6.3 * fan.radius) << fan.corners << " corners";
  }
}

TEST(SharpContext, StrokesAndTrianglesCoverTheirAreaWhereTheDesignPutsThemAtAnyScale) {
  constexpr double kAreaTolerance = 0.03;    // share of the expected area
  constexpr double kCentreTolerance = 0.05;  // screen pixels
  for (const double scale : {1.0, 1.40625, 2.8125}) {
    const ScreenTransform transform{scale, 7.0, 3.0};
    const auto screen = [&](double design, double offset) { return design * scale + offset; };
    const struct {
      int x0, y0, x1, y1;
    } lines[] = {{5, 10, 45, 10}, {5, 5, 35, 35}, {20, 4, 26, 44}};
    for (const auto& l : lines) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << ", line " << l.x0 << "," << l.y0 << " to " << l.x1 << "," << l.y1);
      const Image image = Draw(transform, 160, 160, [&](SharpContext& dc) {
        dc.SelectPen(&kTwoPixelPen);
        dc.MoveTo(l.x0, l.y0);
        dc.LineTo(l.x1, l.y1);
      });
      const Coverage c = Measure(image);
      const double length = std::hypot(l.x1 - l.x0, l.y1 - l.y0) * scale;
      EXPECT_NEAR(c.total, length * 2.0 * scale, kAreaTolerance * length * 2.0 * scale);
      // Between the centres of the end pixels.
      EXPECT_NEAR(c.x, screen((l.x0 + l.x1) / 2.0 + 0.5, transform.offsetX), kCentreTolerance);
      EXPECT_NEAR(c.y, screen((l.y0 + l.y1) / 2.0 + 0.5, transform.offsetY), kCentreTolerance);
    }
    const ScreenPoint corners[3] = {{10, 8}, {40, 14}, {18, 38}};
    const Image image = Draw(transform, 160, 160, [&](SharpContext& dc) {
      dc.SelectBrush(&kWhiteBrush);
      dc.SelectPen(&kNullPen);
      dc.Polygon(corners);
    });
    const Coverage c = Measure(image);
    const double area = 0.5 * std::abs((40 - 10) * (38 - 8) - (14 - 8) * (18 - 10)) * scale * scale;
    EXPECT_NEAR(c.total, area, kAreaTolerance * area) << "scale " << scale;
    // At the corner points themselves.
    EXPECT_NEAR(c.x, screen((10 + 40 + 18) / 3.0, transform.offsetX), kCentreTolerance) << "scale " << scale;
    EXPECT_NEAR(c.y, screen((8 + 14 + 38) / 3.0, transform.offsetY), kCentreTolerance) << "scale " << scale;
  }
}

// A triangle given exactly (a synapse) is drawn as one at whole corners is, with the
// selected pen's outline: the light edge of the red synapses.
TEST(SharpContext, AnExactTriangleIsFilledAndOutlinedAsAWholeCorneredOne) {
  const auto triangle = [](bool exact, const Pen* pen) {
    return Draw({2.0, 5.0, 5.0}, 100, 100, [&](SharpContext& dc) {
             dc.SelectBrush(&kWhiteBrush);
             dc.SelectPen(pen);
             exact ? dc.PolygonExact({{3.0, 4.0}, {40.0, 9.0}, {12.0, 38.0}}) : dc.Polygon({{3, 4}, {40, 9}, {12, 38}});
           }).pixels;
  };
  EXPECT_EQ(triangle(true, &kTwoPixelPen), triangle(false, &kTwoPixelPen));
  EXPECT_NE(triangle(true, &kTwoPixelPen), triangle(true, &kNullPen)) << "the outline shows";
}

TEST(SharpContext, NullPenAndMissingObjectsDrawNothingButMoveThePosition) {
  const ScreenTransform transform{2.0, 0.0, 0.0};
  const struct {
    const char* what;
    std::function<void(SharpContext&)> draw;
    double expected;  // covered pixels
  } cases[] = {
      {"null pen", [](SharpContext& dc) { dc.SelectPen(&kNullPen); dc.LineTo(30, 0); }, 0.0},
      {"no pen", [](SharpContext& dc) { dc.SelectPen(nullptr); dc.LineTo(30, 0); }, 0.0},
      {"no brush", [](SharpContext& dc) { dc.SelectBrush(nullptr); dc.Polygon({{0, 0}, {30, 0}, {0, 30}}); }, 0.0},
      // The line starts where the null pen's LineTo left the position: 10 long, 4 wide.
      {"moved by a null pen", [](SharpContext& dc) { dc.SelectPen(&kNullPen); dc.LineTo(20, 10); dc.SelectPen(&kTwoPixelPen); dc.LineTo(30, 10); }, 80.0},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(Measure(Draw(transform, 100, 100, c.draw)).total, c.expected, 2.5) << c.what;
  }
}

// The status line stays where the design puts it on a screen as wide as the design or
// wider, and stands at the foot of a taller one; the model's drawing above it stays.
TEST(SharpContext, TheStatusLineStandsAtTheFootOfATallScreen) {
  const struct {
    int width, height;
    bool tall;
  } screens[] = {{1080, 1920, true}, {768, 1024, true}, {1920, 1080, false}, {2560, 1600, false}, {1024, 768, false}};
  for (const auto& screen : screens) {
    SCOPED_TRACE(testing::Message() << screen.width << " x " << screen.height);
    const PaintPlacement placement = FitDesign(screen.width, screen.height, true);
    DrawList list;
    SharpContext dc(TransformOf(placement), list);
    dc.TextOut(0, 748, "status");
    dc.TextOut(0, 600, "above the band");
    ASSERT_EQ(list.texts.size(), 2u);
    const double designStatus = 748 * placement.scale + placement.offsetY;
    EXPECT_NEAR(list.texts[0].y, screen.tall ? screen.height - (768 - 748) * placement.scale : designStatus, 1.0);
    EXPECT_NEAR(list.texts[1].y, 600 * placement.scale + placement.offsetY, 1.0);
  }
}

// Screen-sized pictures on a 1600 x 900 screen (or another): flat ground, one label,
// and three 20 x 20 bodies cut at the design's corner.
std::shared_ptr<SharpPictures> FlatPictures(int width = 1600, int height = 900) {
  auto pictures = std::make_shared<SharpPictures>();
  pictures->placement = FitDesign(width, height, true);
  pictures->background = {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, kGround)};
  pictures->labels.push_back({300, 200, 40, 20, 0xFFFFFF00u, std::vector<std::uint8_t>(800, 255)});
  for (SharpBody& body : pictures->bodies) {
    body.sprite = {0, 0, 20, 20, std::vector<std::uint32_t>(400, 0xFF40506Au)};
    body.glowStep.assign(400, 3);
    body.cut = {0, 0};
  }
  pictures->sheetCellPixels = 80;
  return pictures;
}

// On a tall screen, what is drawn in the status band at its foot (the controls beside
// the status line) goes with the band, whole, and the display's placement finds it
// there for touches; a touch on the ground between the network and the band lands
// above the band.
TEST(SharpDisplay, OnATallScreenTheBandsControlsAndTheirTouchesStandAtTheFoot) {
  const std::shared_ptr<SharpPictures> tall = FlatPictures(1080, 1920);
  const auto rows = [&](int top) {  // the screen rows of a stroke from design row `top` 20 down
    DrawList list;
    SharpContext dc(TransformOf(tall->placement), list);
    dc.SelectPen(&kTwoPixelPen);
    dc.MoveTo(900, top);
    dc.LineTo(900, top + 20);
    dc.Finish();
    const auto [first, last] = std::minmax_element(list.vertices.begin(), list.vertices.end(),
                                                   [](const SDL_Vertex& a, const SDL_Vertex& b) { return a.position.y < b.position.y; });
    return std::pair<double, double>(first->position.y, last->position.y);
  };
  const auto [controlTop, controlBottom] = rows(730);
  const auto [acrossTop, acrossBottom] = rows(670);  // across the band's top edge
  const ScreenPlacement placement = SharpDisplay::CreateOffscreen(tall)->Placement();
  EXPECT_GT(controlTop, 1920 - 100) << "at the foot";
  EXPECT_NEAR(placement.ToPicture({900.5, (controlTop + controlBottom) / 2.0}).y, 740.5, 0.5);
  EXPECT_LT(acrossBottom - acrossTop, 22.0 * placement.scale + 1.0) << "not torn apart";
  EXPECT_EQ(placement.ToPicture({900.5, 1500.0}).y, 679.0);
}

// A frame: the background, body 1 at level `level`, a diagonal stroke.
template <typename AnyDisplay>
void Frame(AnyDisplay& display, int level, int strokeY) {
  ASSERT_EQ(display.BlitBackground(), DisplayResult::Ok);
  ASSERT_EQ(display.BlitSomaCell(400, 300, SourceRect{level * 80, 80, level * 80 + 79, 159}), DisplayResult::Ok);
  TextDeviceContext* dc = display.GetBackBufferDC();
  ASSERT_NE(dc, nullptr);
  dc->SetTextColor(kWhite);
  dc->SetTransparentBackground();
  dc->TextOut(0, 748, "Geschwindigkeit: wie in Wirklichkeit!");
  dc->SelectPen(&kTwoPixelPen);
  dc->MoveTo(100, strokeY);
  dc->LineTo(300, strokeY + 100);
  display.ReleaseBackBufferDC(dc);
}

TEST(SharpFrame, LayingTheBackgroundLeavesNoTraceAndTheChangedTilesHoldEveryChange) {
  const std::shared_ptr<SharpPictures> pictures = FlatPictures();
  SharpFrame frame(pictures);
  std::vector<SDL_Rect> changed;
  for (const bool labeled : {false, true, false}) {
    frame.SelectLabeled(labeled);
    frame.RestoreBackground();
    frame.TakeChanged(changed);
    const std::vector<std::uint32_t> before(frame.Pixels(), frame.Pixels() + 1600 * 900);
    DrawList list;
    SharpContext dc({pictures->placement.scale, 200.0, 0.0}, list);
    dc.SelectPen(&kTwoPixelPen);
    dc.MoveTo(10, 10);
    dc.LineTo(500, 300);
    dc.Finish();
    frame.DrawBody(1, kTopGlowLevel, 400, 300);
    frame.Draw(list, nullptr);
    frame.TakeChanged(changed);
    for (int y = 0; y < 900; ++y) {
      for (int x = 0; x < 1600; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * 1600 + x;
        if (frame.Pixels()[i] == before[i]) continue;
        ASSERT_TRUE(std::any_of(changed.begin(), changed.end(), [&](const SDL_Rect& r) {
          return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
        })) << "changed pixel " << x << ", " << y << " not in a changed tile";
      }
    }
    frame.RestoreBackground();
    for (int y = 0; y < 900; ++y) {
      for (int x = 0; x < 1600; ++x) {
        const bool onLabel = labeled && x >= 300 && x < 340 && y >= 200 && y < 220;
        ASSERT_EQ(frame.Pixels()[static_cast<std::size_t>(y) * 1600 + x], onLabel ? 0xFFFFFF00u : kGround)
            << x << ", " << y << (labeled ? " labelled" : " plain");
      }
    }
  }
}

TEST(SharpFrame, BodyGreenRisesByItsGlowStepPerLevelOverWhatIsBelow) {
  const std::shared_ptr<SharpPictures> pictures = FlatPictures();
  SharpFrame frame(pictures);
  const double scale = pictures->placement.scale;
  const int x = static_cast<int>(std::lround(400 * scale)) + 10, y = static_cast<int>(std::lround(300 * scale)) + 10;
  for (const int level : {0, 10, kTopGlowLevel}) {
    frame.RestoreBackground();
    frame.DrawBody(1, level, 400, 300);
    EXPECT_EQ(frame.Pixels()[static_cast<std::size_t>(y) * 1600 + x], 0xFF40006Au | std::min(255u, 0x50u + 3u * level) << 8)
        << "level " << level;
  }
}

TEST(SharpDisplayOnSoftwareRenderer, ShowsThePictureComposedInMemoryAndRecoversFromALoss) {
  SelectHeadlessVideoDriver();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("Velmora", 0, 0, 1600, 900, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr);
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  ASSERT_NE(renderer, nullptr);
  const std::shared_ptr<SharpPictures> pictures = FlatPictures();
  std::string error;
  {
    const std::unique_ptr<SharpDisplay> shown = SharpDisplay::CreateForRenderer(renderer, pictures, &error);
    ASSERT_NE(shown, nullptr) << error;
    EXPECT_FALSE(shown->OnGpu());
    const std::unique_ptr<SharpDisplay> offscreen = SharpDisplay::CreateOffscreen(pictures);
    const auto sameAsInMemory = [&] {
      PackedImage a, b;
      return shown->Screenshot(a) && offscreen->Screenshot(b) && a.pixels == b.pixels;
    };
    const std::size_t wholeFrame = 1600u * 900u * 4u;
    for (int frame = 0; frame < 3; ++frame) {
      Frame(*shown, frame, 100 + frame);
      Frame(*offscreen, frame, 100 + frame);
      ASSERT_EQ(shown->FlipBuffers(), DisplayResult::Ok);
      EXPECT_TRUE(sameAsInMemory()) << "frame " << frame;
      // The first frame sends everything, later ones only the tiles drawn on.
      if (frame == 0) EXPECT_EQ(shown->Figures().uploadedBytes, wholeFrame);
      else EXPECT_LT(shown->Figures().uploadedBytes, wholeFrame / 10);
    }
    shown->InjectSurfaceLoss();
    EXPECT_EQ(shown->BlitBackground(), DisplayResult::SurfaceLost);
    EXPECT_EQ(shown->FlipBuffers(), DisplayResult::SurfaceLost);
    ASSERT_EQ(shown->RestoreSurfaces(), DisplayResult::Ok);
    Frame(*shown, 5, 200);
    Frame(*offscreen, 5, 200);
    ASSERT_EQ(shown->FlipBuffers(), DisplayResult::Ok);
    EXPECT_EQ(shown->Figures().uploadedBytes, wholeFrame);
    EXPECT_TRUE(sameAsInMemory());
  }
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// Without a GPU, through the window's framebuffer, upright or turned: the window shows
// the frame composed in memory; of what was drawn again, only what differs is handed
// on; after a loss all of it; a fade runs from the picture shown before to the frame;
// and the placement that turns touches back finds the drawing where it shows.
TEST(SharpDisplayOnFramebuffer, ShowsTheFrameHandsOnOnlyWhatDiffersAndFadesInFromThePictureBefore) {
  SelectHeadlessVideoDriver();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  const std::shared_ptr<SharpPictures> pictures = FlatPictures();
  for (const int rotation : {0, 90, 180, 270}) {
    SCOPED_TRACE(rotation);
    const int width = rotation % 180 == 0 ? 1600 : 900, height = rotation % 180 == 0 ? 900 : 1600;
    SDL_Window* window = SDL_CreateWindow("Velmora", 0, 0, width, height, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr);
    MarkFramebufferWindow(window);
    std::unique_ptr<SharpDisplay> shown = SharpDisplay::CreateForFramebuffer(window, pictures, rotation);
    ASSERT_TRUE(shown->OnFramebuffer());
    const std::unique_ptr<SharpDisplay> offscreen = SharpDisplay::CreateOffscreen(pictures);
    const ScreenPlacement turn = FitPicture(width, height, rotation, 1600, 900);  // a window pixel a picture pixel
    const auto onWindow = [&](PlanePoint at) {
      const SDL_Surface* surface = SDL_GetWindowSurface(window);
      const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(surface->pixels) +
                                                              static_cast<std::ptrdiff_t>(at.y) * surface->pitch);
      return row[static_cast<int>(at.x)] & 0x00FFFFFFu;
    };
    // The picture's pixel i on the window.
    const auto pictureShown = [&](std::size_t i) { return onWindow(turn.ToOutput({i % 1600 + 0.5, i / 1600 + 0.5})); };
    const auto windowShowsTheFrame = [&] {
      PackedImage composed;
      if (!offscreen->Screenshot(composed)) return false;
      for (std::size_t i = 0; i < composed.pixels.size(); ++i) {
        if (pictureShown(i) != (composed.pixels[i] & 0x00FFFFFFu)) return false;
      }
      return true;
    };
    const auto frame = [&](int level, int strokeY) {
      Frame(*shown, level, strokeY);
      Frame(*offscreen, level, strokeY);
      EXPECT_EQ(shown->FlipBuffers(), DisplayResult::Ok);
      return shown->Figures().uploadedBytes;
    };
    const std::size_t wholeFrame = 1600u * 900u * 4u;
    EXPECT_EQ(frame(0, 100), wholeFrame);
    EXPECT_TRUE(windowShowsTheFrame());
    EXPECT_EQ(frame(0, 100), 0u) << "drawn again the same";
    EXPECT_GT(frame(5, 120), 0u);
    EXPECT_LT(shown->Figures().uploadedBytes, wholeFrame / 10);
    EXPECT_TRUE(windowShowsTheFrame());
    // The middle of the stroke from (100, 120) to (300, 220), white on the ground.
    EXPECT_EQ(onWindow(shown->Placement().ToOutput({200.5, 170.5})), 0xFFFFFFu);

    // A ground pixel away from the drawing, from black to the ground in steps.
    constexpr std::size_t kGroundPixel = 850u * 1600u + 1500u;
    shown->FadeFrom({1600, 900, std::vector<std::uint32_t>(1600u * 900u, 0xFF000000u)}, 3);
    std::uint32_t before = 0;
    for (int step = 0; step < 3; ++step) {
      EXPECT_EQ(frame(5, 120), wholeFrame);
      const std::uint32_t green = (pictureShown(kGroundPixel) >> 8) & 0xFF;
      EXPECT_GT(green, before) << "step " << step;
      EXPECT_LT(green, (kGround >> 8) & 0xFF) << "step " << step;
      before = green;
    }
    EXPECT_EQ(frame(5, 120), wholeFrame);
    EXPECT_TRUE(windowShowsTheFrame());

    shown->InjectSurfaceLoss();
    EXPECT_EQ(shown->BlitBackground(), DisplayResult::SurfaceLost);
    ASSERT_EQ(shown->RestoreSurfaces(), DisplayResult::Ok);
    EXPECT_EQ(frame(6, 140), wholeFrame);
    EXPECT_TRUE(windowShowsTheFrame());
    shown.reset();
    SDL_DestroyWindow(window);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// Where SDL offers a GPU renderer (under an X server: this test runs a second time
// there, see CMakeLists.txt); skipped elsewhere.
TEST(SharpDisplayOnGpu, ShowsThePictureComposedInMemory) {
  constexpr int kRoundingLevels = 8;  // a GPU may blend and interpolate with other rounding
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0 || VideoDriverShowsNothing()) GTEST_SKIP() << "no display";
  SDL_Window* window = SDL_CreateWindow("Velmora", 0, 0, 1600, 900, SDL_WINDOW_BORDERLESS);
  ASSERT_NE(window, nullptr);
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
  std::string error;
  std::unique_ptr<SharpDisplay> display;
  if (renderer != nullptr) display = SharpDisplay::CreateForRenderer(renderer, FlatPictures(), &error);
  const bool onGpu = display && display->OnGpu();
  if (onGpu) {
    display->SelectBackground(Background::Labeled);
    for (const int level : {0, 20}) {
      Frame(*display, level, 100 + level);
      std::vector<std::uint32_t> shown(1600u * 900u);
      ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), 1600 * 4), 0);
      PackedImage composed;
      ASSERT_TRUE(display->Screenshot(composed));
      int worst = 0;
      for (std::size_t i = 0; i < shown.size(); ++i) {
        for (const int shift : {0, 8, 16}) {
          worst = std::max(worst, std::abs(static_cast<int>((shown[i] >> shift) & 0xFF) -
                                           static_cast<int>((composed.pixels[i] >> shift) & 0xFF)));
        }
      }
      EXPECT_LE(worst, kRoundingLevels) << "level " << level;
      ASSERT_EQ(display->FlipBuffers(), DisplayResult::Ok);
      EXPECT_LT(display->Figures().uploadedBytes, 1600u * 900u) << "only vertices and a text texture per frame";
    }
  }
  display.reset();
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (!onGpu) GTEST_SKIP() << "no GPU renderer: " << error;
}

TEST(SharpPicturePainter, HandsOverWhatPaintingAtOnceGivesWithTheLabelsSet) {
  SharpPicturePainter painter(640, 360, SharpFit::kFill);
  std::string error;
  const std::shared_ptr<SharpPictures> painted = painter.Take(&error);
  ASSERT_NE(painted, nullptr) << error;
  EXPECT_FALSE(painter.Ready());
  EXPECT_EQ(painter.Take(&error), nullptr);
  EXPECT_EQ(painted->labels.size(), 8u);
  EXPECT_EQ(painted->background.pixels, PaintSharpPictures(640, 360, SharpFit::kFill, 1)->background.pixels);
}

}  // namespace
}  // namespace velmora
