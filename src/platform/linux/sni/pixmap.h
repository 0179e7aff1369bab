#pragma once
// Icon pictures as a StatusNotifierItem carries them: each one its width, its
// height and its pixels as ARGB32 in network byte order (alpha first, then
// red, green and blue, not premultiplied).

#include <array>
#include <cstdint>
#include <vector>

namespace hushpad::linux {

// The sizes offered to hosts, which pick the nearest to what they draw.
inline constexpr std::array<int, 5> kStatusNotifierIconSizes{16, 22, 24, 32, 48};

struct StatusNotifierPixmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> argb;  // width * height * 4 bytes
  friend bool operator==(const StatusNotifierPixmap&, const StatusNotifierPixmap&) = default;
};

// From RGB or RGBA bytes (not premultiplied, as a GdkPixbuf keeps them), rows
// rowstride bytes apart; a picture without alpha is opaque. Nothing for an
// empty or inconsistent picture.
StatusNotifierPixmap pixmapFromRgba(const std::uint8_t* pixels, int width, int height,
                                    int rowstride, bool hasAlpha);

}  // namespace hushpad::linux
