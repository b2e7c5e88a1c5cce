#include "shell/DrawingObjects.h"

#include <gtest/gtest.h>

#include "model/DrawingObjects.h"

namespace velmora {
namespace {

TEST(DrawingObjectsTest, StaticInitialisationCreatesTheFourObjectsAndDestroyDeletesThem) {
  ASSERT_NE(axonPen, nullptr);
  ASSERT_NE(dendritePen, nullptr);
  ASSERT_NE(positiveSynapseBrush, nullptr);
  ASSERT_NE(negativeSynapseBrush, nullptr);
  EXPECT_EQ(axonPen->style, PenStyle::Solid);
  EXPECT_EQ(axonPen->width, 2);
  EXPECT_EQ(axonPen->color, 0x00C8C8C8u);
  EXPECT_EQ(dendritePen->style, PenStyle::Solid);
  EXPECT_EQ(dendritePen->width, 2);
  EXPECT_EQ(dendritePen->color, 51200u);
  EXPECT_EQ(positiveSynapseBrush->color, 0x00C80000u);
  EXPECT_EQ(negativeSynapseBrush->color, 200u);

  const Pen savedAxon = *axonPen;
  const Pen savedDendrite = *dendritePen;
  const Brush savedPositive = *positiveSynapseBrush;
  const Brush savedNegative = *negativeSynapseBrush;
  DeleteDrawingObjects();
  EXPECT_EQ(axonPen, nullptr);
  EXPECT_EQ(dendritePen, nullptr);
  EXPECT_EQ(positiveSynapseBrush, nullptr);
  EXPECT_EQ(negativeSynapseBrush, nullptr);
  // Other tests of this program draw with them.
  axonPen = new Pen(savedAxon);
  dendritePen = new Pen(savedDendrite);
  positiveSynapseBrush = new Brush(savedPositive);
  negativeSynapseBrush = new Brush(savedNegative);
}

}  // namespace
}  // namespace velmora
