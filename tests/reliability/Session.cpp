#include "Session.h"

#include "HostWindow.h"

#include <windows.h>

#include <new>
#include <stdexcept>

namespace reliability {

std::string Leftovers::Describe() const
{
    std::string text;
    auto add = [&](int count, const char* what) {
        if (count)
            text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    };
    add(objects, "Direct3D objects");
    add(programs, "Cg programs");
    add(contexts, "Cg contexts");
    if (hiddenWindow)
        text += std::string(text.empty() ? "" : ", ") + "the hidden device window";
    return text;
}

Session::Session(const wchar_t* levels)
    : log(levels)
{
    d3d9double::Reset();
    cgdouble::Reset();
    _programsBefore = cgdouble::LivePrograms();
    _contextsBefore = cgdouble::LiveContexts();
    _plugin = std::make_unique<PluginLibrary>();
}

Session::~Session()
{
    if (_plugin)
        End();
}

Leftovers Session::End()
{
    Leftovers left;
    if (HWND window = FindHiddenDeviceWindow()) {
        left.hiddenWindow = true;
        DestroyWindow(window);
    }
    _plugin.reset();
    left.objects = d3d9double::LiveObjects();
    left.programs = cgdouble::LivePrograms() - _programsBefore;
    left.contexts = cgdouble::LiveContexts() - _contextsBefore;
    for (int guard = 0; guard < 100000; ++guard) {
        const std::vector<IUnknown*> live = d3d9double::LiveObjectsOf("");
        if (live.empty())
            break;
        live.front()->Release();
    }
    return left;
}

std::string ErrorName(Veltra::ErrorCode code)
{
    static const char* const names[]
        = {"ecInvalidParameter", "ecOutOfMemory", "ecFeatureNotSupported", "ecCreateGPUResourceFailed",
            "ecCreateCPUResourceFailed", "ecInvalidOperation", "ecBadState", "ecGLError", "ecCGError", "ecDXError"};
    return code < 10 ? names[code] : "error code " + std::to_string(code);
}

std::string Outcome(const std::function<void()>& call)
{
    try {
        call();
        return std::string();
    } catch (const Veltra::VeltraException& error) {
        return "VeltraException " + ErrorName(error.code);
    } catch (const boost::bad_weak_ptr&) {
        return "boost::bad_weak_ptr";
    } catch (const std::exception& error) {
        return std::string("std::exception: ") + error.what();
    } catch (...) {
        return "an exception of unknown type";
    }
}

void* GuardedBytes(size_t size, int slot)
{
    struct Region {
        uint8_t* base = nullptr;
        size_t usable = 0;
    };
    static Region regions[4];
    Region& region = regions[slot];
    const size_t page = 4096;
    const size_t needed = (size + page - 1) / page * page;
    if (needed > region.usable) {
        if (region.base)
            VirtualFree(region.base, 0, MEM_RELEASE);
        region.base
            = static_cast<uint8_t*>(VirtualAlloc(nullptr, needed + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!region.base)
            throw std::bad_alloc();
        DWORD old = 0;
        VirtualProtect(region.base + needed, page, PAGE_NOACCESS, &old);
        region.usable = needed;
    }
    return region.base + region.usable - size;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += c == L'\n' ? ' ' : c < 128 ? static_cast<char>(c) : '?';
    while (!narrow.empty() && narrow.back() == ' ')
        narrow.pop_back();
    return narrow;
}

std::string LiveDirect3D()
{
    std::string text;
    for (const char* name : {"IDirect3D9", "IDirect3DDevice9", "IDirect3DSwapChain9", "IDirect3DTexture9",
             "IDirect3DSurface9", "IDirect3DVertexBuffer9", "IDirect3DIndexBuffer9", "IDirect3DVertexShader9",
             "IDirect3DPixelShader9", "IDirect3DVertexDeclaration9", "IDirect3DQuery9"})
        if (const int count = d3d9double::LiveObjects(name))
            text += (text.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(count);
    return text.empty() ? "none" : text;
}

std::vector<LogRecord> RecordsStartingWith(const LogCapture& log, const std::wstring& prefix)
{
    std::vector<LogRecord> found;
    for (const LogRecord& record : log.Records())
        if (record.text.compare(0, prefix.size(), prefix) == 0)
            found.push_back(record);
    return found;
}

}  // namespace reliability
