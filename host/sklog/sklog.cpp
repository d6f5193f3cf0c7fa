// The exported functions of sklog.dll. None of them lets an exception out or
// reports a failure: logging never disturbs the code that logs.

#include "sklog.h"
#include "sklog_control.h"

#include "LevelSwitch.h"
#include "LogOutput.h"
#include "RecordLine.h"
#include "RecordSink.h"
#include "RecordText.h"

#include <windows.h>

namespace skcore {

void Logger_Start()
{
    try {
        sklog::LogOutput::Instance().Start();
    } catch (...) {
    }
}

void Logger_End()
{
    try {
        sklog::LogOutput::Instance().End();
    } catch (...) {
    }
}

bool wPrintf_IsUserLevelActive(unsigned int module, unsigned int level)
{
    try {
        return sklog::LevelSwitch::Instance().IsActive(module, level);
    } catch (...) {
        return false; // only the first call can throw: out of memory reading VELTRA_LOG
    }
}

void wvPrintf(unsigned int module, unsigned int level, const wchar_t* format, va_list args)
{
    try {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const std::wstring text = sklog::FormatRecordText(format, args);
        if (sklog::RecordSink::Instance().Deliver(module, level, text))
            return;
        sklog::LogOutput::Instance().Write(sklog::ComposeRecordLine(now, GetCurrentThreadId(), module, level, text));
    } catch (...) {
    }
}

} // namespace skcore

extern "C" {

void sklog_Configure(const wchar_t* levels)
{
    try {
        // Instance() first reads VELTRA_LOG; the new levels then replace it.
        sklog::LevelSwitch::Instance().Replace(levels);
    } catch (...) {
    }
}

void sklog_SetSink(sklog_Sink sink, void* context)
{
    try {
        sklog::RecordSink::Instance().Set(sink, context);
    } catch (...) {
    }
}

int sklog_OpenCount(void)
{
    try {
        return sklog::LogOutput::Instance().OpenCount();
    } catch (...) {
        return 0;
    }
}

} // extern "C"
