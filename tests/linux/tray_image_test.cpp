#include "platform/linux/tray_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace hushpad {
namespace {

struct Pixel {
  int red, green, blue, alpha;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

std::ostream& operator<<(std::ostream& out, const Pixel& p) {
  return out << '(' << p.red << ',' << p.green << ',' << p.blue << ',' << p.alpha << ')';
}

Pixel pixelAt(GdkPixbuf* pixbuf, int x, int y) {
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                    x * gdk_pixbuf_get_n_channels(pixbuf);
  return {p[0], p[1], p[2], p[3]};
}

constexpr Pixel kClear{0, 0, 0, 0};
constexpr GdkRGBA kBlue{0, 0, 1, 1};

// A red square over the lower half of a 22 x 22 image (y runs upward).
void lowerHalf(Canvas& canvas) {
  canvas.setFillColor({1, 0, 0, 1});
  canvas.beginPath();
  canvas.moveTo({0, 0});
  canvas.lineTo({22, 0});
  canvas.lineTo({22, 11});
  canvas.lineTo({0, 11});
  canvas.fillPath();
}

std::shared_ptr<RecordedImage> recorded(Size size, bool isTemplate,
                                        const std::function<void(Canvas&)>& draw) {
  RecordingImageFactory factory;
  return std::dynamic_pointer_cast<RecordedImage>(factory.makeImage(size, isTemplate, draw));
}

TEST(RecordedImage, TemplateImagesTakeTheGivenColourAtAnySize) {
  const auto image = recorded({22, 22}, true, lowerHalf);
  ASSERT_TRUE(image);
  for (const int size : {16, 22, 44}) {
    GdkPixbuf* pixbuf = image->render(size, kBlue);
    ASSERT_NE(pixbuf, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), size);
    EXPECT_EQ(pixelAt(pixbuf, size / 2, size - 1), (Pixel{0, 0, 255, 255})) << size;
    EXPECT_EQ(pixelAt(pixbuf, size / 2, 0), kClear) << size;
    g_object_unref(pixbuf);
  }
}

TEST(RecordedImage, OtherImagesKeepTheirColours) {
  const auto image = recorded({22, 22}, false, lowerHalf);
  GdkPixbuf* pixbuf = image->render(22, kBlue);
  EXPECT_EQ(pixelAt(pixbuf, 11, 20), (Pixel{255, 0, 0, 255}));
  g_object_unref(pixbuf);
}

TEST(RecordedImage, IsDrawnOnceAndReplayed) {
  int draws = 0;
  const auto image = recorded({22, 22}, true, [&](Canvas& canvas) {
    ++draws;
    lowerHalf(canvas);
  });
  for (const int size : {16, 24}) g_object_unref(image->render(size, kBlue));
  EXPECT_EQ(draws, 1);
}

TEST(RecordedImage, AWideImageIsCentredInTheSquare) {
  const auto image = recorded({44, 22}, true, [](Canvas& canvas) {
    canvas.beginPath();
    canvas.addOval({{0, 0}, {44, 22}});
    canvas.fillPath();
  });
  GdkPixbuf* pixbuf = image->render(44, kBlue);
  EXPECT_EQ(pixelAt(pixbuf, 22, 2), kClear) << "above the image";
  EXPECT_EQ(pixelAt(pixbuf, 22, 22).alpha, 255) << "its middle";
  EXPECT_EQ(pixelAt(pixbuf, 22, 41), kClear) << "below the image";
  g_object_unref(pixbuf);
}

TEST(RecordedImage, NoImageOrPixelsForSizesThatAreNotPositive) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Size size : {Size{0, 22}, Size{22, -1}, Size{nan, 22}}) {
    EXPECT_EQ(recorded(size, true, lowerHalf), nullptr);
  }
  EXPECT_EQ(recorded({22, 22}, true, lowerHalf)->render(0, kBlue), nullptr);
}

TEST(TemplateColor, IsTheTraysWhenItAnnouncesOneElseTheThemes) {
  const GdkRGBA theme{0.9, 0.9, 0.9, 1};
  const GdkRGBA trayDefault{0, 0, 0, 1};
  const GdkRGBA trayWhite{1, 1, 1, 1};
  auto same = [](const GdkRGBA& a, const GdkRGBA& b) { return gdk_rgba_equal(&a, &b) != FALSE; };
  EXPECT_TRUE(same(templateColorFor(std::nullopt, theme), theme));
  EXPECT_TRUE(same(templateColorFor(trayDefault, theme), theme));
  EXPECT_TRUE(same(templateColorFor(trayWhite, theme), trayWhite));
}

}  // namespace
}  // namespace hushpad
