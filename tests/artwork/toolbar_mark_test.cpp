// The mark's drawing commands, read back from a recording canvas.

#include "artwork/toolbar_mark.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "fakes/fake_app.h"

namespace hushpad {
namespace {

using fakes::CanvasCall;
using fakes::RecordingCanvas;
using Kind = CanvasCall::Kind;

// One path: its calls from beginPath to the stroke or fill that ends it.
using PathCalls = std::vector<CanvasCall>;

std::vector<PathCalls> paths(const RecordingCanvas& canvas) {
  std::vector<PathCalls> out;
  for (const CanvasCall& call : canvas.calls) {
    if (call.kind == Kind::BeginPath) out.emplace_back();
    if (!out.empty()) out.back().push_back(call);
  }
  return out;
}

RecordingCanvas record(Rect rect, double lineWidth, bool locked) {
  RecordingCanvas canvas;
  drawToolbarMark(canvas, rect, lineWidth, locked);
  return canvas;
}

RecordingCanvas recordImageMark(bool locked) {
  return record(kToolbarMarkRect, kToolbarLineWidth, locked);
}

// Steps of each of the twelve stroked shapes, between the caps and the stroke.
constexpr std::array<std::size_t, 12> kStepCounts{5, 3, 4, 3, 5, 4, 4, 1, 2, 2, 2, 2};

TEST(ToolbarMark, SetsBlackThenStrokesTwelveShapesEachWithRoundCapsAndItsOwnWidth) {
  const RecordingCanvas canvas = recordImageMark(false);
  ASSERT_GE(canvas.calls.size(), 2u);
  EXPECT_EQ(canvas.calls[0], (CanvasCall{.kind = Kind::StrokeColor, .color = kBlack}));
  EXPECT_EQ(canvas.calls[1], (CanvasCall{.kind = Kind::FillColor, .color = kBlack}));

  const std::vector<PathCalls> shapes = paths(canvas);
  ASSERT_EQ(shapes.size(), kStepCounts.size());
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    SCOPED_TRACE(i + 1);
    const PathCalls& shape = shapes[i];
    ASSERT_EQ(shape.size(), kStepCounts[i] + 4);
    EXPECT_EQ(shape[1].kind, Kind::LineWidth);
    EXPECT_EQ(shape[2].kind, Kind::RoundCapsAndJoins);
    EXPECT_EQ(shape.back().kind, Kind::Stroke);
    EXPECT_EQ(shape[3].kind, i == 7 ? Kind::Oval : Kind::MoveTo);
    const double expectedWidth = i < 7 ? 1.55 : i == 7 ? 0.5 * 1.55 : 0.52 * 1.55;
    EXPECT_DOUBLE_EQ(shape[1].width, expectedWidth);
  }
  EXPECT_EQ(canvas.count(Kind::Fill), 0u);
}

TEST(ToolbarMark, LockedAddsOnlyTheFilledDotAfterTheUnlockedDrawing) {
  const RecordingCanvas unlocked = recordImageMark(false);
  const RecordingCanvas locked = recordImageMark(true);
  ASSERT_EQ(locked.calls.size(), unlocked.calls.size() + 3);
  EXPECT_TRUE(std::equal(unlocked.calls.begin(), unlocked.calls.end(), locked.calls.begin()));
  const auto dot = locked.calls.end() - 3;
  EXPECT_EQ(dot[0].kind, Kind::BeginPath);
  EXPECT_EQ(dot[1].kind, Kind::Oval);
  EXPECT_EQ(dot[2].kind, Kind::Fill);
}

TEST(ToolbarMark, ImageArgumentsGiveTheDocumentedNumbers) {
  const RecordingCanvas canvas = recordImageMark(true);
  const CanvasCall firstHeadPoint = canvas.callsOf(Kind::MoveTo).front();
  EXPECT_DOUBLE_EQ(firstHeadPoint.points[0].x, 7.26);
  EXPECT_DOUBLE_EQ(firstHeadPoint.points[0].y, 9.81);

  const std::vector<CanvasCall> ovals = canvas.callsOf(Kind::Oval);
  ASSERT_EQ(ovals.size(), 2u);
  const Rect panelOval = ovals[0].rect;
  EXPECT_DOUBLE_EQ(minX(panelOval), 15.76);
  EXPECT_DOUBLE_EQ(maxX(panelOval), 17.97);
  EXPECT_DOUBLE_EQ(minY(panelOval), 10.83);
  EXPECT_DOUBLE_EQ(maxY(panelOval), 11.85);

  const Rect dot = ovals[1].rect;
  EXPECT_DOUBLE_EQ(dot.origin.x, 15.315);
  EXPECT_DOUBLE_EQ(dot.origin.y, 3.6625);
  EXPECT_DOUBLE_EQ(dot.size.width, 3.72);
  EXPECT_DOUBLE_EQ(dot.size.height, 3.72);
  EXPECT_DOUBLE_EQ(maxX(dot), 19.035);
  EXPECT_DOUBLE_EQ(maxY(dot), 7.3825);
}

// The two sharp turns where a curve meets a straight segment: the panel's top
// right corner P(0.95, 0.65) and the base's right end P(0.92, 0.36).
TEST(ToolbarMark, PanelAndBaseTurnWhereTheirCurvesEnd) {
  const std::vector<PathCalls> shapes = paths(recordImageMark(false));
  ASSERT_EQ(shapes.size(), 12u);
  for (const auto& [shape, corner] : {std::pair{5, Point{18.65, 13.55}}, {6, Point{18.14, 8.62}}}) {
    SCOPED_TRACE(shape + 1);
    const PathCalls& calls = shapes[static_cast<std::size_t>(shape)];
    ASSERT_EQ(calls[5].kind, Kind::CurveTo);
    EXPECT_DOUBLE_EQ(calls[5].points[0].x, corner.x);
    EXPECT_DOUBLE_EQ(calls[5].points[0].y, corner.y);
    EXPECT_EQ(calls[6].kind, Kind::LineTo);
  }
}

// Runs check(a, b) for every pair of calls at the same position, after checking
// that both drawings have the same calls in kind.
template <typename Check>
void forEachCallPair(const RecordingCanvas& a, const RecordingCanvas& b, Check check) {
  ASSERT_EQ(a.calls.size(), b.calls.size());
  for (std::size_t i = 0; i < a.calls.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(a.calls[i].kind, b.calls[i].kind);
    check(a.calls[i], b.calls[i]);
  }
}

std::size_t pointCount(Kind kind) {
  if (kind == Kind::CurveTo) return 3;
  return kind == Kind::MoveTo || kind == Kind::LineTo ? 1 : 0;
}

TEST(ToolbarMark, DoublingTheRectWidthStretchesXOnlyAndKeepsWidthsAndDot) {
  const Rect narrow = makeRect(3, 4, 17, 17);
  const Rect wide = makeRect(3, 4, 34, 17);
  const RecordingCanvas a = record(narrow, 1.55, true);
  const RecordingCanvas b = record(wide, 1.55, true);
  const Rect dotA = a.callsOf(Kind::Oval).back().rect;
  const Rect dotB = b.callsOf(Kind::Oval).back().rect;
  forEachCallPair(a, b, [&](const CanvasCall& ca, const CanvasCall& cb) {
    for (std::size_t p = 0; p < pointCount(ca.kind); ++p) {
      EXPECT_NEAR(cb.points[p].x - 3, 2 * (ca.points[p].x - 3), 1e-12);
      EXPECT_EQ(cb.points[p].y, ca.points[p].y);
    }
    EXPECT_EQ(cb.width, ca.width);
  });
  const Rect ovalA = a.callsOf(Kind::Oval).front().rect;
  const Rect ovalB = b.callsOf(Kind::Oval).front().rect;
  EXPECT_NEAR(ovalB.origin.x - 3, 2 * (ovalA.origin.x - 3), 1e-12);
  EXPECT_NEAR(ovalB.size.width, 2 * ovalA.size.width, 1e-12);
  EXPECT_EQ(ovalB.origin.y, ovalA.origin.y);
  EXPECT_EQ(ovalB.size.height, ovalA.size.height);
  EXPECT_EQ(dotB.size, dotA.size);
  EXPECT_DOUBLE_EQ(maxX(wide) - dotB.origin.x, maxX(narrow) - dotA.origin.x);
  EXPECT_EQ(dotB.origin.y, dotA.origin.y);
}

TEST(ToolbarMark, HalvingTheLineWidthHalvesStrokesAndDotButMovesNoPathPoint) {
  const Rect rect = makeRect(2.5, 2.5, 17, 17);
  const RecordingCanvas full = record(rect, 1.55, true);
  const RecordingCanvas half = record(rect, 0.775, true);
  forEachCallPair(full, half, [](const CanvasCall& f, const CanvasCall& h) {
    EXPECT_EQ(h.points, f.points);
    EXPECT_DOUBLE_EQ(h.width, f.width / 2);
  });
  const Rect dotFull = full.callsOf(Kind::Oval).back().rect;
  const Rect dotHalf = half.callsOf(Kind::Oval).back().rect;
  EXPECT_DOUBLE_EQ(dotHalf.size.width, dotFull.size.width / 2);
  EXPECT_DOUBLE_EQ(maxX(rect) - dotHalf.origin.x, (maxX(rect) - dotFull.origin.x) / 2);
  EXPECT_DOUBLE_EQ(dotHalf.origin.y - minY(rect), (dotFull.origin.y - minY(rect)) / 2);
  EXPECT_EQ(full.callsOf(Kind::Oval).front().rect, half.callsOf(Kind::Oval).front().rect);
}

TEST(ToolbarMark, RectWithNegativeSizeDrawsAsItsStandardForm) {
  const RecordingCanvas flipped = record(makeRect(19.5, 19.5, -17, -17), 1.55, true);
  EXPECT_EQ(flipped.calls, recordImageMark(true).calls);
}

TEST(ToolbarMark, ImagesAreTwentyTwoPointTemplatesOfTheirForm) {
  for (const bool locked : {false, true}) {
    SCOPED_TRACE(locked);
    fakes::FakeImageFactory images;
    const std::shared_ptr<Image> image = makeToolbarImage(images, locked);
    ASSERT_EQ(images.made.size(), 1u);
    EXPECT_EQ(image, images.made[0]);
    EXPECT_EQ(images.made[0]->size, (Size{22, 22}));
    EXPECT_TRUE(images.made[0]->isTemplate);
    EXPECT_EQ(images.made[0]->drawing.calls, recordImageMark(locked).calls);
  }
}

}  // namespace
}  // namespace hushpad
