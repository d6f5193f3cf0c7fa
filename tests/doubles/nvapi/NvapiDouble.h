// Control interface of the NVAPI double (nvapi64.dll built from tests/doubles/nvapi).
//
// The double stands in for NVIDIA's driver library in the stereo tests. It lives in a folder
// of its own (tests/nvapi, a sibling of the test programs' folders), so a test opts in:
// Use(true) puts that folder on the DLL search path and loads the double, and the plug-in's
// LoadLibraryA("nvapi64.dll") then finds this same instance. A test that wants no NVAPI
// calls Use(false) (or never Use(true)) and the plug-in finds nothing.
//
// The program never imports the double: everything below reaches it through
// GetProcAddress, so linking the nvapi_double target only brings this header and the build
// order, and a program that leaves the double alone starts without it.
//
// By default every known id is answered except the two hooks, and every function succeeds:
// stereo is enabled, each create-handle writes a new non-null handle (never reused), and
// destroy-handle of a handle that is not live answers -1, as does create-handle for a null
// device. A null out-pointer answers -1. A status set with SetStatus is answered instead of
// the function's own; a function that answers anything but 0 writes and changes nothing.
// Every call is logged with its integer and pointer arguments in order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace nvapidouble {

constexpr uint32_t kInitialize = 0x0150E828;
constexpr uint32_t kUnload = 0xD22BDD7E;
constexpr uint32_t kPreHook = 0x33C7358C;  // void f(uint32_t id, void** context)
constexpr uint32_t kPostHook = 0x593E8644;  // void f(uint32_t id, void* context, int32_t status)
constexpr uint32_t kSetDriverMode = 0x5E8F0BEC;
constexpr uint32_t kDriverConfiguration = 0xF117B834;
constexpr uint32_t kIsStereoEnabled = 0x348FF8E1;
constexpr uint32_t kCreateHandle = 0xAC7E37F4;
constexpr uint32_t kSetNotificationMessage = 0x6B9B409E;
constexpr uint32_t kActivate = 0xF6A1AD68;
constexpr uint32_t kDestroyHandle = 0x3A153134;
constexpr uint32_t kSetActiveEye = 0x96EEA9F8;

// What the pre hook writes into the context slot it is given.
constexpr uint64_t kHookContext = 0x1234;

struct Call {
    uint32_t id;
    // Integer and pointer arguments in order; the pre hook logs {calledId}, the post hook
    // {calledId, context, status}.
    std::vector<uint64_t> args;
    int32_t status;  // what the call answered (0 for the hooks)
    uint64_t out;  // what it wrote through its out-pointer (handle, enabled, context), else 0
};

namespace detail {

// The double's one C export besides nvapi_QueryInterface: nvapidouble_Control().
struct Control {
    void (*reset)();
    void (*refuse)(uint32_t id);
    void (*setStatus)(uint32_t id, int32_t status);
    void (*setStereoEnabled)(bool enabled);
    void (*offerHooks)(bool pre, bool post);
    std::vector<Call> (*calls)();
    std::vector<uint32_t> (*queries)();
    void (*clearCalls)();
    int (*liveHandles)();
};

inline const Control& Table()
{
    HMODULE module = GetModuleHandleW(L"nvapi64.dll");
    FARPROC proc = module ? GetProcAddress(module, "nvapidouble_Control") : nullptr;
    if (!proc)
        throw std::logic_error("the NVAPI double is not loaded: call nvapidouble::Use(true) first");
    using Get = const Control* (*)();
    return *reinterpret_cast<Get>(reinterpret_cast<void (*)()>(proc))();
}

inline HMODULE& Held()
{
    static HMODULE module = nullptr;
    return module;
}

}  // namespace detail

// The double's folder: "nvapi" beside the folder of the running program.
inline std::wstring Folder()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, &path[0], MAX_PATH));
    path.erase(path.find_last_of(L"\\/"));  // the program's folder
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"nvapi";
}

// Use(true): the double's folder goes on the DLL search path and the double is loaded and
// held, so scripts and logs outlive the plug-in's own loads and unloads. Use(false): the
// default search path again, and the hold is dropped; the double unloads once the plug-in
// has released it too. Answers whether the double is now loaded exactly when `use` asks.
inline bool Use(bool use)
{
    HMODULE& held = detail::Held();
    if (use) {
        SetDllDirectoryW(Folder().c_str());
        if (!held)
            held = LoadLibraryW((Folder() + L"\\nvapi64.dll").c_str());
    } else {
        SetDllDirectoryW(nullptr);
        if (held)
            FreeLibrary(held);
        held = nullptr;
    }
    return (GetModuleHandleW(L"nvapi64.dll") != nullptr) == use;
}

// Defaults again; forgets calls and queries. Live handles stay tracked.
inline void Reset() { detail::Table().reset(); }
// nvapi_QueryInterface answers null for `id` (the query is still logged).
inline void Refuse(uint32_t id) { detail::Table().refuse(id); }
inline void SetStatus(uint32_t id, int32_t status) { detail::Table().setStatus(id, status); }
// What is-stereo-enabled writes.
inline void SetStereoEnabled(bool enabled) { detail::Table().setStereoEnabled(enabled); }
// Answer the hook ids with hooks that log their calls; the pre hook writes kHookContext.
inline void OfferHooks(bool pre, bool post) { detail::Table().offerHooks(pre, post); }
// Every call of a function or hook, in order.
inline std::vector<Call> Calls() { return detail::Table().calls(); }
inline std::vector<Call> CallsTo(uint32_t id)
{
    std::vector<Call> calls;
    for (Call& call : Calls())
        if (call.id == id)
            calls.push_back(std::move(call));
    return calls;
}
// Every id asked of nvapi_QueryInterface, in order, known or not.
inline std::vector<uint32_t> Queries() { return detail::Table().queries(); }
inline void ClearCalls() { detail::Table().clearCalls(); }  // calls and queries; scripts stay
inline int LiveHandles() { return detail::Table().liveHandles(); }

}  // namespace nvapidouble
