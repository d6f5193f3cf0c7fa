#pragma once
// The host's logging library sklog as the plug-in uses it. sklog.dll exports
// exactly these four; a host may ship its own.

#include <cstdarg>

#ifdef SKLOG_BUILD
#define SKLOG_API __declspec(dllexport)
#else
#define SKLOG_API __declspec(dllimport)
#endif

namespace skcore {

SKLOG_API void Logger_Start();
SKLOG_API void Logger_End();
// True when records of this module and level are written.
SKLOG_API bool wPrintf_IsUserLevelActive(unsigned int module, unsigned int level);
// Formats like the wide printf family of the Windows runtime (%s is a wide string,
// %hs a narrow one) and writes one record.
SKLOG_API void wvPrintf(unsigned int module, unsigned int level, const wchar_t* format, va_list args);

} // namespace skcore
