#include "skcore.h"

namespace skcore {

COSCriticalSection::COSCriticalSection(unsigned long spinCount)
{
    // Cannot fail on Windows Vista and later; the result is kept for older systems only.
    (void)InitializeCriticalSectionAndSpinCount(&_section, spinCount);
}

COSCriticalSection::~COSCriticalSection()
{
    DeleteCriticalSection(&_section);
}

} // namespace skcore
