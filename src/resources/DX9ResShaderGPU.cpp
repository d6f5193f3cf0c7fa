#include "DX9ResShaderGPU.h"

#include "DeviceSlots.h"
#include "ErrorReporting.h"
#include "RenderAccess.h"

#include <d3dx9shader.h>
#include <cstring>
#include <mutex>

using namespace Veltra;
using namespace VeltraRender;

namespace {

// One Cg context serves every shader of the process; it lives from the first
// shader's construction to the last one's destruction.
std::mutex s_contextMutex;
CGcontext g_context = nullptr;
uint32_t g_contextUsers = 0;

const char* const ErrorVertexProgram = "float4 main() : POSITION { return float4(0.0, 0.0, 0.0, 0.0); };";
const char* const ErrorPixelProgram = "float4 main() : COLOR { return float4(1.0, 0.0, 0.5, 1.0); }; ";

const char* ProfileArguments20[] = {"-DPROFILE_2_0", nullptr};
const char* ProfileArguments2X[] = {"-DPROFILE_2_X", "-unroll", "all", "-ifcvt", "all", nullptr};
const char* ProfileArguments30[] = {"-DPROFILE_3_0", "-unroll", "all", "-ifcvt", "all", nullptr};

} // namespace

// The Cg profiles and compiler arguments for the device's shader level.
struct DX9ResShaderGPU::Profile {
    CGprofile vertex;
    CGprofile pixel;
    const char** arguments;

    static Profile ForLevel(int32_t level)
    {
        switch (level) {
        case 1:
            return {CG_PROFILE_VS_2_X, CG_PROFILE_PS_2_X, ProfileArguments2X};
        case 2:
            return {CG_PROFILE_VS_3_0, CG_PROFILE_PS_3_0, ProfileArguments30};
        default:
            return {CG_PROFILE_VS_2_0, CG_PROFILE_PS_2_0, ProfileArguments20};
        }
    }
};

DX9ResShaderGPU::DX9ResShaderGPU()
{
    std::lock_guard<std::mutex> lock(s_contextMutex);
    if (g_contextUsers == 0)
        g_context = cgCreateContext();
    ++g_contextUsers;
}

DX9ResShaderGPU::~DX9ResShaderGPU()
{
    const bool holdsPrograms = _vertexProgram || _pixelProgram || _cgVertexProgram || _cgPixelProgram;
    if (GetState() != rsDestroyed || holdsPrograms)
        Destroy();
    std::lock_guard<std::mutex> lock(s_contextMutex);
    if (g_contextUsers != 0)
        --g_contextUsers;
    if (g_contextUsers == 0) {
        cgDestroyContext(g_context);
        CgFailed(L"cgDestroyContext(g_context)");
    }
}

void DX9ResShaderGPU::SetSettings(boost::weak_ptr<IRender> render, const ResourceHeader& settings)
{
    if (_vertexProgram || _pixelProgram || _cgVertexProgram || _cgPixelProgram)
        Destroy();  // programs given again are compiled anew: the ones it holds go first
    _settings = static_cast<const ShaderSettings&>(settings);
    _settings.render = render;
    RenderAccess access(_settings.render);
    const Profile profile = Profile::ForLevel(access.Render().GetShaderLevel());
    Compile(access.Device(), profile);
    SetState(rsReady);
}

void DX9ResShaderGPU::Compile(IDirect3DDevice9* device, const Profile& profile)
{
    bool usingErrorPrograms = false;
    for (;;) {
        try {
            CompileAttempt(device, profile);
            return;
        } catch (...) {
            // Whatever the failing step was, the attempt is over.
        }
        ReleasePrograms();
        if (usingErrorPrograms)
            ThrowError(ecDXError);
        LogAlways(LogWarning, L"Shader compiler error, using 'error' shader\n");
        _settings.vertexShaderCode = ErrorVertexProgram;
        _settings.pixelShaderCode = ErrorPixelProgram;
        usingErrorPrograms = true;
    }
}

namespace {

// Cg source -> assembly text -> Direct3D shader tokens.
ID3DXBuffer* CompileToTokens(CGprogram& program, const std::string& source, CGprofile profile,
                             const char** arguments, const wchar_t* createText)
{
    program = cgCreateProgram(g_context, CG_SOURCE, source.c_str(), profile, "main", arguments);
    if (CGerror error = CgFailed(createText)) {
        LogCgListing(cgGetLastListing(g_context));  // the compiler's own words: line, column, message
        throw VeltraException{ecCGError, static_cast<int32_t>(error)};
    }
    const char* assembly = cgGetProgramString(program, CG_COMPILED_PROGRAM);
    if (CGerror error = CgFailed(L""))
        throw VeltraException{ecCGError, static_cast<int32_t>(error)};
    if (!assembly)
        ThrowError(ecCGError);

    ID3DXBuffer* tokens = nullptr;
    ID3DXBuffer* messages = nullptr;
    const HRESULT result = D3DXAssembleShader(assembly, static_cast<UINT>(std::strlen(assembly)), nullptr, nullptr,
                                              D3DXSHADER_SKIPVALIDATION, &tokens, &messages);
    if (messages)
        messages->Release();
    if (result != 0 || !tokens) {
        if (tokens)
            tokens->Release();
        ThrowError(ecDXError);
    }
    return tokens;
}

} // namespace

void DX9ResShaderGPU::CompileAttempt(IDirect3DDevice9* device, const Profile& profile)
{
    // Cg keeps one pending error for the whole process: an error the host's own use of Cg
    // left behind must not read as this compile's.
    cgGetError();

    ID3DXBuffer* tokens = CompileToTokens(
        _cgVertexProgram, _settings.vertexShaderCode, profile.vertex, profile.arguments,
        L"_cgVertexProgram = cgCreateProgram(g_context, CG_SOURCE, (LPCSTR)_settings.vertexShaderCode, vertexProfile, \"main\", profileparms)");
    HRESULT result = device->CreateVertexShader(static_cast<const DWORD*>(tokens->GetBufferPointer()), &_vertexProgram);
    tokens->Release();
    if (result != 0)
        ThrowError(ecDXError);

    tokens = CompileToTokens(
        _cgPixelProgram, _settings.pixelShaderCode, profile.pixel, profile.arguments,
        L"_cgPixelProgram = cgCreateProgram(g_context, CG_SOURCE, (LPCSTR)_settings.pixelShaderCode, pixelProfile, \"main\", profileparms)");
    result = device->CreatePixelShader(static_cast<const DWORD*>(tokens->GetBufferPointer()), &_pixelProgram);
    tokens->Release();
    if (result != 0)
        ThrowError(ecDXError);
}

void DX9ResShaderGPU::ReleasePrograms()
{
    ReleaseOwned(_pixelProgram, this, L"DX9ResShaderGPU(%X)::Destroy() - PixelProgram Not Released, RefCount = %d\n");
    if (_cgPixelProgram) {
        cgDestroyProgram(_cgPixelProgram);
        CgFailed(L"cgDestroyProgram(_cgPixelProgram)");
        _cgPixelProgram = nullptr;
    }
    ReleaseOwned(_vertexProgram, this, L"DX9ResShaderGPU(%X)::Destroy() - VertexProgram Not Released, RefCount = %d\n");
    if (_cgVertexProgram) {
        cgDestroyProgram(_cgVertexProgram);
        CgFailed(L"cgDestroyProgram(_cgVertexProgram)");
        _cgVertexProgram = nullptr;
    }
}

void DX9ResShaderGPU::Select(uint32_t)
{
    RenderAccess access(_settings.render);
    IDirect3DDevice9* device = access.Device();
    SetState(rsSelected);
    DXFailed(device->SetVertexShader(_vertexProgram), L"device->SetVertexShader(_vertexProgram)");
    for (const auto& parameter : _vertexParameters)
        UploadParameter(0, parameter.first, parameter.second);
    DXFailed(device->SetPixelShader(_pixelProgram), L"device->SetPixelShader(_pixelProgram)");
    for (const auto& parameter : _pixelParameters)
        UploadParameter(1, parameter.first, parameter.second);
    SetState(rsSelected);
}

void DX9ResShaderGPU::DeSelect(uint32_t)
{
    RenderAccess access(_settings.render);
    IDirect3DDevice9* device = access.Device();
    DXFailed(device->SetPixelShader(nullptr), L"device->SetPixelShader(0)");
    DXFailed(device->SetVertexShader(nullptr), L"device->SetVertexShader(0)");
    SetState(rsReady);
}

void DX9ResShaderGPU::Target(uint32_t)
{
    ThrowError(ecInvalidOperation);
}

void DX9ResShaderGPU::TransferTo(boost::shared_ptr<IResource>)
{
    ThrowError(ecInvalidOperation);
}

void DX9ResShaderGPU::UnbindFromDevice()
{
    RenderAccess access(_settings.render);
    IDirect3DDevice9* device = access.Device();
    if (DeviceHoldsProgram(1))
        DXFailed(device->SetPixelShader(nullptr), L"device->SetPixelShader(0)");
    if (DeviceHoldsProgram(0))
        DXFailed(device->SetVertexShader(nullptr), L"device->SetVertexShader(0)");
    SetState(rsReady);
}

bool DX9ResShaderGPU::DeviceHoldsProgram(uint32_t selector)
{
    RenderAccess access(_settings.render);
    IDirect3DDevice9* device = access.Device();
    if (selector == 0) {
        ComReference<IDirect3DVertexShader9> vertex;
        return DeviceHolds(device->GetVertexShader(vertex.Receive()), vertex, _vertexProgram,
                           L"device->GetVertexShader(&vertexShader)");
    }
    ComReference<IDirect3DPixelShader9> pixel;
    return DeviceHolds(device->GetPixelShader(pixel.Receive()), pixel, _pixelProgram, L"device->GetPixelShader(&pixelShader)");
}

void DX9ResShaderGPU::Destroy()
{
    if (_vertexProgram || _pixelProgram) {
        // Unbinds what the device still holds of this shader, and only that: a shader
        // the host selected after this one stays bound. Without its render (a render
        // destroyed with the shader still bound) the programs cannot be unbound, but they
        // are released all the same.
        try {
            UnbindFromDevice();
        } catch (const boost::bad_weak_ptr&) {
        } catch (const VeltraException&) {
        }
    }
    ReleasePrograms();
    SetState(rsDestroyed);
}
