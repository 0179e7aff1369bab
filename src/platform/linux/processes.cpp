#include "platform/linux/processes.h"

#include <fstream>
#include <string>

namespace hushpad::linux {

bool processEnded(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return true;
  std::string line;
  std::getline(stat, line);
  // The state follows the command's name, which may itself hold ')'.
  const std::string::size_type end = line.rfind(')');
  return end != std::string::npos && line.size() > end + 2 && line[end + 2] == 'Z';
}

}  // namespace hushpad::linux
