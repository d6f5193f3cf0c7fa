#pragma once
// Loads NVIDIA's driver interface (nvapi64.dll) and calls its functions. The
// library exports one entry, nvapi_QueryInterface, that maps an interface id to a
// function; each function is asked for once per load and then called from a cache.

#include <cstdint>

namespace NvApi {

typedef int32_t Status;

// Statuses the loader answers in place of the driver's.
const Status StatusOk = 0;
const Status StatusError = -1;
const Status StatusLibraryNotFound = -2;
const Status StatusNoImplementation = -3;
const Status StatusNotInitialized = -4;

enum FunctionId : uint32_t {
    IdInitialize = 0x0150E828,
    IdUnload = 0xD22BDD7E,
    IdPreCallHook = 0x33C7358C,
    IdPostCallHook = 0x593E8644,
    IdStereoSetDriverMode = 0x5E8F0BEC,
    IdDriverConfiguration = 0xF117B834,
    IdStereoIsEnabled = 0x348FF8E1,
    IdStereoCreateHandleFromIUnknown = 0xAC7E37F4,
    IdStereoSetNotificationMessage = 0x6B9B409E,
    IdStereoActivate = 0xF6A1AD68,
    IdStereoDestroyHandle = 0x3A153134,
    IdStereoSetActiveEye = 0x96EEA9F8,
};

// Loads the library and initialises the interface: 0, or -2 without the library,
// -1 when it refuses.
Status Start();
// Unloads the interface and the library: 0, -4 when not started, -3 or -1 when
// the driver refuses (everything is then kept).
Status Stop();

// Address of a function, asked for at most once per load; null when unknown.
void* Resolve(FunctionId id);

// The hooks the driver may ask to have called around each function.
void BeginCall(FunctionId id, void** context);
void EndCall(FunctionId id, void* context, Status status);

template <typename... Args>
Status Call(FunctionId id, Args... args)
{
    void* address = Resolve(id);
    if (!address)
        return StatusNoImplementation;
    typedef Status(__cdecl * Function)(Args...);
    void* context = nullptr;
    BeginCall(id, &context);
    Status status = reinterpret_cast<Function>(address)(args...);
    EndCall(id, context, status);
    return status;
}

} // namespace NvApi
