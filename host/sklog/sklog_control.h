#pragma once
// Control of our sklog for tools and tests. The plug-in never uses these: a host
// that ships its own sklog.dll needs only the four exports of sklog.h.

#include "sklog.h"

extern "C" {

// Replaces the enabled levels. Same syntax as the VELTRA_LOG variable:
// "293:0-5,24;12:1" (module:levels;...), "293:*" for every level of a module,
// "" or null for none.
SKLOG_API void sklog_Configure(const wchar_t* levels);

// Receives every record written while it is set, instead of the file or standard
// error: the module, the level and the formatted text (without time or thread).
typedef void (*sklog_Sink)(void* context, unsigned int module, unsigned int level, const wchar_t* text);

// Sets the sink; null restores normal output.
SKLOG_API void sklog_SetSink(sklog_Sink sink, void* context);

// Calls of Logger_Start not yet paired with Logger_End.
SKLOG_API int sklog_OpenCount(void);
}
