// The smallest host: load the plug-in, find RenderDX9, initialise a render, report.
#include <VeltraRender/VeltraRender.h>

#include <windows.h>
#include <cstdio>
#include <cwchar>

int main()
{
    HMODULE plugin = LoadLibraryW(L"VeltraRenderDirectX.dll");
    const VeltraRender::VeltraRenderData* list = plugin ? reinterpret_cast<const VeltraRender::VeltraRenderData*>(
        GetProcAddress(plugin, VeltraRender::RenderListExportName)) : nullptr;
    for (; list && list->name; ++list) {
        if (std::wcscmp(list->name, L"RenderDX9") != 0)
            continue;
        boost::shared_ptr<VeltraRender::IRender> render = list->create();
        VeltraRender::RenderSettings settings;
        settings.width = 64;
        settings.height = 64;
        settings.pixelAspect = 1.0;
        if (!render->Initialize(render, settings))
            return 1;
        VeltraRender::RenderInfo info;
        render->GetRenderInfo(&info);
        std::wprintf(L"%ls on %ls, shader level %d\n", info.name, info.description, render->GetShaderLevel());
        return render->Shutdown() ? 0 : 1;
    }
    std::fprintf(stderr, "no RenderDX9 in the plug-in\n");
    return 1;
}
