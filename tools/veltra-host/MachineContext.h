// What a measurement ran on, recorded beside its figures: the date, the Windows or
// Wine version and the system under it, the OpenGL driver (Mesa's renderer and version
// under Wine), the processor and the number of logical processors.
#pragma once

#include <nlohmann/json.hpp>

nlohmann::json MachineContext();
