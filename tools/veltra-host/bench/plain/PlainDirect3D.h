// The benchmark's own Direct3D 9Ex device, made without the plug-in: d3d9.dll and
// d3dx9_42.dll are loaded at run time, the device is created as the plug-in creates
// its shared one (hardware vertex processing, multithreaded, on a hidden window).
#pragma once

#include "common/ComReference.h"
#include "scene/CgCompiler.h"

#include <d3d9.h>

#include <string>
#include <vector>

class PlainDirect3D {
public:
    // Throws HostFailure when Direct3D 9Ex or the device is not available.
    PlainDirect3D();
    ~PlainDirect3D();
    PlainDirect3D(const PlainDirect3D&) = delete;
    PlainDirect3D& operator=(const PlainDirect3D&) = delete;

    IDirect3DDevice9Ex* Device() const { return _device.Get(); }
    // Shader tokens from Direct3D assembly text, through D3DXAssembleShader.
    std::vector<DWORD> Assemble(const std::string& assembly) const;
    // Shaders from programs the host's Cg compiled (their Direct3D assembly).
    ComReference<IDirect3DVertexShader9> VertexShader(const CgProgram& program) const;
    ComReference<IDirect3DPixelShader9> PixelShader(const CgProgram& program) const;
    // Write-only buffers in the default pool holding `bytes` of `data`; indices are 32-bit.
    ComReference<IDirect3DVertexBuffer9> VertexBuffer(const void* data, UINT bytes) const;
    ComReference<IDirect3DIndexBuffer9> IndexBuffer(const void* data, UINT bytes) const;
    // The declaration of the host's passes: positions (float3) from stream 0, texture
    // coordinates (float2) from stream 1.
    ComReference<IDirect3DVertexDeclaration9> PassDeclaration() const;

private:
    HMODULE _d3d9 = nullptr;
    HMODULE _d3dx9 = nullptr;
    HWND _window = nullptr;
    ComReference<IDirect3D9Ex> _direct3D;
    ComReference<IDirect3DDevice9Ex> _device;
};
