#include "NvApiLoader.h"

#include <windows.h>

namespace NvApi {
namespace {

typedef void*(__cdecl* QueryInterfaceFunction)(uint32_t id);
typedef Status(__cdecl* NoArgumentFunction)();
typedef void(__cdecl* PreCallHook)(uint32_t id, void** context);
typedef void(__cdecl* PostCallHook)(uint32_t id, void* context, Status status);

struct CacheEntry {
    FunctionId id;
    void* address;
    bool tried;
};

// One entry per function this module calls through the cache.
CacheEntry s_cache[] = {
    {IdStereoSetDriverMode, nullptr, false},
    {IdDriverConfiguration, nullptr, false},
    {IdStereoIsEnabled, nullptr, false},
    {IdStereoCreateHandleFromIUnknown, nullptr, false},
    {IdStereoSetNotificationMessage, nullptr, false},
    {IdStereoActivate, nullptr, false},
    {IdStereoDestroyHandle, nullptr, false},
    {IdStereoSetActiveEye, nullptr, false},
};

HMODULE s_library = nullptr;
QueryInterfaceFunction s_queryInterface = nullptr;
PreCallHook s_preCallHook = nullptr;
PostCallHook s_postCallHook = nullptr;

void FreeTheLibrary()
{
    FreeLibrary(s_library);
    s_library = nullptr;
}

CacheEntry* FindEntry(FunctionId id)
{
    for (CacheEntry& entry : s_cache) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

} // namespace

Status Start()
{
    if (!s_library) {
        s_library = LoadLibraryA("nvapi64.dll");
        if (!s_library)
            return StatusLibraryNotFound;
    }
    s_queryInterface = reinterpret_cast<QueryInterfaceFunction>(
        reinterpret_cast<void*>(GetProcAddress(s_library, "nvapi_QueryInterface")));
    if (!s_queryInterface) {
        FreeTheLibrary();
        return StatusError;
    }
    NoArgumentFunction initialize = reinterpret_cast<NoArgumentFunction>(s_queryInterface(IdInitialize));
    if (!initialize || initialize() != StatusOk) {
        s_queryInterface = nullptr;
        FreeTheLibrary();
        return StatusError;
    }
    s_preCallHook = reinterpret_cast<PreCallHook>(s_queryInterface(IdPreCallHook));
    s_postCallHook = reinterpret_cast<PostCallHook>(s_queryInterface(IdPostCallHook));
    // A pre-call hook without its post-call partner would leave calls half-wrapped.
    if (s_preCallHook && !s_postCallHook)
        s_preCallHook = nullptr;
    return StatusOk;
}

Status Stop()
{
    if (!s_library || !s_queryInterface)
        return StatusNotInitialized;
    NoArgumentFunction unload = reinterpret_cast<NoArgumentFunction>(s_queryInterface(IdUnload));
    if (!unload)
        return StatusNoImplementation;
    if (unload() != StatusOk)
        return StatusError;
    s_queryInterface = nullptr;
    for (CacheEntry& entry : s_cache) {
        entry.address = nullptr;
        entry.tried = false;
    }
    FreeTheLibrary();
    s_preCallHook = nullptr;
    s_postCallHook = nullptr;
    return StatusOk;
}

void* Resolve(FunctionId id)
{
    CacheEntry* entry = FindEntry(id);
    if (!entry)
        return nullptr;
    if (s_queryInterface && !entry->address && !entry->tried) {
        entry->address = s_queryInterface(id);
        entry->tried = true;
    }
    return entry->address;
}

void BeginCall(FunctionId id, void** context)
{
    if (s_preCallHook)
        s_preCallHook(id, context);
}

void EndCall(FunctionId id, void* context, Status status)
{
    if (s_postCallHook)
        s_postCallHook(id, context, status);
}

} // namespace NvApi
