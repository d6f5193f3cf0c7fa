#include "soak/ProcessFigures.h"

#include <windows.h>
#include <psapi.h>

ProcessFigures MeasureProcess()
{
    ProcessFigures figures;
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters))
        figures.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles) {
        figures.handles = handles;
        return figures;
    }
    unsigned unused = 0;
    for (uintptr_t value = 4; unused < 1024; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++figures.handles;
            unused = 0;
        } else {
            ++unused;
        }
    }
    return figures;
}
