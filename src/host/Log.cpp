#include "Log.h"

#include "sklog.h"

#include <cstdarg>

namespace Veltra {

bool LogActive(unsigned int level)
{
    return skcore::wPrintf_IsUserLevelActive(LogModuleRender, level);
}

void LogAlways(unsigned int level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    skcore::wvPrintf(LogModuleRender, level, format, args);
    va_end(args);
}

void LogIfActive(unsigned int level, const wchar_t* format, ...)
{
    if (!LogActive(level))
        return;
    va_list args;
    va_start(args, format);
    skcore::wvPrintf(LogModuleRender, level, format, args);
    va_end(args);
}

} // namespace Veltra
