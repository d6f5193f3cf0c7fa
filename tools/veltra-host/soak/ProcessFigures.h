// The process's private bytes and open handles, as the soak samples them.
//
// Private bytes are PrivateUsage; Wine 8 leaves that 0 and reports the process's
// private anonymous memory as PagefileUsage, which is taken there. Handles are
// GetProcessHandleCount; Wine 8 answers 0, so the handle table is walked instead:
// handles are multiples of 4 handed out lowest first, and 1024 unused values in a row
// end the table.
#pragma once

#include <cstdint>

struct ProcessFigures {
    uint64_t privateBytes = 0;
    uint32_t handles = 0;
};

ProcessFigures MeasureProcess();
