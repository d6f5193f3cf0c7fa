#pragma once
// A pair of Cg programs, vertex and pixel, compiled by NVIDIA's Cg runtime to
// Direct3D shader assembly, assembled by D3DX and created on the shared device.
// When anything in that chain fails the shader falls back, once, to a fixed pair of
// error programs. Uniform values are kept by name and uploaded whenever the shader
// is selected.

#include "ResourceCommon.h"

#include <VeltraRender/ShaderSettings.h>
#include <VeltraRender/ShaderValue.h>

#include <Cg/cg.h>
#include <d3d9.h>
#include <map>
#include <set>
#include <string>

class DX9ResShaderGPU : public ResourceCommon<VeltraRender::IResShaderGPU, VeltraRender::ShaderSettings> {
public:
    DX9ResShaderGPU();
    virtual ~DX9ResShaderGPU();

    DX9ResShaderGPU(const DX9ResShaderGPU&) = delete;
    DX9ResShaderGPU& operator=(const DX9ResShaderGPU&) = delete;

    void Destroy() override;
    void TransferTo(boost::shared_ptr<VeltraRender::IResource> destination) override;
    void SetSettings(boost::weak_ptr<VeltraRender::IRender> render, const VeltraRender::ResourceHeader& settings) override;
    void Select(uint32_t hardwareUnit) override;
    void Target(uint32_t unit) override;
    void DeSelect(uint32_t hardwareUnit) override;
    void SetVertexParameter(const std::string& name, const VeltraRender::ShaderValue& value) override;
    void SetPixelParameter(const std::string& name, const VeltraRender::ShaderValue& value) override;

    // Writes one uniform into the constant registers of the vertex program
    // (selector 0) or the pixel program (any other selector).
    void UploadParameter(uint32_t selector, const std::string& name, const VeltraRender::ShaderValue& value);

private:
    struct Profile;

    void Compile(IDirect3DDevice9* device, const Profile& profile);
    void CompileAttempt(IDirect3DDevice9* device, const Profile& profile);
    void ReleasePrograms();
    // Says once per program and name when a host's uniform reaches no register.
    void CheckUniformName(uint32_t selector, const std::string& name);
    // Destruction's deselection: clears each program slot of the device that still
    // holds this shader's program.
    void UnbindFromDevice();
    // Whether the device's vertex (selector 0) or pixel program is this shader's.
    bool DeviceHoldsProgram(uint32_t selector);

    CGprogram _cgVertexProgram = nullptr;
    IDirect3DVertexShader9* _vertexProgram = nullptr;
    CGprogram _cgPixelProgram = nullptr;
    IDirect3DPixelShader9* _pixelProgram = nullptr;
    std::map<std::string, VeltraRender::ShaderValue> _vertexParameters;  // in byte order of the names
    std::map<std::string, VeltraRender::ShaderValue> _pixelParameters;
    std::set<std::string> _checkedNames[2];  // uniform names looked up once: vertex, pixel
};
