#include "LevelSwitch.h"

#include "Environment.h"
#include "ExclusiveLock.h"

namespace sklog {

LevelSwitch& LevelSwitch::Instance()
{
    // Thread-safe one-time initialization; VELTRA_LOG is read exactly once.
    static LevelSwitch instance(LevelTable::Parse(ReadEnvironmentVariable(L"VELTRA_LOG").value_or(L"").c_str()));
    return instance;
}

LevelSwitch::LevelSwitch(LevelTable initial)
{
    _tables.push_back(std::make_unique<const LevelTable>(std::move(initial)));
    _current.store(_tables.back().get(), std::memory_order_release);
}

void LevelSwitch::Replace(const wchar_t* text)
{
    auto table = std::make_unique<const LevelTable>(LevelTable::Parse(text));
    ExclusiveLock hold(_replaceLock);
    _tables.push_back(std::move(table));
    _current.store(_tables.back().get(), std::memory_order_release);
}

} // namespace sklog
