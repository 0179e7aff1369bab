// Writes Hushpad's application icon, for menus and software centres, into an
// icon theme folder, made if missing: the unlocked mark in white on a rounded
// blue plate, as hicolor/NxN/apps/hushpad.png for each size menus ask for and
// as hicolor/scalable/apps/hushpad.svg.
//
//   render_app_icons <folder>
//
// The plate's blue reads on light and dark menus alike (about 4.2 : 1 against
// a light menu's #f6f5f4, 3 : 1 against a dark one's #2b2b2b) and the white
// mark on it about 4.6 : 1. The tray keeps its own template mark.

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <string>
#include <system_error>

#include "artwork/toolbar_mark.h"
#include "platform/cairo/cairo_canvas.h"
#include "platform/cairo/cairo_image.h"

namespace {

namespace fs = std::filesystem;

constexpr std::array<int, 8> kSizes{16, 22, 24, 32, 48, 64, 128, 256};
// The scalable icon's page, in pixels.
constexpr int kScalableSide = 256;

// The plate's blue (#3b76c4), a touch lighter at the top; its rim, darker.
constexpr hushpad::Color kPlateTop{0.259, 0.498, 0.800, 1};
constexpr hushpad::Color kPlateBottom{0.212, 0.435, 0.737, 1};
constexpr hushpad::Color kRim{0.078, 0.200, 0.380, 0.55};
constexpr hushpad::Color kMark{1, 1, 1, 1};

// The figure's middle within the mark's rect, as fractions from its lower
// left: the plate centres the figure, not the rect.
constexpr double kFigureMiddleX = 0.56;
constexpr double kFigureMiddleY = 0.475;

void roundedSquare(cairo_t* cr, double x, double y, double side, double radius) {
  using std::numbers::pi;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + side - radius, y + radius, radius, -pi / 2, 0);
  cairo_arc(cr, x + side - radius, y + side - radius, radius, 0, pi / 2);
  cairo_arc(cr, x + radius, y + side - radius, radius, pi / 2, pi);
  cairo_arc(cr, x + radius, y + radius, radius, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

// Draws the icon on cr, side pixels square, y downward.
void drawIcon(cairo_t* cr, double side) {
  // A whole-pixel margin keeps the plate's edges sharp at the small sizes.
  const double margin = std::max(1.0, std::round(side / 16));
  const double plate = side - 2 * margin;
  const double rimWidth = std::max(1.0, side / 64);

  cairo_save(cr);
  roundedSquare(cr, margin, margin, plate, 0.22 * plate);
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, margin, 0, margin + plate);
  cairo_pattern_add_color_stop_rgb(fill, 0, kPlateTop.red, kPlateTop.green, kPlateTop.blue);
  cairo_pattern_add_color_stop_rgb(fill, 1, kPlateBottom.red, kPlateBottom.green,
                                   kPlateBottom.blue);
  cairo_set_source(cr, fill);
  cairo_pattern_destroy(fill);
  cairo_fill_preserve(cr);
  // The rim, inside the plate's edge: clipped to the plate, half of it shows.
  cairo_clip_preserve(cr);
  cairo_set_source_rgba(cr, kRim.red, kRim.green, kRim.blue, kRim.alpha);
  cairo_set_line_width(cr, 2 * rimWidth);
  cairo_stroke(cr);
  cairo_restore(cr);

  // The mark as the tray draws it, larger. Its strokes grow more slowly than
  // the mark, or the large icons look blotted, and stay a little over a pixel
  // wide so that the 16-pixel icon still reads.
  const double markSide = 0.84 * plate;
  const double growth = markSide / width(hushpad::kToolbarMarkRect);
  const double lineWidth = std::max(1.15, hushpad::kToolbarLineWidth * std::pow(growth, 0.8));
  const hushpad::Rect markRect = hushpad::makeRect(side / 2 - kFigureMiddleX * markSide,
                                                   side / 2 - kFigureMiddleY * markSide,
                                                   markSide, markSide);
  hushpad::CairoCanvas canvas(cr, side, 1, kMark);
  hushpad::drawToolbarMark(canvas, markRect, lineWidth, /*locked=*/false);
}

bool makeFolder(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    std::cerr << "render_app_icons: cannot make " << folder.string() << ": " << error.message()
              << "\n";
    return false;
  }
  return true;
}

bool renderPng(const fs::path& theme, int side) {
  const std::string name = std::to_string(side) + "x" + std::to_string(side);
  const fs::path folder = theme / name / "apps";
  const fs::path path = folder / "hushpad.png";
  if (!makeFolder(folder)) return false;
  const hushpad::CairoSurface surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side));
  {
    const hushpad::CairoContext cr(cairo_create(surface.get()));
    drawIcon(cr.get(), side);
  }
  cairo_surface_flush(surface.get());
  if (!hushpad::writePng(surface.get(), path.string())) {
    std::cerr << "render_app_icons: cannot write " << path.string() << "\n";
    return false;
  }
  std::cout << path.string() << "\n";
  return true;
}

bool renderSvg(const fs::path& theme) {
  const fs::path folder = theme / "scalable" / "apps";
  const fs::path path = folder / "hushpad.svg";
  if (!makeFolder(folder)) return false;
  const hushpad::CairoSurface surface(
      cairo_svg_surface_create(path.c_str(), kScalableSide, kScalableSide));
  cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
  {
    const hushpad::CairoContext cr(cairo_create(surface.get()));
    drawIcon(cr.get(), kScalableSide);
  }
  // The file is complete once the surface is finished.
  cairo_surface_finish(surface.get());
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    std::cerr << "render_app_icons: cannot write " << path.string() << "\n";
    return false;
  }
  std::cout << path.string() << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: render_app_icons <folder>\n";
    return 2;
  }
  const fs::path theme = fs::path(argv[1]) / "hicolor";
  bool ok = true;
  for (const int side : kSizes) {
    ok = renderPng(theme, side) && ok;
  }
  ok = renderSvg(theme) && ok;
  return ok ? 0 : 1;
}
