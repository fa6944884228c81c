#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/services.h"

namespace egresso {

std::string readStationId() {
  if (const char* env = std::getenv("EGRESSO_STATION"); env && *env) return std::string(env).substr(0, 15);
  // A volume serial is a 32-bit number; derive one from the machine id so
  // the identity looks and compares the same way.
  std::ifstream in("/etc/machine-id");
  std::string id;
  if (in && std::getline(in, id) && id.size() >= 8) {
    std::uint32_t v = 2166136261u;
    for (char c : id) v = (v ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return std::to_string(v);
  }
  long host = gethostid();
  return std::to_string(static_cast<std::uint32_t>(host));
}

}  // namespace egresso
