#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/services.h"
#include "platform/system_file.h"

namespace egresso {

namespace {

std::uint32_t fnv1a(std::uint32_t v, const std::string& text) {
  for (char c : text) v = (v ^ static_cast<std::uint8_t>(c)) * 16777619u;
  return v;
}

}  // namespace

std::string readStationId() {
  if (const char* env = std::getenv("EGRESSO_STATION"); env && *env) return std::string(env).substr(0, 15);
  // A volume serial is a 32-bit decimal number; derive one of the same look
  // from the machine id. The user id goes into it as well: a lock held by
  // the same station counts as one's own, and on a Linux computer several
  // people may each run a copy at once (the single-instance guard is per
  // user), so they must not share an identity.
  std::string machine = ReadSystemFile("/etc/machine-id", 256);
  machine = machine.substr(0, machine.find('\n'));
  if (machine.size() < 8) machine = std::to_string(static_cast<std::uint32_t>(gethostid()));
  std::uint32_t v = fnv1a(2166136261u, machine);
  v = fnv1a(v, std::string(1, '/').append(std::to_string(static_cast<unsigned long>(getuid()))));
  return std::to_string(v);
}

}  // namespace egresso
