// What a measurement ran on, recorded beside its figures: the date, the Windows or
// Wine version and the system under it, the OpenGL driver (Mesa's renderer and version
// under Wine), the processor, the number of logical processors and, under Wine, the
// machine's load averages over 1, 5 and 15 minutes.
#pragma once

#include <nlohmann/json.hpp>

nlohmann::json MachineContext();
