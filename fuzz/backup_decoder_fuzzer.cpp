// Feeds arbitrary bytes to the backup decoder. It must never crash, and every
// backup it accepts must survive encoding and decoding again unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "gestures/backup_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto decoded = hushpad::decodeBackup(std::span<const std::uint8_t>(data, size));
  if (!decoded) return 0;

  const std::string encoded = hushpad::encodeBackup(*decoded);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(encoded.data());
  const auto again = hushpad::decodeBackup(std::span<const std::uint8_t>(bytes, encoded.size()));
  if (!again || *again != *decoded) std::abort();
  // The encoder's form is canonical: a second round gives the same text.
  if (hushpad::encodeBackup(*again) != encoded) std::abort();
  return 0;
}
