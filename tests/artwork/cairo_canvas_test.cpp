// Drawing through CairoCanvas and rasterising with renderImage.

#include "platform/cairo/cairo_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "platform/cairo/cairo_image.h"
#include "raster.h"

namespace hushpad {
namespace {

using testing::Raster;

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

TEST(CairoCanvas, YRunsUpwardFromTheBottomOfTheImage) {
  const Raster raster(kTen, 4, [](Canvas& c) { fillOval(c, makeRect(1, 1, 2, 2)); });
  ASSERT_TRUE(raster.valid());
  EXPECT_EQ(raster.alphaAt({2, 2}), 255);
  EXPECT_EQ(raster.alphaAt({2, 8}), 0);
  EXPECT_EQ(raster.alpha(8, 31), 255);  // 4 pixels a point: (2, 2) is column 8, row 40 - 9
  EXPECT_EQ(raster.alpha(8, 8), 0);
}

TEST(CairoCanvas, ScaleSetsPixelsPerPointAndRoundsSidesUp) {
  EXPECT_EQ(Raster(Size{10, 5}, 3, [](Canvas&) {}).width(), 30);
  EXPECT_EQ(Raster(Size{10, 5}, 3, [](Canvas&) {}).height(), 15);
  EXPECT_EQ(Raster(Size{10.2, 5}, 1, [](Canvas&) {}).width(), 11);
  // Line widths are in points too: 1 point at 4x covers 4 rows.
  const Raster raster(kTen, 4, [](Canvas& c) { strokeLine(c, {2, 5}, {8, 5}, 1); });
  int coveredRows = 0;
  for (int row = 0; row < raster.height(); ++row) coveredRows += raster.alpha(20, row) == 255;
  EXPECT_EQ(coveredRows, 4);
}

TEST(CairoCanvas, StrokeAndFillKeepTheirOwnColours) {
  const Raster raster(kTen, 1, [](Canvas& c) {
    c.setStrokeColor(kRed);
    c.setFillColor(kBlue);
    fillOval(c, makeRect(0, 0, 4, 4));
    strokeLine(c, {6, 1}, {6, 9}, 2);
  });
  EXPECT_EQ(raster.pixel(2, 8), argb(kBlue));
  EXPECT_EQ(raster.pixel(6, 4), argb(kRed));
}

TEST(CairoCanvas, TintPaintsEveryColourAsTheTintKeepingCoverage) {
  const auto draw = [](Canvas& c) {
    c.setStrokeColor(kBlue);
    strokeLine(c, {1, 5}, {9, 5}, 1.3);
  };
  const Raster plain(kTen, 4, draw);
  const Raster tinted(kTen, 4, draw, kRed);
  int checked = 0;
  plain.forEachPixel([&](int column, int row) {
    const int alpha = plain.alpha(column, row);
    ASSERT_EQ(tinted.alpha(column, row), alpha);
    if (alpha == 255) {
      EXPECT_EQ(tinted.pixel(column, row), argb(kRed));
      ++checked;
    }
  });
  EXPECT_GT(checked, 0);
  const Raster halfTint(kTen, 4, draw, Color{1, 0, 0, 0.5});
  EXPECT_NEAR(halfTint.alphaAt({5, 5}), 128, 1);
}

TEST(CairoCanvas, CapsAreRound) {
  // A 2-point line ending at x 6: the cap reaches x 7 on the axis but not the
  // corner that a square cap would fill.
  const Raster raster(kTen, 8, [](Canvas& c) { strokeLine(c, {3, 5}, {6, 5}, 2); });
  EXPECT_EQ(raster.alphaAt({6.8, 5}), 255);
  EXPECT_EQ(raster.alphaAt({6.85, 5.85}), 0);
  EXPECT_EQ(raster.alphaAt({5.5, 5.85}), 255);
}

TEST(CairoCanvas, StrokingKeepsThePathForAFill) {
  const Raster raster(kTen, 2, [](Canvas& c) {
    c.beginPath();
    c.addOval(makeRect(2, 2, 6, 6));
    c.strokePath();
    c.fillPath();
  });
  EXPECT_EQ(raster.alphaAt({5, 5}), 255);
}

TEST(CairoCanvas, FlatOvalDoesNotStopLaterDrawing) {
  const Raster raster(kTen, 2, [](Canvas& c) {
    c.beginPath();
    c.setLineWidth(1);
    c.addOval(makeRect(1, 1, 4, 0));
    c.strokePath();
    fillOval(c, makeRect(6, 6, 3, 3));
  });
  EXPECT_EQ(raster.alphaAt({7.5, 7.5}), 255);
}

TEST(CairoCanvas, LeavesTheContextAsItFoundIt) {
  const CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10));
  const CairoContext cr(cairo_create(surface.get()));
  {
    CairoCanvas canvas(cr.get(), 10, 3, kRed);
    canvas.setLineWidth(5);
    canvas.setRoundCapsAndJoins();
    canvas.moveTo({1, 1});
    canvas.lineTo({2, 2});
  }
  cairo_matrix_t matrix;
  cairo_get_matrix(cr.get(), &matrix);
  EXPECT_EQ(matrix.xx, 1);
  EXPECT_EQ(matrix.yy, 1);
  EXPECT_EQ(matrix.y0, 0);
  EXPECT_EQ(cairo_get_line_width(cr.get()), 2);
  EXPECT_EQ(cairo_get_line_cap(cr.get()), CAIRO_LINE_CAP_BUTT);
  EXPECT_FALSE(cairo_has_current_point(cr.get()));
  EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
}

struct BadRender {
  const char* name;
  Size size;
  double scale;
};

class RenderImageRefuses : public ::testing::TestWithParam<BadRender> {};

TEST_P(RenderImageRefuses, GivesNoSurfaceAndDrawsNothing) {
  bool drawn = false;
  const CairoSurface surface =
      renderImage(GetParam().size, GetParam().scale, [&](Canvas&) { drawn = true; });
  EXPECT_EQ(surface, nullptr);
  EXPECT_FALSE(drawn);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(BadSizesAndScales, RenderImageRefuses,
                         ::testing::Values(BadRender{"zeroScale", kTen, 0},
                                           BadRender{"negativeScale", kTen, -2},
                                           BadRender{"nanScale", kTen, kNaN},
                                           BadRender{"infiniteScale", kTen, kInfinity},
                                           BadRender{"zeroWidth", Size{0, 10}, 1},
                                           BadRender{"negativeHeight", Size{10, -1}, 1},
                                           BadRender{"nanHeight", Size{10, kNaN}, 1},
                                           BadRender{"tooLarge", Size{1e6, 10}, 1}),
                         [](const ::testing::TestParamInfo<BadRender>& info) {
                           return std::string(info.param.name);
                         });

class PngFile : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("hushpad-png-" +
       std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(PngFile, WritesAPngOrSaysItCouldNot) {
  std::filesystem::create_directories(folder);
  const CairoSurface surface =
      renderImage(kTen, 1, [](Canvas& c) { fillOval(c, makeRect(1, 1, 8, 8)); });
  const std::filesystem::path path = folder / "mark.png";
  ASSERT_TRUE(writePng(surface.get(), path.string()));
  std::ifstream file(path, std::ios::binary);
  std::string signature(8, '\0');
  file.read(signature.data(), 8);
  EXPECT_EQ(signature, "\x89PNG\r\n\x1a\n");

  EXPECT_FALSE(writePng(surface.get(), (folder / "missing" / "mark.png").string()));
  EXPECT_FALSE(writePng(nullptr, path.string()));
}

TEST(CairoImageFactory, DrawsTemplatesInItsTintAndOtherImagesAsTheyAre) {
  CairoImageFactory factory(2, kRed);
  const auto draw = [](Canvas& c) {
    c.setFillColor(kBlue);
    fillOval(c, makeRect(0, 0, 10, 10));
  };
  const std::shared_ptr<CairoImage> templ = factory.makeCairoImage(kTen, true, draw);
  const std::shared_ptr<CairoImage> plain = factory.makeCairoImage(kTen, false, draw);
  ASSERT_TRUE(templ && plain);
  EXPECT_TRUE(templ->isTemplate());
  EXPECT_FALSE(plain->isTemplate());
  EXPECT_EQ(templ->size(), kTen);
  EXPECT_EQ(templ->scale(), 2);
  EXPECT_EQ(cairo_image_surface_get_width(templ->surface()), 20);
  EXPECT_EQ(Raster(*templ).pixel(10, 10), argb(kRed));
  EXPECT_EQ(Raster(*plain).pixel(10, 10), argb(kBlue));
}

TEST(CairoImageFactory, DefaultTintIsBlackAndABadScaleMakesNoImage) {
  CairoImageFactory black(1);
  const auto image = black.makeCairoImage(kTen, true, [](Canvas& c) {
    c.setFillColor(kBlue);
    fillOval(c, makeRect(0, 0, 10, 10));
  });
  ASSERT_TRUE(image);
  EXPECT_EQ(Raster(*image).pixel(5, 5), argb(kBlack));
  CairoImageFactory broken(0);
  EXPECT_EQ(broken.makeImage(kTen, true, [](Canvas&) {}), nullptr);
}

}  // namespace
}  // namespace hushpad
