#pragma once
// The unlock mark's picture: the locked mark in a light ink on a dark,
// rounded plate with a light rim, so that it reads on any background.

#include <memory>

#include "platform/image.h"

namespace hushpad {

inline constexpr Color kUnlockMarkPlate{0.11, 0.11, 0.12, 1};
inline constexpr Color kUnlockMarkInk{1, 1, 1, 1};
inline constexpr Color kUnlockMarkRim{1, 1, 1, 0.85};

// Draws the plate filling rect (points, y upward) and the locked mark on it.
void drawUnlockMark(Canvas& canvas, Rect rect);

// A 22 x 22-point image of it, in its own colours (no template).
std::shared_ptr<Image> makeUnlockMarkImage(ImageFactory& images);

}  // namespace hushpad
