#include "artwork/legibility.h"

#include <algorithm>
#include <cmath>

namespace hushpad {
namespace {

constexpr Color kWhite{1, 1, 1, 1};

double linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(Color c) {
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

}  // namespace

double contrastRatio(Color a, Color b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Color legibleMarkColor(std::optional<Color> background, std::span<const Color> preferred) {
  if (!background) return preferred.empty() ? kBlack : preferred.front();
  for (const Color& color : preferred) {
    if (contrastRatio(color, *background) >= kLegibleContrast) return color;
  }
  return haloColorFor(*background);
}

Color haloColorFor(Color ink) {
  return contrastRatio(kBlack, ink) >= contrastRatio(kWhite, ink) ? kBlack : kWhite;
}

}  // namespace hushpad
