#pragma once
// The process's current level table. The first use configures it from the
// VELTRA_LOG environment variable; Replace swaps in a new table at run time.
// A check is one atomic load and a lookup in an immutable table.

#include "LevelTable.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

namespace sklog {

class LevelSwitch {
public:
    static LevelSwitch& Instance();

    bool IsActive(unsigned int module, unsigned int level) const
    {
        return _current.load(std::memory_order_acquire)->IsActive(module, level);
    }

    // Same syntax as VELTRA_LOG; null or "" switches every level off.
    void Replace(const wchar_t* text);

private:
    explicit LevelSwitch(LevelTable initial);

    std::atomic<const LevelTable*> _current;
    SRWLOCK _replaceLock = SRWLOCK_INIT;
    // Every table ever made, the current one last. A reader may still be looking
    // at an older table while it is replaced, so none is freed before unload;
    // tables are small and replacing them is rare.
    std::vector<std::unique_ptr<const LevelTable>> _tables;
};

} // namespace sklog
