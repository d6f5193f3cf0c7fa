#include "plugin/PluginHost.h"

#include "common/HostErrors.h"
#include "common/HostPaths.h"
#include "plugin/MissingModule.h"

#include <boost/pointer_cast.hpp>

#include <cwchar>
#include <vector>

using namespace VeltraRender;

PluginHost::PluginHost()
{
    _library = LoadLibraryW(L"VeltraRenderDirectX.dll");
    if (!_library)
        throw HostFailure(LoadFailure("VeltraRenderDirectX.dll", GetLastError()));
    const VeltraRenderData* list =
        reinterpret_cast<const VeltraRenderData*>(GetProcAddress(_library, RenderListExportName));
    for (; list && (list->name || list->create); ++list)
        if (list->name && std::wcscmp(list->name, L"RenderDX9") == 0)
            _create = list->create;
    if (!_create) {
        FreeLibrary(_library);
        throw HostFailure(std::string("VeltraRenderDirectX.dll has no RenderDX9 entry in ") + RenderListExportName);
    }
}

PluginHost::~PluginHost()
{
    Stop();
    FreeLibrary(_library);
}

boost::shared_ptr<IRender> PluginHost::NewRender(HWND window, int width, int height)
{
    boost::shared_ptr<IRender> render = _create();
    RenderSettings settings;
    settings.window = window;
    settings.width = width;
    settings.height = height;
    settings.pixelAspect = 1.0;
    if (!render || !render->Initialize(boost::weak_ptr<IRender>(render), settings))
        return nullptr;
    return render;
}

IRender& PluginHost::Start(HWND window, int width, int height)
{
    _render = NewRender(window, width, height);
    if (!_render)
        throw HostFailure("the plug-in's Initialize failed: no Direct3D 9 device (set VELTRA_LOG=293:0-5 to see why)");
    // Direct3D culls the plug-in's quads by default and tests depth: no culling, no depth test.
    _render->SelectState(_render->CreateState(RasterSettings()), 0);
    _render->SelectState(_render->CreateState(DepthSettings()), 0);
    return *_render;
}

void PluginHost::Stop()
{
    if (!_render)
        return;
    _render->Shutdown();
    _render.reset();
}

std::string PluginHost::LibraryPath() const
{
    std::vector<wchar_t> path(MAX_PATH * 4);
    const DWORD length = GetModuleFileNameW(_library, path.data(), static_cast<DWORD>(path.size()));
    return Narrow(std::wstring(path.data(), length));
}

boost::shared_ptr<VeltraRender::IResBufferGPU> CreateBuffer(VeltraRender::IRender& render, uint32_t kind,
                                                            uint32_t components, int count, const void* data)
{
    VeltraRender::BufferSettings settings;
    settings.kind = kind;
    settings.components = components;
    settings.count = count;
    settings.data = data;
    return boost::dynamic_pointer_cast<VeltraRender::IResBufferGPU>(render.CreateResourceGPU(settings));
}

VeltraRender::TextureSettings ImageSettings(VeltraRender::ResourceType type, int width, int height)
{
    VeltraRender::TextureSettings settings;
    settings.type = type;
    settings.image.pixelWidth = width;
    settings.image.pixelHeight = height;
    settings.image.pixelFormat = VeltraRender::pfColor0;
    settings.image.rowBytes = width * 4;
    return settings;
}

std::string TextOf(const wchar_t* text)
{
    return Narrow(text);
}
