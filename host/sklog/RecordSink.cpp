#include "RecordSink.h"

#include "ExclusiveLock.h"

namespace sklog {

RecordSink& RecordSink::Instance()
{
    static RecordSink instance;
    return instance;
}

void RecordSink::Set(sklog_Sink sink, void* context)
{
    ExclusiveLock hold(_lock);
    _sink = sink;
    _context = sink ? context : nullptr;
    _isSet.store(sink != nullptr, std::memory_order_release);
}

bool RecordSink::Deliver(unsigned int module, unsigned int level, const std::wstring& text)
{
    if (!_isSet.load(std::memory_order_acquire))
        return false;
    ExclusiveLock hold(_lock);
    if (!_sink)
        return false; // removed meanwhile
    try {
        _sink(_context, module, level, text.c_str());
    } catch (...) {
        // A record never fails towards the code that writes it.
    }
    return true;
}

} // namespace sklog
