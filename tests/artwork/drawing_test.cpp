// Drawing: the Cairo canvas, read back as pixels, and the toolbar mark, read
// back from a recording canvas and as pixels.

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "artwork/legibility.h"
#include "artwork/toolbar_mark.h"
#include "fakes/fake_app.h"
#include "platform/cairo/cairo_canvas.h"
#include "platform/cairo/cairo_image.h"

namespace hushpad {
namespace {

// Reads back what Cairo drew: coverage (alpha) per pixel, addressed in the
// image's points with y upward.
class Raster {
 public:
  Raster(Size size, double scale, const std::function<void(Canvas&)>& draw)
      : size_(size), scale_(scale), surface_(renderImage(size, scale, draw)) {}
  // The pixels of an image made by a CairoImageFactory.
  explicit Raster(const CairoImage& image)
      : size_(image.size()),
        scale_(image.scale()),
        surface_(cairo_surface_reference(image.surface())) {}

  int width() const { return cairo_image_surface_get_width(surface_.get()); }
  int height() const { return cairo_image_surface_get_height(surface_.get()); }

  // Premultiplied ARGB of pixel (column, row), row 0 at the top.
  std::uint32_t pixel(int column, int row) const {
    const unsigned char* data = cairo_image_surface_get_data(surface_.get());
    const int stride = cairo_image_surface_get_stride(surface_.get());
    std::uint32_t value = 0;
    std::memcpy(&value, data + static_cast<std::ptrdiff_t>(row) * stride + 4 * column,
                sizeof value);
    return value;
  }
  int alpha(int column, int row) const { return static_cast<int>(pixel(column, row) >> 24); }
  // Coverage at a point of the image.
  int alphaAt(Point p) const {
    return alpha(static_cast<int>(p.x * scale_), static_cast<int>((size_.height - p.y) * scale_));
  }

  // The pixel's area in points, y upward.
  Rect area(int column, int row) const {
    return makeRect(column / scale_, size_.height - (row + 1) / scale_, 1 / scale_, 1 / scale_);
  }

  // Calls visit(column, row) for every pixel.
  void forEachPixel(const std::function<void(int, int)>& visit) const {
    for (int row = 0; row < height(); ++row) {
      for (int column = 0; column < width(); ++column) visit(column, row);
    }
  }

 private:
  Size size_;
  double scale_;
  CairoSurface surface_;
};

// ---- CairoCanvas and renderImage

constexpr Size kTen{10, 10};
constexpr Color kRed{1, 0, 0, 1};
constexpr Color kBlue{0, 0, 1, 1};

void fillOval(Canvas& canvas, Rect rect) {
  canvas.beginPath();
  canvas.addOval(rect);
  canvas.fillPath();
}

void strokeLine(Canvas& canvas, Point from, Point to, double width) {
  canvas.beginPath();
  canvas.setLineWidth(width);
  canvas.setRoundCapsAndJoins();
  canvas.moveTo(from);
  canvas.lineTo(to);
  canvas.strokePath();
}

std::uint32_t argb(Color c) {
  const auto channel = [&](double v) { return static_cast<std::uint32_t>(std::lround(v * 255)); };
  return channel(c.alpha) << 24 | channel(c.red) << 16 | channel(c.green) << 8 | channel(c.blue);
}

TEST(CairoCanvas, YRunsUpwardFromTheBottomAndScaleSetsPixelsPerPoint) {
  const Raster raster(kTen, 4, [](Canvas& c) { fillOval(c, makeRect(1, 1, 2, 2)); });
  EXPECT_EQ(raster.width(), 40);
  EXPECT_EQ(raster.alpha(8, 31), 255);  // the point (2, 2): column 8, row 40 - 9
  EXPECT_EQ(raster.alpha(8, 8), 0);
  EXPECT_EQ(Raster(Size{10.2, 5}, 1, [](Canvas&) {}).width(), 11);  // sides rounded up
}

TEST(RenderImage, RefusesSizesAndScalesThatAreNotPositiveAndFiniteDrawingNothing) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<Size, double>> cases{
      {kTen, 0},        {kTen, -2},        {kTen, kNaN},        {kTen, kInfinity},
      {Size{0, 10}, 1}, {Size{10, -1}, 1}, {Size{10, kNaN}, 1}, {Size{1e6, 10}, 1}};
  for (const auto& [size, scale] : cases) {
    bool drawn = false;
    EXPECT_EQ(renderImage(size, scale, [&](Canvas&) { drawn = true; }), nullptr)
        << size.width << " x " << size.height << " at " << scale;
    EXPECT_FALSE(drawn);
  }
  EXPECT_EQ(CairoImageFactory(0).makeImage(kTen, true, [](Canvas&) {}), nullptr);
}

// Stroke and fill keep their own colours; a template is painted all in the
// tint, black unless given, with the drawing's coverage.
TEST(CairoImageFactory, DrawsTemplatesInItsTintAndOtherImagesInTheirColours) {
  const auto draw = [](Canvas& c) {
    c.setStrokeColor(kRed);
    c.setFillColor(kBlue);
    fillOval(c, makeRect(0, 0, 4, 4));
    strokeLine(c, {6, 1}, {6, 9}, 1.3);
  };
  const auto plain = CairoImageFactory(4, kRed).makeCairoImage(kTen, false, draw);
  const auto green = CairoImageFactory(4, {0, 1, 0, 1}).makeCairoImage(kTen, true, draw);
  const auto black = CairoImageFactory(4).makeCairoImage(kTen, true, draw);
  ASSERT_TRUE(plain && green && black);
  EXPECT_FALSE(plain->isTemplate());
  const Raster colours(*plain), tinted(*green);
  EXPECT_EQ(colours.pixel(8, 32), argb(kBlue));
  EXPECT_EQ(colours.pixel(24, 20), argb(kRed));
  EXPECT_EQ(tinted.pixel(8, 32), argb({0, 1, 0, 1}));
  EXPECT_EQ(Raster(*black).pixel(24, 20), argb(kBlack));
  const auto faint = CairoImageFactory(4, {1, 0, 0, 0.5}).makeCairoImage(kTen, true, draw);
  EXPECT_NEAR(Raster(*faint).alpha(8, 32), 128, 1);  // the tint's alpha times the colour's
  colours.forEachPixel([&](int column, int row) {
    EXPECT_EQ(tinted.alpha(column, row), colours.alpha(column, row)) << column << "," << row;
  });
}

// ---- The toolbar mark's drawing commands

using fakes::CanvasCall;
using Calls = std::vector<CanvasCall>;

Calls record(Rect rect, double lineWidth, bool locked) {
  fakes::RecordingCanvas canvas;
  drawToolbarMark(canvas, rect, lineWidth, locked);
  return canvas.calls;
}

Calls recordImageMark(bool locked) { return record(kToolbarMarkRect, kToolbarLineWidth, locked); }

bool isPathStep(const CanvasCall& call) {
  return call.op == "moveTo" || call.op == "lineTo" || call.op == "curveTo" || call.op == "addOval";
}

// A mark 34 points wide instead of 17, both from x 3: every x of the figure
// twice as far from 3, every y and width the same; the dot keeps its size and
// its place at the right edge.
TEST(ToolbarMark, DoublingTheWidthStretchesXOnly) {
  const Calls narrow = record(makeRect(3, 4, 17, 17), 1.55, true);
  const Calls wide = record(makeRect(3, 4, 34, 17), 1.55, true);
  ASSERT_EQ(narrow.size(), wide.size());
  for (std::size_t i = 0; i + 2 < narrow.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(wide[i].op, narrow[i].op);
    ASSERT_EQ(wide[i].args.size(), narrow[i].args.size());
    for (std::size_t k = 0; k < narrow[i].args.size(); ++k) {
      const double a = narrow[i].args[k];
      const bool isX = isPathStep(narrow[i]) && k % 2 == 0;
      EXPECT_NEAR(wide[i].args[k], isX ? 3 + 2 * (a - 3) : a, 1e-12);
    }
  }
  const std::vector<double>& dotA = narrow[narrow.size() - 2].args;
  const std::vector<double>& dotB = wide[wide.size() - 2].args;
  EXPECT_EQ(dotB, (std::vector<double>{dotA[0] + 17, dotA[1], dotA[2] + 17, dotA[3]}));
}

// Strokes and the dot scale with the line width; the figure's points do not.
TEST(ToolbarMark, HalvingTheLineWidthHalvesStrokesAndTheDot) {
  const Rect rect = makeRect(2.5, 2.5, 17, 17);
  const Calls full = record(rect, 1.55, true);
  const Calls half = record(rect, 0.775, true);
  ASSERT_EQ(full.size(), half.size());
  for (std::size_t i = 0; i + 2 < full.size(); ++i) {
    SCOPED_TRACE(i);
    const bool isWidth = full[i].op == "setLineWidth";
    EXPECT_EQ(half[i].args, isWidth ? std::vector<double>{full[i].args[0] / 2} : full[i].args);
  }
  // The dot's edges from the rect's right and bottom edges, halved.
  const auto fromEdges = [&](const std::vector<double>& dot) {
    return std::vector<double>{maxX(rect) - dot[0], dot[1] - minY(rect), maxX(rect) - dot[2],
                               dot[3] - minY(rect)};
  };
  const std::vector<double> dotFull = fromEdges(full[full.size() - 2].args);
  const std::vector<double> dotHalf = fromEdges(half[half.size() - 2].args);
  for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(dotHalf[k], dotFull[k] / 2, 1e-12);
}

TEST(ToolbarMark, RectWithNegativeSizeDrawsAsItsStandardForm) {
  EXPECT_EQ(record(makeRect(19.5, 19.5, -17, -17), 1.55, true), recordImageMark(true));
}

TEST(ToolbarMark, ImagesAreTwentyTwoPointTemplatesOfTheirForm) {
  for (const bool locked : {false, true}) {
    fakes::FakeImageFactory images;
    const std::shared_ptr<Image> image = makeToolbarImage(images, locked);
    ASSERT_EQ(image, images.made.at(0));
    EXPECT_EQ(images.made[0]->size, (Size{22, 22}));
    EXPECT_TRUE(images.made[0]->isTemplate);
    EXPECT_EQ(images.made[0]->drawing.calls, recordImageMark(locked));
  }
}

// ---- The mark as pixels: both forms rasterised with Cairo at 16 pixels a point.

constexpr double kScale = 16;
// The lock dot's disc with the image's arguments.
constexpr Point kDotCentre{15.315 + 1.86, 3.6625 + 1.86};
constexpr double kDotRadius = 1.86;

Raster rasterise(bool locked) {
  return Raster(kToolbarImageSize, kScale, [locked](Canvas& canvas) {
    drawToolbarMark(canvas, kToolbarMarkRect, kToolbarLineWidth, locked);
  });
}

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
    if (after <= before + 1) return;
    ++added;
    // Antialiasing reaches at most one pixel past the disc.
    const Rect area = locked.area(column, row);
    const Point centre{area.origin.x + 0.5 / kScale, area.origin.y + 0.5 / kScale};
    EXPECT_LE(std::hypot(centre.x - kDotCentre.x, centre.y - kDotCentre.y), kDotRadius + 1 / kScale)
        << column << "," << row;
  });
  EXPECT_GT(added, 100);
  EXPECT_EQ(locked.alphaAt(kDotCentre), 255);
  EXPECT_LT(unlocked.alphaAt(kDotCentre), 255);
}

TEST_F(ToolbarRaster, NothingIsDrawnOutsideTheMarksExtent) {
  const Rect extent = makeRect(5.05, 3.42, 19.43 - 5.05, 17.90 - 3.42);
  for (const Raster* raster : {&unlocked, &locked}) {
    double left = 22, right = 0, bottom = 22, top = 0;
    raster->forEachPixel([&](int column, int row) {
      if (raster->alpha(column, row) == 0) return;
      const Rect area = raster->area(column, row);
      left = std::min(left, minX(area));
      right = std::max(right, maxX(area));
      bottom = std::min(bottom, minY(area));
      top = std::max(top, maxY(area));
    });
    // The strokes reach the extent's edges, to within a pixel, and no further.
    EXPECT_NEAR(left, minX(extent), 1 / kScale);
    EXPECT_NEAR(right, maxX(extent), 1 / kScale);
    EXPECT_NEAR(bottom, minY(extent), 1 / kScale);
    EXPECT_NEAR(top, maxY(extent), 1 / kScale);
  }
}

}  // namespace
}  // namespace hushpad

namespace hushpad {
namespace {

// WCAG's figures, and the colour chosen for a mark on panels of every shade.
TEST(Legibility, ContrastFollowsWcagAndTheMarkTakesAReadableColour) {
  const Color white{1, 1, 1, 1};
  const Color grey{0.5, 0.5, 0.5, 1};
  const Color themeDark{0.18, 0.20, 0.21, 1};  // Adwaita's text
  EXPECT_NEAR(contrastRatio(kBlack, white), 21, 1e-9);
  EXPECT_NEAR(contrastRatio(white, white), 1, 1e-9);
  EXPECT_NEAR(contrastRatio(grey, white), 3.98, 0.01);
  struct Case {
    std::optional<Color> panel;
    std::vector<Color> preferred;
    Color chosen;
  };
  const std::vector<Case> cases{
      {white, {themeDark}, themeDark},               // the theme's colour reads on a light panel
      {kBlack, {themeDark}, white},                  // but not on a dark one
      {Color{0.2, 0.2, 0.2, 1}, {kBlack, grey}, white},  // nothing preferred reads: the better extreme
      {grey, {}, kBlack},                            // black reads better than white on mid grey
      {kBlack, {grey, white}, grey},                 // the first that reads, not the best
      {std::nullopt, {grey}, grey},                  // no panel known
      {std::nullopt, {}, kBlack},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    EXPECT_EQ(legibleMarkColor(c.panel, c.preferred), c.chosen);
  }
}

}  // namespace
}  // namespace hushpad
