#pragma once
// One fresh load of the plug-in against reset Direct3D and Cg doubles, with its log
// captured, and the account of what it leaves behind once it is unloaded. Also the small
// tools both sweeps share: exception descriptions and host memory guarded against reads
// and writes past its end.

#include "CgDouble.h"
#include "D3D9Double.h"
#include "LogCapture.h"
#include "PluginLibrary.h"

#include <VeltraRender/VeltraRender.h>

#include <functional>
#include <memory>
#include <string>

namespace reliability {

// What a session left: Direct3D objects still referenced, Cg programs and contexts alive,
// the plug-in's hidden device window.
struct Leftovers {
    int objects = 0;
    int programs = 0;
    int contexts = 0;
    bool hiddenWindow = false;
    std::string Describe() const;  // empty when nothing is left
};

class Session {
public:
    explicit Session(const wchar_t* levels = L"293:0-2");
    ~Session();

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    boost::shared_ptr<VeltraRender::IRender> NewRender() { return _plugin->CreateRender(); }
    // Unloads the plug-in (destroying its hidden window first, while its window procedure
    // still exists) and answers what was left; then releases that, so the next session
    // starts from nothing.
    Leftovers End();

    LogCapture log;

private:
    std::unique_ptr<PluginLibrary> _plugin;
    int _programsBefore = 0;
    int _contextsBefore = 0;
};

// Runs `call` and describes how it ended: "" when it returned, else the exception
// ("VeltraException ecBadState", "boost::bad_weak_ptr", "std::bad_alloc: ...").
std::string Outcome(const std::function<void()>& call);
std::string ErrorName(Veltra::ErrorCode code);

// `size` bytes whose end touches an inaccessible page, so that reading or writing one byte
// past them faults. Valid until the next call with the same `slot`.
void* GuardedBytes(size_t size, int slot = 0);

std::string Narrow(const std::wstring& text);

// The Direct3D objects still referenced, by interface ("IDirect3DDevice9 1, IDirect3DTexture9 2").
std::string LiveDirect3D();

// The records of the session's log whose text starts with `prefix`.
std::vector<LogRecord> RecordsStartingWith(const LogCapture& log, const std::wstring& prefix);

}  // namespace reliability
