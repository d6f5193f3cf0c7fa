#pragma once
// Scoped exclusive hold of an SRW lock. SRW locks are statically initialized
// (SRWLOCK_INIT), so the logger's objects need no set-up call that could fail.

#include <windows.h>

namespace sklog {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : _lock(lock) { AcquireSRWLockExclusive(&_lock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&_lock); }

    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& _lock;
};

} // namespace sklog
