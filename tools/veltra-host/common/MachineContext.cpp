#include "common/MachineContext.h"

#include "common/HostPaths.h"
#include "common/PlainDirect3DSupport.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string UtcNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

// Wine's version and the system it runs on; Windows' version otherwise.
void AddSystem(nlohmann::json& context)
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    typedef const char*(CDECL * WineVersion)();
    typedef void(CDECL * HostVersion)(const char**, const char**);
    if (const WineVersion version = Resolve<WineVersion>(ntdll, "wine_get_version")) {
        context["wine"] = version();
        const char* system = nullptr;
        const char* release = nullptr;
        if (const HostVersion host = Resolve<HostVersion>(ntdll, "wine_get_host_version")) {
            host(&system, &release);
            context["hostSystem"] = std::string(system ? system : "") + " " + (release ? release : "");
        }
        return;
    }
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    typedef LONG(WINAPI * GetVersionFunction)(OSVERSIONINFOW*);
    if (const auto getVersion = Resolve<GetVersionFunction>(ntdll, "RtlGetVersion"); getVersion && !getVersion(&info))
        context["windows"] = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
                             std::to_string(info.dwBuildNumber);
}

// The OpenGL strings of a context made on a hidden window: on Wine, Mesa's.
void AddOpenGl(nlohmann::json& context)
{
    const HMODULE opengl = LoadLibraryW(L"opengl32.dll");
    typedef HGLRC(WINAPI * CreateContext)(HDC);
    typedef BOOL(WINAPI * MakeCurrent)(HDC, HGLRC);
    typedef BOOL(WINAPI * DeleteContext)(HGLRC);
    typedef const unsigned char*(WINAPI * GetString)(unsigned);
    const auto create = Resolve<CreateContext>(opengl, "wglCreateContext");
    const auto makeCurrent = Resolve<MakeCurrent>(opengl, "wglMakeCurrent");
    const auto remove = Resolve<DeleteContext>(opengl, "wglDeleteContext");
    const auto getString = Resolve<GetString>(opengl, "glGetString");
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, nullptr, nullptr);
    HDC dc = window ? GetDC(window) : nullptr;
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    HGLRC gl = nullptr;
    if (create && makeCurrent && remove && getString && dc && SetPixelFormat(dc, ChoosePixelFormat(dc, &format), &format) &&
        (gl = create(dc)) != nullptr && makeCurrent(dc, gl)) {
        const unsigned GlVendor = 0x1F00, GlRenderer = 0x1F01, GlVersion = 0x1F02;
        for (const auto& [key, name] : {std::pair<const char*, unsigned>{"glVendor", GlVendor},
                                        {"glRenderer", GlRenderer}, {"glVersion", GlVersion}})
            if (const unsigned char* text = getString(name))
                context[key] = reinterpret_cast<const char*>(text);
        makeCurrent(nullptr, nullptr);
        remove(gl);
    }
    if (dc)
        ReleaseDC(window, dc);
    if (window)
        DestroyWindow(window);
    if (opengl)
        FreeLibrary(opengl);
}

std::string ProcessorName()
{
    wchar_t name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString",
                     RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS)
        return "unknown";
    std::string text = Narrow(name);
    text.erase(0, text.find_first_not_of(' '));
    return text;
}

// Under Wine, the load of the machine the measurement shares (Linux's /proc, seen
// through Wine's Z: drive); nothing elsewhere.
void AddLoad(nlohmann::json& context)
{
    if (!context.contains("wine"))
        return;
    HANDLE file = CreateFileW(L"Z:\\proc\\loadavg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char text[128] = {};
    DWORD read = 0;
    if (file == INVALID_HANDLE_VALUE)
        return;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);  // a file of /proc tells no size: read what comes
    CloseHandle(file);
    const std::string averages(text, read);
    const size_t third = averages.find(' ', averages.find(' ', averages.find(' ') + 1) + 1);
    if (read && third != std::string::npos)
        context["loadAverage"] = averages.substr(0, third);
}

} // namespace

nlohmann::json MachineContext()
{
    nlohmann::json context;
    context["date"] = UtcNow();
    AddSystem(context);
    AddOpenGl(context);
    context["processor"] = ProcessorName();
    context["logicalProcessors"] = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    AddLoad(context);
    return context;
}
