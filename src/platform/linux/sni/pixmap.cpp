#include "platform/linux/sni/pixmap.h"

#include <cstddef>

namespace hushpad::linux {

StatusNotifierPixmap pixmapFromRgba(const std::uint8_t* pixels, int width, int height,
                                    int rowstride, bool hasAlpha) {
  const int channels = hasAlpha ? 4 : 3;
  if (pixels == nullptr || width <= 0 || height <= 0 || rowstride < width * channels) return {};
  StatusNotifierPixmap pixmap{width, height, {}};
  pixmap.argb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * rowstride;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * channels;
      pixmap.argb.push_back(hasAlpha ? pixel[3] : 0xFF);
      pixmap.argb.push_back(pixel[0]);
      pixmap.argb.push_back(pixel[1]);
      pixmap.argb.push_back(pixel[2]);
    }
  }
  return pixmap;
}

}  // namespace hushpad::linux
