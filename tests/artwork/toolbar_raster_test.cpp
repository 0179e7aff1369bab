// The mark as pixels: both forms rasterised with Cairo at 16 pixels a point.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "artwork/toolbar_mark.h"
#include "raster.h"

namespace hushpad {
namespace {

using testing::Raster;

constexpr double kScale = 16;

Raster rasterise(bool locked) {
  return Raster(kToolbarImageSize, kScale, [locked](Canvas& canvas) {
    drawToolbarMark(canvas, kToolbarMarkRect, kToolbarLineWidth, locked);
  });
}

bool intersects(const Rect& a, const Rect& b) {
  return minX(a) < maxX(b) && minX(b) < maxX(a) && minY(a) < maxY(b) && minY(b) < maxY(a);
}

// The lock dot's disc with the image's arguments.
constexpr Point kDotCentre{15.315 + 1.86, 3.6625 + 1.86};
constexpr double kDotRadius = 1.86;

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

class ToolbarRaster : public ::testing::Test {
 protected:
  Raster unlocked = rasterise(false);
  Raster locked = rasterise(true);
};

TEST_F(ToolbarRaster, LockedCoversTheUnlockedMarkAndAddsOnlyTheDot) {
  int added = 0;
  locked.forEachPixel([&](int column, int row) {
    const int before = unlocked.alpha(column, row);
    const int after = locked.alpha(column, row);
    EXPECT_GE(after + 1, before) << column << "," << row;
    if (after > before + 1) {
      ++added;
      // Antialiasing reaches at most one pixel past the disc.
      EXPECT_LE(distance(locked.centre(column, row), kDotCentre), kDotRadius + 1 / kScale)
          << column << "," << row;
    }
  });
  EXPECT_GT(added, 100);
  EXPECT_EQ(locked.alphaAt(kDotCentre), 255);
  EXPECT_LT(unlocked.alphaAt(kDotCentre), 255);
}

TEST_F(ToolbarRaster, NothingIsDrawnOutsideTheMarksExtent) {
  const Rect extent = makeRect(5.05, 3.42, 19.43 - 5.05, 17.90 - 3.42);
  const Rect tolerance = insetBy(extent, -0.01, -0.01);
  for (const Raster* raster : {&unlocked, &locked}) {
    double left = 22, right = 0, bottom = 22, top = 0;
    raster->forEachPixel([&](int column, int row) {
      if (raster->alpha(column, row) == 0) return;
      const Rect area = raster->area(column, row);
      EXPECT_TRUE(intersects(area, tolerance)) << column << "," << row;
      left = std::min(left, minX(area));
      right = std::max(right, maxX(area));
      bottom = std::min(bottom, minY(area));
      top = std::max(top, maxY(area));
    });
    // The strokes reach the extent's edges, to within a pixel.
    EXPECT_NEAR(left, minX(extent), 1 / kScale);
    EXPECT_NEAR(right, maxX(extent), 1 / kScale);
    EXPECT_NEAR(bottom, minY(extent), 1 / kScale);
    EXPECT_NEAR(top, maxY(extent), 1 / kScale);
  }
}

// The marks shown in the documentation, checked against the drawing: a change
// to the mark must come with newly rendered pictures (render_toolbar_marks).
class DocumentedMark : public ::testing::TestWithParam<bool> {};

TEST_P(DocumentedMark, MatchesTheRenderedPicture) {
  const bool locked = GetParam();
  const std::filesystem::path picture =
      std::filesystem::path(__FILE__).parent_path() / "../../docs/images" /
      (locked ? "toolbar-locked@4x.png" : "toolbar-unlocked@4x.png");
  const CairoSurface stored(cairo_image_surface_create_from_png(picture.string().c_str()));
  ASSERT_EQ(cairo_surface_status(stored.get()), CAIRO_STATUS_SUCCESS) << picture;
  CairoImageFactory factory(4);
  const Raster drawn(*std::static_pointer_cast<CairoImage>(makeToolbarImage(factory, locked)));
  const Raster expected(CairoSurface(cairo_surface_reference(stored.get())), kToolbarImageSize, 4);
  ASSERT_EQ(expected.width(), drawn.width());
  ASSERT_EQ(expected.height(), drawn.height());
  int worst = 0;
  drawn.forEachPixel([&](int column, int row) {
    worst = std::max(worst, std::abs(drawn.alpha(column, row) - expected.alpha(column, row)));
  });
  // Room for another rasteriser version's antialiasing, not for a moved stroke.
  EXPECT_LE(worst, 24);
}

INSTANTIATE_TEST_SUITE_P(BothForms, DocumentedMark, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "locked" : "unlocked");
                         });

}  // namespace
}  // namespace hushpad
