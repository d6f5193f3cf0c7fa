// What both sweeps share. They run every unit in one process: a crash (an access violation,
// an exception that escapes, abort) or a hang (no progress for HangSeconds) is reported with
// the unit running at the time and ends the program. Each unit loads the plug-in afresh and
// learns what it left behind once unloaded.
#pragma once

#include "CgDouble.h"
#include "D3D9Double.h"
#include "HostWindow.h"
#include "LogCapture.h"
#include "PluginLibrary.h"
#include "Resources.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <thread>

namespace sweep {

const int HangSeconds = 8;  // longer than the plug-in's own 5 s limit on waiting for the GPU
inline char g_unit[1024] = "starting";
inline volatile ULONGLONG g_progress = 0;

inline LONG Die(const char* what)
{
    static char line[1200];  // nothing here may wait for a lock the stopped thread holds
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, std::snprintf(line, sizeof line, "\n%s during: %s\n", what, g_unit), &written, nullptr);
    return TerminateProcess(GetCurrentProcess(), 3);
}

// Names what runs now, for a crash or hang report, and counts as progress.
inline void Now(const std::string& unit)
{
    std::snprintf(g_unit, sizeof g_unit, "%s", unit.c_str());
    g_progress = GetTickCount64();
}

inline void GuardAgainstCrashesAndHangs()
{
    g_progress = GetTickCount64();
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* fault) {
        static char what[64];
        std::snprintf(what, sizeof what, "CRASH (exception 0x%08lX)", fault->ExceptionRecord->ExceptionCode);
        return Die(what);
    });
    std::set_terminate([] { Die("CRASH (an exception escaped)"), std::abort(); });
    std::signal(SIGABRT, [](int) { Die("CRASH (abort)"); });
    std::thread([] {
        for (;; Sleep(250))
            if (GetTickCount64() - g_progress > HangSeconds * 1000ull)
                Die("HANG");
    }).detach();
}

struct Skip {};  // thrown to skip the rest of a step, when an earlier failure left nothing to work on

// How `call` ended: "" when it returned (or skipped), else what it threw.
template <class Call> std::string Outcome(Call call)
{
    try {
        call();
        return "";
    } catch (const Skip&) {
        return "";
    } catch (const Veltra::VeltraException& error) {
        return "VeltraException " + std::to_string(error.code);
    } catch (const boost::bad_weak_ptr&) {
        return "boost::bad_weak_ptr";
    } catch (...) {
        return "an exception not designed";
    }
}

struct Leftovers { size_t objects; int programs, contexts; bool window; };  // Direct3D's, Cg's, the hidden window

// Runs `body(plugin, log)` on a fresh load of the plug-in, unloads it and answers what it left;
// then releases that, so that the next load starts from nothing.
template <class Body> Leftovers AfterUnload(Body body)
{
    const int contexts = cgdouble::LiveContexts();
    bool window = false;
    {
        LogCapture log(L"293:0-2");
        PluginLibrary plugin;
        body(plugin, log);
        window = FindHiddenDeviceWindow() != nullptr;
        DestroyWindow(FindHiddenDeviceWindow());  // before its procedure is unloaded
    }
    const Leftovers left = {d3d9double::LiveObjects().size(), cgdouble::LivePrograms(), cgdouble::LiveContexts() - contexts, window};
    for (std::vector<IUnknown*> live; !(live = d3d9double::LiveObjects()).empty();)
        live.front()->Release();
    return left;
}

}  // namespace sweep
