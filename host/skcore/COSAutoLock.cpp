#include "skcore.h"

namespace skcore {

COSAutoLock::COSAutoLock(COSCriticalSection& section)
    : _section(section)
{
    EnterCriticalSection(&_section._section);
}

COSAutoLock::~COSAutoLock()
{
    LeaveCriticalSection(&_section._section);
}

} // namespace skcore
