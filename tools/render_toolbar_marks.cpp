// Writes the status-bar mark, unlocked and locked, as PNG files at 1x, 2x and
// 4x into a folder, made if missing: toolbar-unlocked.png,
// toolbar-unlocked@2x.png, ...
//
//   render_toolbar_marks <folder>

#include <array>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "artwork/toolbar_mark.h"
#include "platform/cairo/cairo_image.h"

namespace {

struct Form {
  const char* name;
  bool locked;
};
constexpr std::array<Form, 2> kForms{{{"toolbar-unlocked", false}, {"toolbar-locked", true}}};
constexpr std::array<int, 3> kScales{1, 2, 4};

// Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
// the same name built with operator+.
std::string fileName(const Form& form, int scale) {
  std::string name = form.name;
  if (scale != 1) name.append("@").append(std::to_string(scale)).append("x");
  return name.append(".png");
}

bool renderMark(const std::filesystem::path& folder, const Form& form, int scale) {
  hushpad::CairoImageFactory factory(scale);
  // This factory makes nothing but CairoImages.
  const auto image = std::static_pointer_cast<hushpad::CairoImage>(
      hushpad::makeToolbarImage(factory, form.locked));
  const std::filesystem::path path = folder / fileName(form, scale);
  if (!image || !hushpad::writePng(image->surface(), path.string())) {
    std::cerr << "render_toolbar_marks: cannot write " << path.string() << "\n";
    return false;
  }
  std::cout << path.string() << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: render_toolbar_marks <folder>\n";
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "render_toolbar_marks: cannot make " << folder.string() << ": " << error.message()
              << "\n";
    return 1;
  }
  bool ok = true;
  for (const Form& form : kForms) {
    for (const int scale : kScales) {
      ok = renderMark(folder, form, scale) && ok;
    }
  }
  return ok ? 0 : 1;
}
