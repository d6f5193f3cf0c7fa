// The soak's measurement of the platform alone: what Wine, D3DX and Mesa keep by
// themselves, without the plug-in, for the two phases whose memory moves most.
#include "soak/SoakObjects.h"

#include "common/ComReference.h"
#include "common/HostErrors.h"
#include "common/PlainDirect3DSupport.h"
#include "plugin/DisplayWindow.h"

#include <d3d9.h>
#include <d3dx9shader.h>

namespace {

void Assemble(AssembleFunction assemble)
{
    static const char text[] = "vs_3_0\ndcl_position v0\ndcl_position o0\n"
                               "dp4 o0.x, v0, c0\ndp4 o0.y, v0, c1\ndp4 o0.z, v0, c2\ndp4 o0.w, v0, c3\n";
    ComReference<ID3DXBuffer> tokens, messages;
    assemble(text, sizeof text - 1, nullptr, nullptr, D3DXSHADER_SKIPVALIDATION, tokens.Receive(), messages.Receive());
}

struct HiddenWindow {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    ~HiddenWindow() { DestroyWindow(window); }
};

// What Initialize and Shutdown of the only render make and release, as plain calls:
// a hidden window, the 9Ex device, an event query, a swap chain into the host's window
// and the default quad's three vertex buffers.
bool DeviceLifecycle(Create9ExFunction create, HWND host)
{
    const HiddenWindow hidden;
    ComReference<IDirect3D9Ex> direct3D;
    ComReference<IDirect3DDevice9Ex> device;
    D3DPRESENT_PARAMETERS parameters = WindowedPresentParameters(hidden.window, 64, 48, D3DFMT_A8R8G8B8);
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (FAILED(create(D3D_SDK_VERSION, direct3D.Receive())) ||
        FAILED(direct3D->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, PlainDeviceBehaviour, &parameters, nullptr,
                                        device.Receive())))
        return false;
    ComReference<IDirect3DQuery9> query;
    ComReference<IDirect3DSwapChain9> chain;
    ComReference<IDirect3DVertexBuffer9> buffers[3];
    device->CreateQuery(D3DQUERYTYPE_EVENT, query.Receive());
    D3DPRESENT_PARAMETERS chainParameters = parameters;
    chainParameters.hDeviceWindow = host;
    chainParameters.EnableAutoDepthStencil = FALSE;
    device->CreateAdditionalSwapChain(&chainParameters, chain.Receive());
    for (ComReference<IDirect3DVertexBuffer9>& buffer : buffers)
        device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, buffer.Receive(), nullptr);
    return true;
}

} // namespace

std::vector<SoakPhase> SoakPlatform(long cycles, long lifecycles, Progress& progress)
{
    const HMODULE d3d9 = LoadLibraryW(L"d3d9.dll");
    const HMODULE d3dx9 = LoadLibraryW(L"d3dx9_42.dll");
    const auto create = Resolve<Create9ExFunction>(d3d9, "Direct3DCreate9Ex");
    const auto assemble = Resolve<AssembleFunction>(d3dx9, "D3DXAssembleShader");
    if (!create || !assemble)
        throw HostFailure("Direct3D 9Ex or d3dx9_42.dll (D3DXAssembleShader) is not available");

    std::vector<SoakPhase> phases(2);
    phases[0].name = "D3DXAssembleShader, no plug-in";
    phases[0].cycles = cycles;
    RunPhase(phases[0], [&](long, SoakPhase&) { Assemble(assemble); }, nullptr, progress);

    DisplayWindow host(64, 48, "veltra-host soak");
    phases[1].name = "device life cycle, no plug-in";
    phases[1].cycles = lifecycles;
    RunPhase(
        phases[1],
        [&](long c, SoakPhase& phase) {
            if (!DeviceLifecycle(create, host.Handle()))
                phase.Fail(c, "no Direct3D 9Ex device");
            host.PumpMessages();
        },
        nullptr, progress);
    FreeLibrary(d3dx9);
    FreeLibrary(d3d9);
    return phases;
}
