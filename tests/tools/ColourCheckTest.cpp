#include "tools/sim/SimColours.h"

#include <gtest/gtest.h>

#include "display/NetworkStyles.h"
#include "model/Model.h"
#include "tests/support/RecordingDeviceContext.h"

namespace velmora::sim {
namespace {

TEST(ColourCheckTest, ColourDifferencesMatchPublishedCiede2000Pairs) {
  // Sharma, Wu and Dalal's test data for CIEDE2000.
  struct Case {
    LabColour first, second;
    double difference;
  } cases[] = {
      {{50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}, 2.0425},
      {{50.0, 2.5, 0.0}, {50.0, 0.0, -2.5}, 4.3065},
      {{50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}, 27.1492},
      {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
      {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(Ciede2000(c.first, c.second), c.difference, 0.0001);
    EXPECT_NEAR(Ciede2000(c.second, c.first), c.difference, 0.0001);
  }
  // Each simulation keeps greys grey: white, a mid grey and black look the same to every eye.
  for (ColorRef grey : {Rgb(255, 255, 255), Rgb(128, 128, 128), Rgb(0, 0, 0)}) {
    for (ColourVision vision : kColourVisions) {
      EXPECT_LT(Ciede2000(SeenAs(grey, ColourVision::kTypical), SeenAs(grey, vision)), 1.0) << ColourVisionName(vision);
    }
  }
}

TEST(ColourCheckTest, EveryEyeTellsTheSharpPicturesSynapsesApartButNotTheBareColours) {
  std::string error;
  const std::vector<ColourRow> sharp = MeasureSynapseColours(kSharpDrawingStyle, &error);
  ASSERT_EQ(sharp.size(), std::size(kColourVisions)) << error;
  EXPECT_TRUE(EveryEyeTellsThemApart(sharp, true)) << FormatColourReport(sharp, true);

  // Without the edge the red falls below the threshold against the brown ground for a
  // red-blind eye: the check must notice.
  const std::vector<ColourRow> bare = MeasureSynapseColours(kExhibitDrawingStyle, &error);
  EXPECT_FALSE(EveryEyeTellsThemApart(bare, false)) << FormatColourReport(bare, false);
  EXPECT_LT(bare[1].redAgainstGround, kDistinctColourDifference);
}

TEST(ColourCheckTest, OnlyTheRedTrianglesOfTheSharpStyleCarryTheEdge) {
  Model model(1.0f);  // Syn10 is the one synapse with a negative weight by default
  for (const DrawingStyle* style : {&kSharpDrawingStyle, &kExhibitDrawingStyle}) {
    testing::RecordingDeviceContext dc;
    model.Draw(dc, *style);
    int edged = 0, plain = 0;
    for (const testing::DrawCall& call : dc.calls) {
      if (call.kind != testing::DrawCall::Kind::SelectPen) continue;
      if (call.pen == &style->negativeSynapseEdge) ++edged;
      if (call.pen == StockNullPen()) ++plain;
    }
    EXPECT_EQ(edged, style == &kSharpDrawingStyle ? 1 : 0);
    EXPECT_EQ(plain, style == &kSharpDrawingStyle ? 9 : 10);
  }
}

}  // namespace
}  // namespace velmora::sim
