// The rectangle rules the hit tests rely on, which must match Core Graphics.

#include "platform/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace hushpad {
namespace {

TEST(Geometry, AccessorsStandardiseNegativeSizes) {
  const Rect r = makeRect(10, 20, -4, -6);
  EXPECT_EQ(standardized(r), makeRect(6, 14, 4, 6));
  EXPECT_EQ(minX(r), 6);
  EXPECT_EQ(maxX(r), 10);
  EXPECT_EQ(minY(r), 14);
  EXPECT_EQ(maxY(r), 20);
  EXPECT_EQ(width(r), 4);
  EXPECT_EQ(height(r), 6);
}

TEST(Geometry, ContainsMinimumEdgesButNotMaximumEdges) {
  const Rect r = makeRect(0, 0, 10, 10);
  EXPECT_TRUE(containsPoint(r, {0, 0}));
  EXPECT_TRUE(containsPoint(r, {9.999, 9.999}));
  EXPECT_FALSE(containsPoint(r, {10, 5}));
  EXPECT_FALSE(containsPoint(r, {5, 10}));
  EXPECT_FALSE(containsPoint(r, {-0.001, 5}));
}

TEST(Geometry, NegativeSizedRectangleContainsLikeItsStandardForm) {
  const Rect r = makeRect(10, 10, -10, -10);
  EXPECT_TRUE(containsPoint(r, {0, 0}));
  EXPECT_FALSE(containsPoint(r, {10, 10}));
}

TEST(Geometry, EmptyRectangleContainsNothing) {
  EXPECT_FALSE(containsPoint(makeRect(5, 5, 0, 10), {5, 5}));
  EXPECT_FALSE(containsPoint(makeRect(5, 5, 10, 0), {5, 5}));
}

TEST(Geometry, NegativeInsetGrowsOnEverySide) {
  EXPECT_EQ(insetBy(makeRect(1000, 876, 24, 24), -12, -12), makeRect(988, 864, 48, 48));
}

TEST(Geometry, InsetStandardisesFirst) {
  EXPECT_EQ(insetBy(makeRect(24, 24, -24, -24), 2, 3), makeRect(2, 3, 20, 18));
}

TEST(Geometry, InsetToZeroKeepsAnEmptyRectangle) {
  EXPECT_EQ(insetBy(makeRect(0, 0, 10, 10), 5, 5), makeRect(5, 5, 0, 0));
}

TEST(Geometry, InsetPastNothingIsTheNullRectangle) {
  const Rect null = insetBy(makeRect(0, 0, 10, 10), 6, 1);
  EXPECT_TRUE(isNull(null));
  EXPECT_TRUE(std::isinf(null.origin.x));
  EXPECT_EQ(null.size, (Size{0, 0}));
  EXPECT_FALSE(containsPoint(null, {3, 3}));
}

TEST(Geometry, NullRectangleStaysNullWhenGrown) {
  const Rect grown = insetBy(kNullRect, -12, -12);
  EXPECT_TRUE(isNull(grown));
  EXPECT_EQ(width(grown), 0);
  EXPECT_FALSE(containsPoint(grown, {1e308, 1e308}));
}

}  // namespace
}  // namespace hushpad
