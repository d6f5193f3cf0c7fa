#pragma once
// The receiver set with sklog_SetSink. Calls to it are serialized: a sink never
// runs on two threads at once, and once Set returns the previous sink is no
// longer running. A sink must therefore not write records itself.

#include "sklog_control.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace sklog {

class RecordSink {
public:
    static RecordSink& Instance();

    void Set(sklog_Sink sink, void* context);

    // Hands the record to the sink and answers true, or answers false when none is set.
    bool Deliver(unsigned int module, unsigned int level, const std::wstring& text);

private:
    RecordSink() = default;

    std::atomic<bool> _isSet{false}; // lets records skip the lock when there is no sink
    SRWLOCK _lock = SRWLOCK_INIT;
    sklog_Sink _sink = nullptr;
    void* _context = nullptr;
};

} // namespace sklog
