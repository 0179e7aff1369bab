#include "artwork/toolbar_mark.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace hushpad {
namespace {

// A point as fractions of the mark rect's width and height, from its
// lower-left corner.
struct Fraction {
  double a = 0;
  double b = 0;
};

enum class Op : std::uint8_t { MoveTo, LineTo, CurveTo, Oval };

// One path step. For Oval, `end` is the lower-left corner of the ellipse's
// rectangle and `c1` holds its width and height as fractions of the rect's.
struct Step {
  Op op = Op::MoveTo;
  Fraction end;
  Fraction c1;
  Fraction c2;
};

constexpr std::size_t kMaxSteps = 5;

// One stroked path: its width as a multiple of lineWidth and its steps.
struct Shape {
  double widthFactor = 1;
  std::size_t stepCount = 0;
  std::array<Step, kMaxSteps> steps{};
};

constexpr double kMain = 1.0;
constexpr double kThin = 0.5;
constexpr double kDash = 0.52;

constexpr Step move(double a, double b) { return {Op::MoveTo, {a, b}, {}, {}}; }
constexpr Step line(double a, double b) { return {Op::LineTo, {a, b}, {}, {}}; }
constexpr Step curve(Fraction end, Fraction c1, Fraction c2) { return {Op::CurveTo, end, c1, c2}; }
constexpr Step oval(Fraction corner, Fraction size) { return {Op::Oval, corner, size, {}}; }

// The figure, drawn in this order, each shape stroked on its own.
// clang-format off
constexpr std::array<Shape, 12> kShapes{{
    // Head outline.
    {kMain, 5,
     {move(0.28, 0.43), curve({0.34, 0.76}, {0.17, 0.51}, {0.17, 0.73}),
      curve({0.55, 0.68}, {0.44, 0.79}, {0.52, 0.77}),
      curve({0.59, 0.49}, {0.62, 0.63}, {0.62, 0.56}),
      curve({0.52, 0.43}, {0.55, 0.48}, {0.54, 0.45})}},
    // Curl on top of the head.
    {kMain, 3,
     {move(0.47, 0.75), curve({0.49, 0.85}, {0.56, 0.80}, {0.54, 0.89}),
      curve({0.45, 0.80}, {0.45, 0.85}, {0.44, 0.82})}},
    // Body outline.
    {kMain, 4,
     {move(0.28, 0.43), curve({0.20, 0.24}, {0.23, 0.36}, {0.22, 0.29}),
      curve({0.43, 0.13}, {0.17, 0.12}, {0.32, 0.06}),
      curve({0.54, 0.23}, {0.51, 0.15}, {0.56, 0.16})}},
    // Lap line.
    {kMain, 3,
     {move(0.24, 0.29), curve({0.48, 0.22}, {0.28, 0.20}, {0.40, 0.19}),
      curve({0.70, 0.31}, {0.57, 0.25}, {0.63, 0.27})}},
    // Both arms, one path.
    {kMain, 5,
     {move(0.52, 0.41), curve({0.67, 0.34}, {0.58, 0.38}, {0.61, 0.35}),
      curve({0.71, 0.39}, {0.70, 0.33}, {0.74, 0.36}), move(0.45, 0.41),
      curve({0.62, 0.34}, {0.50, 0.37}, {0.55, 0.34})}},
    // Panel with its bowed top edge.
    {kMain, 4,
     {move(0.68, 0.49), line(0.72, 0.70), curve({0.95, 0.65}, {0.73, 0.74}, {0.93, 0.68}),
      line(0.91, 0.37)}},
    // Base.
    {kMain, 4,
     {move(0.63, 0.35), line(0.80, 0.25), curve({0.92, 0.36}, {0.84, 0.25}, {0.89, 0.31}),
      line(0.78, 0.41)}},
    // Oval on the panel.
    {kThin, 1, {oval({0.78, 0.49}, {0.13, 0.06})}},
    // Dashes near the hands, on the base and at the back.
    {kDash, 2, {move(0.66, 0.45), line(0.63, 0.50)}},
    {kDash, 2, {move(0.72, 0.44), line(0.74, 0.50)}},
    {kDash, 2, {move(0.77, 0.30), line(0.86, 0.27)}},
    {kDash, 2, {move(0.21, 0.40), line(0.18, 0.43)}},
}};
// clang-format on

// The lock dot's square, in multiples of lineWidth: left edge inside maxX,
// lower edge above minY, side.
constexpr double kDotInsetFromMaxX = 2.7;
constexpr double kDotRaiseFromMinY = 0.75;
constexpr double kDotSide = 2.4;

// Maps fractions of the mark rect to points.
class MarkFrame {
 public:
  explicit MarkFrame(Rect rect)
      : minX_(minX(rect)), minY_(minY(rect)), width_(width(rect)), height_(height(rect)) {}

  Point at(Fraction f) const { return {minX_ + width_ * f.a, minY_ + height_ * f.b}; }
  Size scaled(Fraction f) const { return {width_ * f.a, height_ * f.b}; }

 private:
  double minX_;
  double minY_;
  double width_;
  double height_;
};

void addStep(Canvas& canvas, const MarkFrame& frame, const Step& step) {
  switch (step.op) {
    case Op::MoveTo:
      canvas.moveTo(frame.at(step.end));
      break;
    case Op::LineTo:
      canvas.lineTo(frame.at(step.end));
      break;
    case Op::CurveTo:
      canvas.curveTo(frame.at(step.end), frame.at(step.c1), frame.at(step.c2));
      break;
    case Op::Oval:
      canvas.addOval(Rect{frame.at(step.end), frame.scaled(step.c1)});
      break;
  }
}

void strokeShape(Canvas& canvas, const MarkFrame& frame, const Shape& shape, double lineWidth) {
  canvas.beginPath();
  canvas.setLineWidth(shape.widthFactor * lineWidth);
  canvas.setRoundCapsAndJoins();
  for (const Step& step : std::span(shape.steps).first(shape.stepCount)) {
    addStep(canvas, frame, step);
  }
  canvas.strokePath();
}

void fillLockDot(Canvas& canvas, Rect rect, double lineWidth) {
  const double side = kDotSide * lineWidth;
  canvas.beginPath();
  canvas.addOval(makeRect(maxX(rect) - kDotInsetFromMaxX * lineWidth,
                          minY(rect) + kDotRaiseFromMinY * lineWidth, side, side));
  canvas.fillPath();
}

}  // namespace

void drawToolbarMark(Canvas& canvas, Rect rect, double lineWidth, bool locked, Color ink) {
  canvas.setStrokeColor(ink);
  canvas.setFillColor(ink);
  const MarkFrame frame(rect);
  for (const Shape& shape : kShapes) {
    strokeShape(canvas, frame, shape, lineWidth);
  }
  if (locked) {
    fillLockDot(canvas, rect, lineWidth);
  }
}

std::shared_ptr<Image> makeToolbarImage(ImageFactory& images, bool locked) {
  return images.makeImage(kToolbarImageSize, /*isTemplate=*/true, [locked](Canvas& canvas) {
    drawToolbarMark(canvas, kToolbarMarkRect, kToolbarLineWidth, locked);
  });
}

}  // namespace hushpad
