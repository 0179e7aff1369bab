#pragma once
// The status-bar mark: a small figure reaching towards a panel, with a solid
// dot near the lower-right corner in the locked form.

#include <memory>

#include "platform/image.h"

namespace hushpad {

// Draws the mark in rect (points, y upward) with strokes of lineWidth, in ink.
void drawToolbarMark(Canvas& canvas, Rect rect, double lineWidth, bool locked,
                     Color ink = kBlack);

inline constexpr Size kToolbarImageSize{22, 22};
inline constexpr Rect kToolbarMarkRect{{2.5, 2.5}, {17, 17}};
inline constexpr double kToolbarLineWidth = 1.55;

// A 22 x 22-point template image of the mark.
std::shared_ptr<Image> makeToolbarImage(ImageFactory& images, bool locked);

}  // namespace hushpad
