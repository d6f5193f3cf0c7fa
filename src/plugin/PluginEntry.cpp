// The library entry point, the exported render list and its factory.

#include "../render/RenderDX9.h"

#include <VeltraRender/RenderList.h>

#include <windows.h>

namespace {

boost::shared_ptr<VeltraRender::IRender> CreateRenderDX9()
{
    boost::shared_ptr<RenderDX9> render(new RenderDX9());
    return render;
}

} // namespace

// The plug-in's only export, resolved by name by the host.
__declspec(dllexport) VeltraRender::VeltraRenderData g_VeltraRenderList[] = {
    {L"RenderDX9", &CreateRenderDX9},
    {nullptr, nullptr},
};

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(module);
    return TRUE;
}
