// What Wine, D3DX and Mesa keep by themselves, without the plug-in, for the two long-run
// phases whose memory grows: the device's life cycle as the only render makes it, and
// shader assembly. The long runs' growth is judged against these figures.
//
//   platform_baseline [--cycles N] [--assemblies N]   (defaults 1500 and 20 000)

#include "StressSupport.h"

#include <d3dx9.h>

#include <cstdio>

namespace {

// Growth per cycle between a sample after a tenth of the cycles and the end.
template <typename Cycle>
void Measure(const char* name, long cycles, Cycle cycle)
{
    uint64_t first = 0;
    const Stopwatch clock;
    for (long c = 0; c < cycles; ++c) {
        cycle();
        if (c == cycles / 10)
            first = MeasureProcess().privateBytes;
    }
    const uint64_t last = MeasureProcess().privateBytes;
    const long measured = cycles - cycles / 10 - 1;
    std::printf("%-40s %6ld cycles %7.1f s  private MiB %7.2f -> %7.2f  %7.1f bytes a cycle\n", name, cycles,
                clock.Seconds(), first / 1048576.0, last / 1048576.0,
                measured > 0 ? (static_cast<double>(last) - static_cast<double>(first)) / measured : 0.0);
}

HWND Window(const wchar_t* title, DWORD style)
{
    return CreateWindowExW(0, L"VeltraBaseline", title, WS_POPUP | style, 0, 0, 64, 48, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

template <typename Object>
void Release(Object*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// What Initialize and Shutdown of the only render make and release, as plain calls:
// hidden window, 9Ex device, event query, a swap chain into the host's window, the
// default quad's three vertex buffers.
void DeviceLifecycle(HWND host)
{
    HWND hidden = Window(L"hidden", 0);
    IDirect3D9Ex* direct3D = nullptr;
    IDirect3DDevice9Ex* device = nullptr;
    IDirect3DQuery9* query = nullptr;
    IDirect3DSwapChain9* chain = nullptr;
    IDirect3DVertexBuffer9* buffers[3] = {};
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = 64;
    parameters.BackBufferHeight = 48;
    parameters.BackBufferFormat = D3DFMT_A8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = hidden;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (SUCCEEDED(Direct3DCreate9Ex(D3D_SDK_VERSION, &direct3D)) &&
        SUCCEEDED(direct3D->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED |
                                               D3DCREATE_FPU_PRESERVE,
                                           &parameters, nullptr, &device))) {
        device->CreateQuery(D3DQUERYTYPE_EVENT, &query);
        D3DPRESENT_PARAMETERS chainParameters = parameters;
        chainParameters.hDeviceWindow = host;
        chainParameters.EnableAutoDepthStencil = FALSE;
        device->CreateAdditionalSwapChain(&chainParameters, &chain);
        for (IDirect3DVertexBuffer9*& buffer : buffers)
            device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &buffer, nullptr);
    }
    for (IDirect3DVertexBuffer9*& buffer : buffers)
        Release(buffer);
    Release(chain);
    Release(query);
    Release(device);
    Release(direct3D);
    DestroyWindow(hidden);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

void Assemble()
{
    static const char text[] = "vs_3_0\ndcl_position v0\ndcl_position o0\n"
                               "dp4 o0.x, v0, c0\ndp4 o0.y, v0, c1\ndp4 o0.z, v0, c2\ndp4 o0.w, v0, c3\n";
    ID3DXBuffer* tokens = nullptr;
    ID3DXBuffer* messages = nullptr;
    D3DXAssembleShader(text, sizeof text - 1, nullptr, nullptr, D3DXSHADER_SKIPVALIDATION, &tokens, &messages);
    Release(messages);
    Release(tokens);
}

} // namespace

int main(int argc, char** argv)
{
    const long cycles = NumberArgument(argc, argv, "--cycles", "VELTRA_BASELINE_CYCLES", 1500);
    const long assemblies = NumberArgument(argc, argv, "--assemblies", "VELTRA_BASELINE_ASSEMBLIES", 20000);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VeltraBaseline";
    RegisterClassW(&windowClass);
    HWND host = Window(L"Veltra platform baseline", WS_VISIBLE);
    Measure("D3DXAssembleShader of a vs_3_0 program", assemblies, Assemble);
    Measure("device life cycle, no plug-in", cycles, [host] { DeviceLifecycle(host); });
    DestroyWindow(host);
    return 0;
}
