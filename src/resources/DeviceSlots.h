#pragma once
// What a slot of the device holds, asked of the device. An object that is being
// destroyed clears only the slots that still hold it: the host may have selected a
// successor into the same slot without deselecting this object first.

#include "ComReference.h"
#include "ErrorReporting.h"

// True when the device answered `object` for the slot. When it could not answer (the
// failure is reported) the answer is true as well: the slot is then cleared, as an
// unconditional deselection would clear it.
template <typename Held, typename Object>
bool DeviceHolds(HRESULT result, const ComReference<Held>& held, const Object* object, const wchar_t* callText)
{
    if (Veltra::DXFailed(result, callText))
        return true;
    return held.Get() == object;
}
