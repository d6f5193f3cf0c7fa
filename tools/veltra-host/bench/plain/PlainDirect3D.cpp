#include "bench/plain/PlainDirect3D.h"

#include "bench/plain/PlainTransfers.h"
#include "common/HostErrors.h"
#include "common/PlainDirect3DSupport.h"

#include <d3dx9shader.h>

#include <cstring>

namespace {

template <class Buffer> void Fill(Buffer* buffer, const void* data, UINT bytes)
{
    void* memory = nullptr;
    CheckPlain(buffer->Lock(0, 0, &memory, 0), "Lock");
    std::memcpy(memory, data, bytes);
    buffer->Unlock();
}

} // namespace

PlainDirect3D::PlainDirect3D()
{
    _d3d9 = LoadLibraryW(L"d3d9.dll");
    _d3dx9 = LoadLibraryW(L"d3dx9_42.dll");
    const Create9ExFunction create = Resolve<Create9ExFunction>(_d3d9, "Direct3DCreate9Ex");
    if (!create || FAILED(create(D3D_SDK_VERSION, _direct3D.Receive())) || !_direct3D)
        throw HostFailure("Direct3D 9Ex is not available for the plain Direct3D path");
    if (!Resolve<AssembleFunction>(_d3dx9, "D3DXAssembleShader"))
        throw HostFailure("d3dx9_42.dll (D3DXAssembleShader) is not available");

    _window = CreateWindowExW(0, L"STATIC", L"veltra-host plain Direct3D", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    D3DPRESENT_PARAMETERS parameters = WindowedPresentParameters(_window, 64, 64, D3DFMT_X8R8G8B8);
    if (FAILED(_direct3D->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, _window, PlainDeviceBehaviour, &parameters, nullptr,
                                         _device.Receive())) ||
        !_device)
        throw HostFailure("the plain Direct3D 9Ex device could not be created");
}

PlainDirect3D::~PlainDirect3D()
{
    _device.Reset();
    _direct3D.Reset();
    if (_window)
        DestroyWindow(_window);
    if (_d3dx9)
        FreeLibrary(_d3dx9);
    if (_d3d9)
        FreeLibrary(_d3d9);
}

std::vector<DWORD> PlainDirect3D::Assemble(const std::string& assembly) const
{
    const AssembleFunction assemble = Resolve<AssembleFunction>(_d3dx9, "D3DXAssembleShader");
    ComReference<ID3DXBuffer> tokens, messages;
    if (FAILED(assemble(assembly.c_str(), static_cast<UINT>(assembly.size()), nullptr, nullptr,
                        D3DXSHADER_SKIPVALIDATION, tokens.Receive(), messages.Receive())) ||
        !tokens)
        throw HostFailure("D3DXAssembleShader refused a program of the plain Direct3D path");
    std::vector<DWORD> words(tokens->GetBufferSize() / sizeof(DWORD));
    std::memcpy(words.data(), tokens->GetBufferPointer(), words.size() * sizeof(DWORD));
    return words;
}

ComReference<IDirect3DVertexShader9> PlainDirect3D::VertexShader(const CgProgram& program) const
{
    const std::vector<DWORD> tokens = Assemble(program.Assembly());
    ComReference<IDirect3DVertexShader9> shader;
    CheckPlain(_device->CreateVertexShader(tokens.data(), shader.Receive()), "CreateVertexShader");
    return shader;
}

ComReference<IDirect3DPixelShader9> PlainDirect3D::PixelShader(const CgProgram& program) const
{
    const std::vector<DWORD> tokens = Assemble(program.Assembly());
    ComReference<IDirect3DPixelShader9> shader;
    CheckPlain(_device->CreatePixelShader(tokens.data(), shader.Receive()), "CreatePixelShader");
    return shader;
}

ComReference<IDirect3DVertexBuffer9> PlainDirect3D::VertexBuffer(const void* data, UINT bytes) const
{
    ComReference<IDirect3DVertexBuffer9> buffer;
    CheckPlain(_device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, buffer.Receive(), nullptr),
               "CreateVertexBuffer");
    Fill(buffer.Get(), data, bytes);
    return buffer;
}

ComReference<IDirect3DIndexBuffer9> PlainDirect3D::IndexBuffer(const void* data, UINT bytes) const
{
    ComReference<IDirect3DIndexBuffer9> buffer;
    CheckPlain(_device->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT, buffer.Receive(),
                                          nullptr),
               "CreateIndexBuffer");
    Fill(buffer.Get(), data, bytes);
    return buffer;
}

ComReference<IDirect3DVertexDeclaration9> PlainDirect3D::PassDeclaration() const
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    ComReference<IDirect3DVertexDeclaration9> declaration;
    CheckPlain(_device->CreateVertexDeclaration(elements, declaration.Receive()), "CreateVertexDeclaration");
    return declaration;
}
