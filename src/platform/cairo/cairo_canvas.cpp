#include "platform/cairo/cairo_canvas.h"

namespace hushpad {
namespace {

// Control-point distance, as a fraction of the radius, of the four cubic
// Bezier curves that approximate a quarter ellipse each.
constexpr double kQuarterEllipseKappa = 0.5522847498307936;

}  // namespace

CairoCanvas::CairoCanvas(cairo_t* cr, double imageHeight, double scale, std::optional<Color> tint)
    : cr_(cr), tint_(tint) {
  cairo_save(cr_);
  cairo_matrix_t flip;
  cairo_matrix_init(&flip, scale, 0, 0, -scale, 0, scale * imageHeight);
  cairo_transform(cr_, &flip);
}

CairoCanvas::~CairoCanvas() {
  cairo_new_path(cr_);
  cairo_restore(cr_);
}

void CairoCanvas::beginPath() { cairo_new_path(cr_); }

void CairoCanvas::setLineWidth(double width) { cairo_set_line_width(cr_, width); }

void CairoCanvas::setRoundCapsAndJoins() {
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
}

void CairoCanvas::moveTo(Point p) { cairo_move_to(cr_, p.x, p.y); }

void CairoCanvas::lineTo(Point p) { cairo_line_to(cr_, p.x, p.y); }

void CairoCanvas::curveTo(Point end, Point c1, Point c2) {
  cairo_curve_to(cr_, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}

// Four quarter curves, counter-clockwise from the rightmost point. Curves
// rather than a scaled arc, so that a flat rectangle gives a flat ellipse
// instead of a singular matrix.
void CairoCanvas::addOval(Rect rect) {
  const Rect r = standardized(rect);
  const double rx = r.size.width / 2;
  const double ry = r.size.height / 2;
  const double cx = r.origin.x + rx;
  const double cy = r.origin.y + ry;
  const double kx = rx * kQuarterEllipseKappa;
  const double ky = ry * kQuarterEllipseKappa;
  cairo_new_sub_path(cr_);
  cairo_move_to(cr_, cx + rx, cy);
  cairo_curve_to(cr_, cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
  cairo_curve_to(cr_, cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
  cairo_curve_to(cr_, cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
  cairo_curve_to(cr_, cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
  cairo_close_path(cr_);
}

void CairoCanvas::strokePath() {
  setSource(strokeColor_);
  cairo_stroke_preserve(cr_);
}

void CairoCanvas::fillPath() {
  setSource(fillColor_);
  cairo_fill_preserve(cr_);
}

void CairoCanvas::setSource(Color color) {
  const Color c =
      tint_ ? Color{tint_->red, tint_->green, tint_->blue, tint_->alpha * color.alpha} : color;
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
}

}  // namespace hushpad
