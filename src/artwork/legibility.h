#pragma once
// Which colour a template mark takes so that it can be read on the panel
// behind it.

#include <optional>
#include <span>

#include "platform/image.h"

namespace hushpad {

// The contrast ratio of two opaque colours in sRGB, from 1 (the same) to 21
// (black on white), as WCAG 2 defines it.
double contrastRatio(Color a, Color b);

// The least contrast a mark needs against its panel (WCAG's AA for text).
inline constexpr double kLegibleContrast = 4.5;

// The first of preferred that reaches kLegibleContrast against background;
// else black or white, whichever contrasts more. With no background known,
// the first preferred colour (black when there is none).
Color legibleMarkColor(std::optional<Color> background, std::span<const Color> preferred);

// For a mark whose panel no one can tell: black or white, whichever contrasts
// more with ink, drawn as a thin halo around it, so that the mark's outline
// reads on a panel of the ink's own colour too.
Color haloColorFor(Color ink);

}  // namespace hushpad
