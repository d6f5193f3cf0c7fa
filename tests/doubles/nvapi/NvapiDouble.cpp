// The NVAPI double: nvapi_QueryInterface and the functions it hands out. The plug-in calls
// them on its host's threads one at a time, as the tests drive it.
#include "NvapiDouble.h"

#include <unknwn.h>

#include <deque>
#include <functional>

namespace nvapidouble {
namespace {

State& S()  // never destroyed: the plug-in may still call in while the process exits
{
    static State* state = new State();
    return *state;
}

uint64_t Bits(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

// Logs a call and answers its status: the scripted one, else 0 when `possible`, else -1; only a
// call answering 0 takes `effect`, and what it answers is logged as what the call wrote.
int32_t Record(uint32_t id, std::vector<uint64_t> args, bool possible = true, const std::function<uint64_t()>& effect = {})
{
    const auto scripted = S().statuses.find(id);
    const int32_t status = scripted != S().statuses.end() ? scripted->second : possible ? 0 : -1;
    S().calls.push_back({id, std::move(args), status, status == 0 && possible && effect ? effect() : 0});
    return status;
}

int32_t __cdecl Initialize() { return Record(kInitialize, {}); }
int32_t __cdecl Unload() { return Record(kUnload, {}); }
int32_t __cdecl SetDriverMode(uint32_t mode) { return Record(kSetDriverMode, {mode}); }
int32_t __cdecl DriverConfiguration(uint32_t value) { return Record(kDriverConfiguration, {value}); }
int32_t __cdecl Activate(void* handle) { return Record(kActivate, {Bits(handle)}); }
int32_t __cdecl SetActiveEye(void* handle, uint32_t eye) { return Record(kSetActiveEye, {Bits(handle), eye}); }
int32_t __cdecl SetNotificationMessage(void* handle, uint64_t window, uint64_t message)
{
    return Record(kSetNotificationMessage, {Bits(handle), window, message});
}

int32_t __cdecl IsStereoEnabled(uint8_t* enabled)
{
    return Record(kIsStereoEnabled, {Bits(enabled)}, enabled, [=] { return *enabled = S().stereoEnabled; });
}

int32_t __cdecl CreateHandle(IUnknown* device, void** handle)
{
    static std::deque<char> handles;  // never freed: a handle is never handed out twice
    return Record(kCreateHandle, {Bits(device), Bits(handle)}, device && handle,
        [=] { return Bits(*S().liveHandles.insert(*handle = &handles.emplace_back('h')).first); });
}

int32_t __cdecl DestroyHandle(void* handle)
{
    return Record(kDestroyHandle, {Bits(handle)}, S().liveHandles.count(handle), [=] { return S().liveHandles.erase(handle), 0ull; });
}

template <class F> void* Address(F function) { return reinterpret_cast<void*>(function); }

}  // namespace
}  // namespace nvapidouble

using namespace nvapidouble;

extern "C" __declspec(dllexport) State* nvapidouble_State() { return &S(); }

extern "C" __declspec(dllexport) void* __cdecl nvapi_QueryInterface(uint32_t id)
{
    const std::pair<uint32_t, void*> functions[] = {{kInitialize, Address(&Initialize)}, {kUnload, Address(&Unload)},
        {kSetDriverMode, Address(&SetDriverMode)}, {kDriverConfiguration, Address(&DriverConfiguration)},
        {kIsStereoEnabled, Address(&IsStereoEnabled)}, {kCreateHandle, Address(&CreateHandle)},
        {kSetNotificationMessage, Address(&SetNotificationMessage)}, {kActivate, Address(&Activate)},
        {kDestroyHandle, Address(&DestroyHandle)}, {kSetActiveEye, Address(&SetActiveEye)}};
    for (const auto& [known, function] : functions)
        if (known == id)
            return function;
    return nullptr;
}
