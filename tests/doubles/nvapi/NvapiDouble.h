// The NVAPI double (nvapi64.dll built from tests/doubles/nvapi) and its state.
//
// The double stands in for NVIDIA's driver library in the stereo tests. It lives in a folder
// of its own (tests/nvapi beside the programs' folders), so a test opts in: Use(true) puts
// that folder on the DLL search path and loads the double, and the plug-in's
// LoadLibraryA("nvapi64.dll") then finds this same instance. Programs never import it: its
// state is reached through GetProcAddress.
//
// Every function the plug-in asks for is there and answers 0; each create-handle writes a
// new handle (never reused); destroy-handle of a handle that is not live, and create-handle
// for a null device, answer -1. A scripted status is answered instead, and the function then
// does nothing. Every call is logged.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace nvapidouble {

// The interface ids of NVAPI's functions, as nvapi_QueryInterface knows them.
constexpr uint32_t kInitialize = 0x0150E828, kUnload = 0xD22BDD7E, kSetDriverMode = 0x5E8F0BEC,
                   kDriverConfiguration = 0xF117B834, kIsStereoEnabled = 0x348FF8E1, kCreateHandle = 0xAC7E37F4,
                   kSetNotificationMessage = 0x6B9B409E, kActivate = 0xF6A1AD68, kDestroyHandle = 0x3A153134,
                   kSetActiveEye = 0x96EEA9F8;

struct Call { uint32_t id; std::vector<uint64_t> args; int32_t status; uint64_t out; };  // out: a handle it wrote

struct State {
    std::vector<Call> calls;
    std::map<uint32_t, int32_t> statuses;  // scripted answers by id
    bool stereoEnabled = true;
    std::set<void*> liveHandles;
    void Reset() { calls.clear(), statuses.clear(), stereoEnabled = true; }  // handles stay
};

inline State& Double()  // of the loaded double: Use(true) first
{
    const FARPROC state = GetProcAddress(GetModuleHandleW(L"nvapi64.dll"), "nvapidouble_State");
    return *reinterpret_cast<State* (*)()>(reinterpret_cast<void (*)()>(state))();
}

// Use(true): the double's folder goes on the DLL search path and the double is loaded and
// held. Use(false): the default search path again, the hold dropped. Answers whether the
// double is now loaded exactly when `use` asks.
inline bool Use(bool use)
{
    static HMODULE held = nullptr;
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(GetModuleFileNameW(nullptr, &folder[0], MAX_PATH));
    folder = folder.substr(0, folder.find_last_of(L"\\/", folder.find_last_of(L"\\/") - 1) + 1) + L"nvapi";
    SetDllDirectoryW(use ? folder.c_str() : nullptr);
    if (use && !held)
        held = LoadLibraryW((folder + L"\\nvapi64.dll").c_str());
    if (!use && held)
        FreeLibrary(std::exchange(held, nullptr));
    return (GetModuleHandleW(L"nvapi64.dll") != nullptr) == use;
}

inline std::vector<Call> CallsTo(uint32_t id)
{
    std::vector<Call> selected;
    for (const Call& call : Double().calls)
        if (call.id == id)
            selected.push_back(call);
    return selected;
}

}  // namespace nvapidouble
