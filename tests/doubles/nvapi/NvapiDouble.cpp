// The NVAPI double: nvapi_QueryInterface and the functions it hands out, the call log, the
// scripts, and the control table NvapiDouble.h reaches through GetProcAddress.
#include "NvapiDouble.h"

#include <unknwn.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace nvapidouble {
namespace {

constexpr int32_t kError = -1;

struct State {
    std::mutex mutex;
    std::vector<Call> calls;
    std::vector<uint32_t> queries;
    std::set<uint32_t> refused;
    std::map<uint32_t, int32_t> statuses;
    bool stereoEnabled = true;
    bool preHook = false, postHook = false;
    // Every handle ever made, never freed: a destroyed handle is never handed out again.
    std::vector<std::unique_ptr<char>> tokens;
    std::set<void*> live;
};

// Never destroyed: the plug-in may still call in while the process exits.
State& S()
{
    static State* state = new State();
    return *state;
}

uint64_t Bits(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

// One call of a function: holds the lock, and logs the call with the status it answers,
// the function's own (-1 unless `possible` holds) unless a script says otherwise.
class Recorded {
public:
    template <typename Possible>
    Recorded(uint32_t id, std::vector<uint64_t> args, Possible possible)
        : s(S()), lock_(s.mutex), index_(s.calls.size())
    {
        const auto scripted = s.statuses.find(id);
        int32_t status = possible(s) ? 0 : kError;
        ok = status == 0 && (scripted == s.statuses.end() || scripted->second == 0);
        if (scripted != s.statuses.end())
            status = scripted->second;
        s.calls.push_back({id, std::move(args), status, 0});
    }
    Recorded(uint32_t id, std::vector<uint64_t> args)
        : Recorded(id, std::move(args), [](const State&) { return true; })
    {
    }
    void Out(uint64_t value) { s.calls[index_].out = value; }
    int32_t Status() const { return s.calls[index_].status; }

    State& s;
    bool ok;  // the function takes effect

private:
    std::lock_guard<std::mutex> lock_;
    size_t index_;
};

int32_t __cdecl Initialize() { return Recorded(kInitialize, {}).Status(); }
int32_t __cdecl Unload() { return Recorded(kUnload, {}).Status(); }
int32_t __cdecl SetDriverMode(uint32_t mode) { return Recorded(kSetDriverMode, {mode}).Status(); }
int32_t __cdecl DriverConfiguration(uint32_t value)
{
    return Recorded(kDriverConfiguration, {value}).Status();
}

int32_t __cdecl IsStereoEnabled(uint8_t* enabled)
{
    Recorded call(kIsStereoEnabled, {Bits(enabled)}, [=](const State&) { return enabled; });
    if (call.ok) {
        *enabled = call.s.stereoEnabled ? 1 : 0;
        call.Out(*enabled);
    }
    return call.Status();
}

int32_t __cdecl CreateHandle(IUnknown* device, void** handle)
{
    Recorded call(kCreateHandle, {Bits(device), Bits(handle)},
        [=](const State&) { return device && handle; });
    if (call.ok) {
        call.s.tokens.emplace_back(new char('h'));
        *handle = call.s.tokens.back().get();
        call.s.live.insert(*handle);
        call.Out(Bits(*handle));
    }
    return call.Status();
}

int32_t __cdecl SetNotificationMessage(void* handle, uint64_t window, uint64_t messageId)
{
    return Recorded(kSetNotificationMessage, {Bits(handle), window, messageId}).Status();
}

int32_t __cdecl Activate(void* handle) { return Recorded(kActivate, {Bits(handle)}).Status(); }

int32_t __cdecl DestroyHandle(void* handle)
{
    Recorded call(kDestroyHandle, {Bits(handle)},
        [=](const State& s) { return s.live.count(handle) == 1; });
    if (call.ok)
        call.s.live.erase(handle);
    return call.Status();
}

int32_t __cdecl SetActiveEye(void* handle, uint32_t eye)
{
    return Recorded(kSetActiveEye, {Bits(handle), eye}).Status();
}

void __cdecl PreHook(uint32_t id, void** context)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.push_back({kPreHook, {id}, 0, context ? kHookContext : 0});
    if (context)
        *context = reinterpret_cast<void*>(kHookContext);
}

void __cdecl PostHook(uint32_t id, void* context, int32_t status)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.push_back({kPostHook, {id, Bits(context), uint64_t(int64_t(status))}, 0, 0});
}

void* Function(uint32_t id, const State& s)
{
    switch (id) {
    case kInitialize: return reinterpret_cast<void*>(&Initialize);
    case kUnload: return reinterpret_cast<void*>(&Unload);
    case kPreHook: return s.preHook ? reinterpret_cast<void*>(&PreHook) : nullptr;
    case kPostHook: return s.postHook ? reinterpret_cast<void*>(&PostHook) : nullptr;
    case kSetDriverMode: return reinterpret_cast<void*>(&SetDriverMode);
    case kDriverConfiguration: return reinterpret_cast<void*>(&DriverConfiguration);
    case kIsStereoEnabled: return reinterpret_cast<void*>(&IsStereoEnabled);
    case kCreateHandle: return reinterpret_cast<void*>(&CreateHandle);
    case kSetNotificationMessage: return reinterpret_cast<void*>(&SetNotificationMessage);
    case kActivate: return reinterpret_cast<void*>(&Activate);
    case kDestroyHandle: return reinterpret_cast<void*>(&DestroyHandle);
    case kSetActiveEye: return reinterpret_cast<void*>(&SetActiveEye);
    default: return nullptr;
    }
}

// The control functions, each under the lock.
template <typename F>
auto Locked(F f)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    return f(S());
}

const detail::Control kControl = {
    [] {
        Locked([](State& s) {
            s.calls.clear();
            s.queries.clear();
            s.refused.clear();
            s.statuses.clear();
            s.stereoEnabled = true;
            s.preHook = s.postHook = false;
        });
    },
    [](uint32_t id) { Locked([id](State& s) { s.refused.insert(id); }); },
    [](uint32_t id, int32_t status) { Locked([=](State& s) { s.statuses[id] = status; }); },
    [](bool enabled) { Locked([=](State& s) { s.stereoEnabled = enabled; }); },
    [](bool pre, bool post) {
        Locked([=](State& s) {
            s.preHook = pre;
            s.postHook = post;
        });
    },
    [] { return Locked([](State& s) { return s.calls; }); },
    [] { return Locked([](State& s) { return s.queries; }); },
    [] {
        Locked([](State& s) {
            s.calls.clear();
            s.queries.clear();
        });
    },
    [] { return Locked([](State& s) { return int(s.live.size()); }); },
};

}  // namespace
}  // namespace nvapidouble

extern "C" __declspec(dllexport) void* __cdecl nvapi_QueryInterface(uint32_t id)
{
    using namespace nvapidouble;
    return Locked([id](State& s) {
        s.queries.push_back(id);
        return s.refused.count(id) ? nullptr : Function(id, s);
    });
}

extern "C" __declspec(dllexport) const nvapidouble::detail::Control* nvapidouble_Control()
{
    return &nvapidouble::kControl;
}
