#pragma once
// The plug-in's one way of writing log records: module 293 of the host's logger.

#include <cstdint>

namespace Veltra {

const unsigned int LogModuleRender = 293;

// Log levels the plug-in writes or reads.
enum LogLevel : unsigned int {
    LogSevere = 0,
    LogError = 1,
    LogWarning = 2,
    LogTrace = 3,
    LogTextureTrace = 5,
    LogSwitchPresentIntervalOne = 20,
    LogSwitchPresentIntervalOff = 21,
    LogSwitchDebugClearColor = 22,
    LogSwitchDebugClearColorOff = 23,
    LogStereo = 24,
};

bool LogActive(unsigned int level);

// Writes one record whatever the level's setting says (error reports of failed calls).
void LogAlways(unsigned int level, const wchar_t* format, ...);

// Writes one record only when the level is active (trace and informational lines).
void LogIfActive(unsigned int level, const wchar_t* format, ...);

// Objects are logged with %X: the low 32 bits of their address.
inline unsigned int LogAddress(const void* object)
{
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(object));
}

} // namespace Veltra
