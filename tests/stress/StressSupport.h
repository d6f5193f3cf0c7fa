#pragma once
// What the stress and long-run programs share: their numeric arguments, the
// process's private bytes and handle count, the device's reference count, a clock.

#include <windows.h>
#include <psapi.h>
#include <d3d9.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// `--name N` from the command line, else the environment variable (the CTest entries
// ask for their short versions that way), else `fallback`.
inline long NumberArgument(int argc, char** argv, const char* name, const char* variable, long fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::strtol(argv[i + 1], nullptr, 10);
    }
    const char* value = std::getenv(variable);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

inline bool FlagArgument(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

struct ProcessFigures {
    uint64_t privateBytes = 0;
    uint32_t handles = 0;
};

// Private bytes are PrivateUsage. Wine 8 leaves that 0 and reports the process's
// private anonymous memory (RssAnon + VmSwap) as PagefileUsage: that is taken there.
// Handles are GetProcessHandleCount. Wine 8 answers 0, so the handle table is walked
// instead: handles are multiples of 4 handed out lowest first, so 1024 unused values
// in a row end the table.
inline ProcessFigures MeasureProcess()
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

// References the device holds; every live Direct3D object of a resource adds one.
inline ULONG DeviceReferences(IDirect3DDevice9* device)
{
    device->AddRef();
    return device->Release();
}

class Stopwatch {
public:
    double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - _start).count(); }

private:
    std::chrono::steady_clock::time_point _start = std::chrono::steady_clock::now();
};
