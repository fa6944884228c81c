// New-record values of the two configuration records.
#pragma once

namespace egresso {

struct Workstation;

void InitMainConfig(Workstation& ws);
void InitPersonalConfig(Workstation& ws);

}  // namespace egresso
