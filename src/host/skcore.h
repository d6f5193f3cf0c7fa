#pragma once
// The host's core library skcore as the plug-in uses it: a re-entrant critical
// section and a scoped lock. skcore.dll exports exactly these; a host may ship its own.

#include <windows.h>

#ifdef SKCORE_BUILD
#define SKCORE_API __declspec(dllexport)
#else
#define SKCORE_API __declspec(dllimport)
#endif

namespace skcore {

class COSAutoLock;

// Mutual exclusion that the owning thread may enter again; each entry is paired
// with one leave.
class SKCORE_API COSCriticalSection {
public:
    explicit COSCriticalSection(unsigned long spinCount);
    ~COSCriticalSection();

    COSCriticalSection(const COSCriticalSection&) = delete;
    COSCriticalSection& operator=(const COSCriticalSection&) = delete;

private:
    friend class COSAutoLock;
    CRITICAL_SECTION _section;
};

// Holds a section for its own lifetime: entered on construction, left on destruction.
class SKCORE_API COSAutoLock {
public:
    explicit COSAutoLock(COSCriticalSection& section);
    ~COSAutoLock();

    COSAutoLock(const COSAutoLock&) = delete;
    COSAutoLock& operator=(const COSAutoLock&) = delete;

private:
    COSCriticalSection& _section;
};

} // namespace skcore
