// Drawing: the Cairo canvas read back as pixels; the toolbar mark, read back
// from a recording canvas and as pixels; the colour the mark takes.

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "artwork/legibility.h"
#include "artwork/toolbar_mark.h"
#include "fakes/null_platform.h"
#include "platform/cairo/cairo_canvas.h"
#include "platform/cairo/cairo_image.h"

namespace hushpad {
namespace {

// What Cairo drew: premultiplied ARGB per pixel, row 0 at the top.
struct Raster {
  explicit Raster(CairoSurface pixels) : surface(std::move(pixels)) {}
  explicit Raster(const CairoImage& image) : surface(cairo_surface_reference(image.surface())) {}
  int width() const { return cairo_image_surface_get_width(surface.get()); }
  int height() const { return cairo_image_surface_get_height(surface.get()); }
  std::uint32_t pixel(int column, int row) const {
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    std::uint32_t value = 0;
    std::memcpy(&value, data + row * cairo_image_surface_get_stride(surface.get()) + 4 * column, 4);
    return value;
  }
  int alpha(int column, int row) const { return static_cast<int>(pixel(column, row) >> 24); }
  void forEachPixel(const std::function<void(int column, int row)>& visit) const {
    for (int row = 0; row < height(); ++row) {
      for (int column = 0; column < width(); ++column) visit(column, row);
    }
  }
  CairoSurface surface;
};

// ---- CairoCanvas and renderImage

constexpr Size kTen{10, 10};
constexpr Color kRed{1, 0, 0, 1};
constexpr Color kBlue{0, 0, 1, 1};

std::uint32_t argb(Color c) {
  const auto channel = [&](double v) { return static_cast<std::uint32_t>(std::lround(v * 255)); };
  return channel(c.alpha) << 24 | channel(c.red) << 16 | channel(c.green) << 8 | channel(c.blue);
}

// Sides are whole pixels, rounded up; sizes and scales that are not positive
// and finite give no image and draw nothing.
TEST(RenderImage, RefusesSizesAndScalesThatAreNotPositiveAndFiniteDrawingNothing) {
  EXPECT_EQ(Raster(renderImage(Size{10.2, 5}, 4, [](Canvas&) {})).width(), 41);
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

// Points run up from the bottom left, scale pixels a point. Stroke and fill
// keep their own colours; a template is painted all in the tint, black unless
// given, with the drawing's coverage.
TEST(CairoImageFactory, DrawsTemplatesInItsTintAndOtherImagesInTheirColours) {
  const auto draw = [](Canvas& c) {
    c.setStrokeColor(kRed);
    c.setFillColor(kBlue);
    c.beginPath();
    c.addOval(makeRect(0, 0, 4, 4));
    c.fillPath();
    c.beginPath();
    c.setLineWidth(1.3);
    c.setRoundCapsAndJoins();
    c.moveTo({6, 1});
    c.lineTo({6, 9});
    c.strokePath();
  };
  const auto image = [&](Color tint, bool isTemplate) {
    return Raster(*CairoImageFactory(4, tint).makeCairoImage(kTen, isTemplate, draw));
  };
  const Raster colours = image(kRed, false), tinted = image({0, 1, 0, 1}, true);
  EXPECT_EQ(colours.pixel(8, 32), argb(kBlue));  // the point (2, 2): column 8, row 40 - 8
  EXPECT_EQ(colours.pixel(8, 8), 0u);
  EXPECT_EQ(colours.pixel(24, 20), argb(kRed));
  EXPECT_EQ(tinted.pixel(8, 32), argb({0, 1, 0, 1}));
  EXPECT_EQ(Raster(*CairoImageFactory(4).makeCairoImage(kTen, true, draw)).pixel(24, 20),
            argb(kBlack));
  EXPECT_NEAR(image({1, 0, 0, 0.5}, true).alpha(8, 32), 128, 1);  // the tint's alpha times 1
  colours.forEachPixel([&](int column, int row) {
    EXPECT_EQ(tinted.alpha(column, row), colours.alpha(column, row)) << column << "," << row;
  });
}

// ---- The toolbar mark's drawing commands

std::vector<fakes::CanvasCall> record(Rect rect, double lineWidth, bool locked = true) {
  fakes::RecordingCanvas canvas;
  drawToolbarMark(canvas, rect, lineWidth, locked);
  return canvas.calls;
}

// A mark 34 points wide instead of 17, both from x 3: every x of the figure
// twice as far from 3, the rest the same, and the dot as far from the right
// edge. At half the line width: strokes half as wide, the dot half its size and
// half as far from the right and bottom edges. A rect of negative size draws
// as its standard form.
TEST(ToolbarMark, StretchesWithItsRectAndStrokesWithItsLineWidth) {
  const auto base = record(makeRect(3, 4, 17, 17), 1.55);
  const auto wide = record(makeRect(3, 4, 34, 17), 1.55);
  const auto thin = record(makeRect(3, 4, 17, 17), 0.775);
  ASSERT_TRUE(base.size() == wide.size() && base.size() == thin.size());
  const std::size_t dot = base.size() - 2;  // the dot's oval, then its fill
  for (std::size_t i = 0; i < base.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& [op, args] = base[i];
    ASSERT_TRUE(wide[i].op == op && thin[i].op == op);
    for (std::size_t k = 0; k < args.size(); ++k) {
      const bool isX = k % 2 == 0 && (op.ends_with("To") || op == "addOval");
      const double edge = isX ? 20 : 4;  // the rect's right and bottom edges
      const double stretched = i == dot ? args[k] + (isX ? 17 : 0)
                               : isX    ? 2 * args[k] - 3
                                        : args[k];
      EXPECT_NEAR(wide[i].args[k], stretched, 1e-12);
      const double halved = op == "setLineWidth" ? args[k] / 2
                            : i == dot           ? (args[k] + edge) / 2
                                                 : args[k];
      EXPECT_NEAR(thin[i].args[k], halved, 1e-12);
    }
  }
  EXPECT_EQ(record(makeRect(20, 21, -17, -17), 1.55), base);
  // The images: 22-point templates of each form.
  fakes::NullPlatform platform;
  for (const bool locked : {false, true}) {
    EXPECT_NE(makeToolbarImage(platform, locked), nullptr);
    const fakes::FakeImage& image = *platform.images.back();
    EXPECT_TRUE(image.size == (Size{22, 22}) && image.isTemplate);
    EXPECT_EQ(image.drawing.calls, record(kToolbarMarkRect, kToolbarLineWidth, locked));
  }
}

// ---- The mark as pixels: both forms rasterised with Cairo at 16 pixels a point.

// The strokes reach the extent's edges, to within a pixel, and no further.
TEST(ToolbarRaster, NothingIsDrawnOutsideTheMarksExtent) {
  constexpr double kScale = 16;
  for (const bool locked : {false, true}) {
    const Raster raster(renderImage(kToolbarImageSize, kScale, [locked](Canvas& canvas) {
      drawToolbarMark(canvas, kToolbarMarkRect, kToolbarLineWidth, locked);
    }));
    double left = 22, right = 0, bottom = 22, top = 0;  // of the drawn pixels, in points y upward
    raster.forEachPixel([&](int column, int row) {
      if (raster.alpha(column, row) == 0) return;
      left = std::min(left, column / kScale), right = std::max(right, (column + 1) / kScale);
      bottom = std::min(bottom, 22 - (row + 1) / kScale), top = std::max(top, 22 - row / kScale);
    });
    EXPECT_NEAR(left, 5.05, 1 / kScale);
    EXPECT_NEAR(right, 19.43, 1 / kScale);
    EXPECT_NEAR(bottom, 3.42, 1 / kScale);
    EXPECT_NEAR(top, 17.90, 1 / kScale);
  }
}

// WCAG's figures, and the colour chosen for a mark on panels of every shade.
TEST(Legibility, ContrastFollowsWcagAndTheMarkTakesAReadableColour) {
  const Color white{1, 1, 1, 1};
  const Color grey{0.5, 0.5, 0.5, 1};
  const Color themeDark{0.18, 0.20, 0.21, 1};  // Adwaita's text
  EXPECT_NEAR(contrastRatio(kBlack, white) + contrastRatio(white, white), 21 + 1, 1e-9);
  EXPECT_NEAR(contrastRatio(grey, white), 3.98, 0.01);
  struct Case {
    std::optional<Color> panel;
    std::vector<Color> preferred;
    Color chosen;
  };
  for (const Case& c : std::vector<Case>{
           {white, {themeDark}, themeDark},  // the theme's colour reads on a light panel
           {kBlack, {themeDark}, white},     // but not on a dark one
           {Color{0.2, 0.2, 0.2, 1},
            {kBlack, grey},
            white},                        // nothing preferred reads: the better extreme
           {grey, {}, kBlack},             // black reads better than white on mid grey
           {kBlack, {grey, white}, grey},  // the first that reads, not the best
           {std::nullopt, {grey}, grey},   // no panel known
           {std::nullopt, {}, kBlack}}) {
    EXPECT_EQ(legibleMarkColor(c.panel, c.preferred), c.chosen) << c.chosen.red;
  }
  // A halo around a mark on an unknown panel: the extreme farther from the ink.
  EXPECT_EQ(haloColorFor(themeDark), white);
  EXPECT_EQ(haloColorFor(Color{0.93, 0.93, 0.93, 1}), kBlack);
  EXPECT_EQ(haloColorFor(grey), kBlack);
}

}  // namespace
}  // namespace hushpad
