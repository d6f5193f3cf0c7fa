// Fault sweep: a standard frame that reaches every Direct3D and Cg call site of the plug-in
// (create, upload, draw, transfer, display, flush, destroy, shut down) runs once clean; then
// once per call site, from a fresh load, with that one call failing. Each run must neither
// crash nor throw except where a failure is meant to throw, must log the failed call once
// in the exact form (unless its result is deliberately not examined) and must leave nothing
// behind.
//
//   fault_sweep.exe [--only=TEXT]   (only the units whose group or name contains TEXT)

#include "Harness.h"
#include "Session.h"

#include "HostWindow.h"
#include "Resources.h"

#include <map>
#include <set>

using namespace VeltraRender;
using namespace reliability;

namespace {

// ---- the standard frame

const char* const VertexSource = "float4 main(float4 p : POSITION) : POSITION { return p; }";
const char* const PixelSource = "float4 main() : COLOR { return float4(1, 1, 1, 1); }";
const float Positions[12] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
const float Normals[12] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
const float TexCoords[16] = {0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1};
const uint32_t Indices[6] = {0, 2, 3, 0, 1, 2};
const float Nine[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

struct Config {
    const char* name;
    void (*prepare)();
};

const Config Configs[] = {
    {"9Ex device, 32-bit indices", [] {}},
    {"plain device, 16-bit indices, D15S1 depth-stencil",
        [] {
            d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
            d3d9double::Caps().MaxVertexIndex = 0xFFFF;
            d3d9double::SetDepthStencilMatch(D3DFMT_D24S8, D3DERR_NOTAVAILABLE);
            d3d9double::SetDepthStencilMatch(D3DFMT_D24X4S4, D3DERR_NOTAVAILABLE);
        }},
};

struct Frame {
    Session* session = nullptr;
    std::vector<uint8_t> exact = std::vector<uint8_t>(16 * 64, 0x5A), padded = std::vector<uint8_t>(16 * 68, 0xA5);
    boost::shared_ptr<IRender> render;
    boost::shared_ptr<IResourceGPU> positions, normals, texCoords, texCoordsSized, indices, shader, gpuExact, gpuPadded,
        gpuSmall, gpuAlpha, target;
    boost::shared_ptr<IResourceCPU> cpu, cpuCopy;
    boost::shared_ptr<IState> states[5];
    bool initialized = false;
};

struct Skip { };  // a step whose objects an earlier failure did not make

template <typename T> const boost::shared_ptr<T>& Need(const boost::shared_ptr<T>& object)
{
    if (!object)
        throw Skip();
    return object;
}

template <typename T> T& As(const boost::shared_ptr<IResourceGPU>& object)
{
    return dynamic_cast<T&>(*Need(object));
}

HWND Window()
{
    static HostWindow window(64, 48);
    return window.Handle();
}

typedef std::pair<const char*, std::function<void(Frame&)>> Step;

const std::vector<Step>& Steps()
{
    static const std::vector<Step> steps = {
        {"create render", [](Frame& f) { f.render = f.session->NewRender(); }},
        {"Initialize",
            [](Frame& f) {
                RenderSettings settings = OffscreenSettings(64, 48);
                settings.window = Window();
                f.initialized = InitializeRender(f.render, settings);
            }},
        {"CheckRender", [](Frame& f) { f.render->CheckRender(); }},
        {"create positions",
            [](Frame& f) { f.positions = f.render->CreateResourceGPU(BufferOf(bkPositions, 3, 4, Positions)); }},
        {"create normals",
            [](Frame& f) { f.normals = f.render->CreateResourceGPU(BufferOf(bkNormals, 3, 4, Normals)); }},
        {"create texcoords",
            [](Frame& f) { f.texCoords = f.render->CreateResourceGPU(BufferOf(bkTexCoords, 4, 4, TexCoords)); }},
        {"create texcoords sized",
            [](Frame& f) {
                f.texCoordsSized = f.render->CreateResourceGPU(BufferOf(bkTexCoordsSized, 2, 4, TexCoords));
            }},
        {"create indices",
            [](Frame& f) { f.indices = f.render->CreateResourceGPU(BufferOf(bkIndices, 0, 6, Indices)); }},
        {"create shader",
            [](Frame& f) {
                ShaderSettings settings;
                settings.vertexShaderCode = VertexSource;
                settings.pixelShaderCode = PixelSource;
                f.shader = f.render->CreateResourceGPU(settings);
            }},
        {"create gpu texture exact rows",
            [](Frame& f) {
                f.gpuExact = f.render->CreateResourceGPU(TextureOf(rtTextureGPU, 16, 16, pfColor0, 64, f.exact.data()));
            }},
        {"create gpu texture padded rows",
            [](Frame& f) {
                f.gpuPadded
                    = f.render->CreateResourceGPU(TextureOf(rtTextureGPU, 16, 16, pfColor0, 68, f.padded.data()));
            }},
        {"create gpu texture small",
            [](Frame& f) { f.gpuSmall = f.render->CreateResourceGPU(TextureOf(rtTextureGPU, 8, 8)); }},
        {"create gpu texture alpha",
            [](Frame& f) { f.gpuAlpha = f.render->CreateResourceGPU(TextureOf(rtTextureGPU, 16, 16, pfA8, 16)); }},
        {"create gpu texture target",
            [](Frame& f) { f.target = f.render->CreateResourceGPU(TextureOf(rtTextureGPU, 64, 48)); }},
        {"create cpu texture",
            [](Frame& f) {
                f.cpu = f.render->CreateResourceCPU(TextureOf(rtTextureCPU, 16, 16, pfColor0, 0, f.exact.data()));
            }},
        {"create cpu texture from gpu",
            [](Frame& f) { f.cpuCopy = f.render->CreateResourceCPU(boost::shared_ptr<IResource>(Need(f.gpuExact))); }},
        {"create states",
            [](Frame& f) {
                RasterSettings raster;
                DepthSettings depth;
                depth.depthTest = true;
                StencilSettings stencil;
                BlendSettings blend;
                blend.enableBlending = true;
                SamplerSettings sampler;
                const ResourceHeader* all[5] = {&raster, &depth, &stencil, &blend, &sampler};
                for (int i = 0; i < 5; ++i)
                    f.states[i] = f.render->CreateState(*all[i]);
            }},
        {"set shader parameters",
            [](Frame& f) {
                IResShaderGPU& shader = As<IResShaderGPU>(f.shader);
                shader.SetVertexParameter("tint", ShaderValue::Block(Nine, 12));
                shader.SetVertexParameter("rotation", ShaderValue::Block(Nine, sizeof Nine));
                shader.SetPixelParameter("strength", ShaderValue::Float(0.5f));
                shader.SetPixelParameter("count", ShaderValue::Int32(3));
            }},
        {"SetResourceData buffer", [](Frame& f) { f.render->SetResourceData(Positions, Need(f.positions)); }},
        {"SetResourceData index buffer", [](Frame& f) { f.render->SetResourceData(Indices, Need(f.indices)); }},
        {"SetResourceData gpu exact rows",
            [](Frame& f) { f.render->SetResourceData(f.exact.data(), Need(f.gpuExact)); }},
        {"SetResourceData gpu padded rows",
            [](Frame& f) { f.render->SetResourceData(f.padded.data(), Need(f.gpuPadded)); }},
        {"SetResourceData cpu", [](Frame& f) { f.render->SetResourceData(f.exact.data(), Need(f.cpu)); }},
        {"Lock/Unlock buffer",
            [](Frame& f) {
                f.render->LockResource(Need(f.normals));
                f.render->UnlockResource(f.normals);
            }},
        {"Lock/Unlock index buffer",
            [](Frame& f) {
                f.render->LockResource(Need(f.indices));
                f.render->UnlockResource(f.indices);
            }},
        {"Lock/Unlock cpu texture",
            [](Frame& f) {
                f.render->LockResource(Need(f.cpu));
                f.render->UnlockResource(f.cpu);
            }},
        {"SetBufferData partial", [](Frame& f) { As<IResBufferGPU>(f.positions).SetBufferData(Positions, 12, 12); }},
        {"Clear deferred 0x16", [](Frame& f) { f.render->Clear(0x16); }},
        {"TargetResource target", [](Frame& f) { f.render->TargetResource(Need(f.target), 0); }},
        {"TargetResource target again", [](Frame& f) { f.render->TargetResource(Need(f.target), 0); }},
        {"Clear 0x06", [](Frame& f) { f.render->Clear(0x06); }},
        {"SelectState each kind",
            [](Frame& f) {
                for (int i = 0; i < 5; ++i)
                    f.render->SelectState(Need(f.states[i]), 0);
            }},
        {"SelectResource shader", [](Frame& f) { f.render->SelectResource(Need(f.shader), 0); }},
        {"SelectResource textures",
            [](Frame& f) {
                f.render->SelectResource(Need(f.gpuExact), 0);
                f.render->SelectResource(Need(f.gpuAlpha), 1);
            }},
        {"SelectResource buffers",
            [](Frame& f) {
                f.render->SelectResource(Need(f.positions), 0);
                f.render->SelectResource(Need(f.normals), 0);
                f.render->SelectResource(Need(f.texCoords), 1);
                f.render->SelectResource(Need(f.texCoordsSized), 2);
                f.render->SelectResource(Need(f.indices), 0);
            }},
        {"Draw", [](Frame& f) { f.render->Draw(); }},
        {"DrawQuad", [](Frame& f) { f.render->DrawQuad(); }},
        {"set shader parameter while selected",
            [](Frame& f) { As<IResShaderGPU>(f.shader).SetPixelParameter("strength", ShaderValue::Double(0.25)); }},
        {"DeSelectResource buffers",
            [](Frame& f) {
                f.render->DeSelectResource(Need(f.positions), 0);
                f.render->DeSelectResource(Need(f.normals), 0);
                f.render->DeSelectResource(Need(f.texCoords), 1);
                f.render->DeSelectResource(Need(f.texCoordsSized), 2);
                f.render->DeSelectResource(Need(f.indices), 0);
            }},
        {"DeSelectResource textures",
            [](Frame& f) {
                f.render->DeSelectResource(Need(f.gpuExact), 0);
                f.render->DeSelectResource(Need(f.gpuAlpha), 1);
            }},
        {"DeSelectResource shader", [](Frame& f) { f.render->DeSelectResource(Need(f.shader), 0); }},
        {"DeSelectResource target twice",
            [](Frame& f) {
                f.render->DeSelectResource(Need(f.target), 0);
                f.render->DeSelectResource(f.target, 0);
            }},
        {"transfer GPU to GPU scaled",
            [](Frame& f) { f.render->TransferResource(Need(f.gpuExact), Need(f.gpuSmall)); }},
        {"transfer GPU to CPU", [](Frame& f) { f.render->TransferResource(Need(f.gpuExact), Need(f.cpu)); }},
        {"transfer CPU to GPU", [](Frame& f) { f.render->TransferResource(Need(f.cpu), Need(f.gpuPadded)); }},
        {"DisplayBuffer", [](Frame& f) { f.render->DisplayBuffer(Need(f.target), 0); }},
        {"StampStereoSignature", [](Frame& f) { f.render->StampStereoSignature(Need(f.target)); }},
        {"Flush", [](Frame& f) { f.render->Flush(true); }},
        {"TargetResource target before destroy", [](Frame& f) { f.render->TargetResource(Need(f.target), 0); }},
        {"DestroyResource each",
            [](Frame& f) {
                const boost::shared_ptr<IResource> all[] = {f.target, f.positions, f.normals, f.texCoords,
                    f.texCoordsSized, f.indices, f.shader, f.gpuExact, f.gpuPadded, f.gpuSmall, f.gpuAlpha, f.cpu,
                    f.cpuCopy, f.states[0], f.states[1], f.states[2], f.states[3], f.states[4]};
                for (const boost::shared_ptr<IResource>& resource : all)
                    if (resource)
                        f.render->DestroyResource(resource);
            }},
        {"Shutdown", [](Frame& f) { Need(f.render)->Shutdown(); }},
        {"release render",
            [](Frame& f) {
                Session* session = f.session;
                f = Frame();
                f.session = session;
            }},
    };
    return steps;
}

// The uniforms every program has, and their registers.
const std::set<uint64_t>& Declared()
{
    static const std::set<uint64_t> registers = {4, 5, 9, 10, 12};
    return registers;
}

void DeclareUniforms()
{
    cgdouble::SetParameter("ModelViewProjection", CG_C, CG_FLOAT4x4, 12);
    cgdouble::SetParameter("tint", CG_C, CG_FLOAT3, 4);
    cgdouble::SetParameter("rotation", CG_C, CG_FLOAT3x3, 5);
    cgdouble::SetParameter("strength", CG_C, CG_FLOAT, 9);
    cgdouble::SetParameter("count", CG_C, CG_INT, 10);
}

struct StepResult {
    std::string name;
    size_t calls = 0, cgCalls = 0;  // logged by the end of the step
    std::string thrown;
};

struct Run {
    std::vector<StepResult> steps;
    std::vector<d3d9double::Call> calls;
    std::vector<cgdouble::Call> cgCalls;
    std::vector<cgdouble::Program> programs;
    Session* session = nullptr;
    bool initialized = false;
    Leftovers left;
};

// Runs the frame from a fresh load; `inject` scripts the failure after the doubles are reset.
// `check` looks at the run while its log is still captured.
void RunFrame(const Config& config, const std::function<void()>& inject, const std::function<void(const Run&)>& check)
{
    Session session;
    config.prepare();
    DeclareUniforms();
    inject();
    Frame frame;
    frame.session = &session;
    Run run;
    run.session = &session;
    bool toShutdown = false;
    for (const Step& step : Steps()) {
        if (toShutdown && std::string(step.first) != "Shutdown")
            continue;
        toShutdown = false;
        Now(std::string("step ") + step.first);
        StepResult result;
        result.name = step.first;
        result.thrown = Outcome([&] {
            try {
                step.second(frame);
            } catch (const Skip&) {
            }
        });
        result.calls = d3d9double::CallCount();
        result.cgCalls = cgdouble::CallCount();
        run.steps.push_back(result);
        if (result.name == "Initialize") {
            run.initialized = frame.initialized;
            toShutdown = !frame.initialized;
        }
    }
    run.calls = d3d9double::Calls();
    run.cgCalls = cgdouble::Calls();
    run.programs = cgdouble::Programs();
    run.left = session.End();
    check(run);
}

// ---- call sites and what a failure at each is meant to do

struct Site {
    std::string method;  // "IDirect3DDevice9::CreateTexture", "cgCreateProgram"
    unsigned number = 0;  // of the method's calls in the frame, from 1
    std::string step;
    std::vector<uint64_t> args;
    // Cg: the call whose error this one reports (itself, or for cgGetError the call before it).
    std::string reported, reportedText;
    std::vector<uint64_t> reportedArgs;
};

template <typename Call>
std::vector<Site> SitesOf(const std::vector<Call>& calls, const std::vector<StepResult>& steps, bool cg)
{
    std::vector<Site> sites;
    std::map<std::string, unsigned> numbers;
    size_t step = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        while (step < steps.size() && i >= (cg ? steps[step].cgCalls : steps[step].calls))
            ++step;
        Site site;
        if constexpr (std::is_same<Call, cgdouble::Call>::value) {
            site.method = calls[i].function;
            const cgdouble::Call& reported = calls[i].function == "cgGetError" && i ? calls[i - 1] : calls[i];
            site.reported = reported.function == "cgGetError" ? std::string() : reported.function;
            site.reportedText = reported.text;
            site.reportedArgs = reported.args;
        } else {
            site.method = calls[i].method;
        }
        site.number = ++numbers[site.method];
        site.step = step < steps.size() ? steps[step].name : "unload";
        site.args = calls[i].args;
        const std::string& m = site.method;
        if (m.size() > 8 && (m.find("::AddRef") != std::string::npos || m.find("::Release") != std::string::npos))
            continue;  // reference counts answer the real count, never a script
        sites.push_back(site);
    }
    return sites;
}

enum class Effect { Line, Silent, Throws, Fallback };

struct Expected {
    Effect effect = Effect::Line;
    std::vector<std::wstring> texts;  // the call texts the error line may name
    Veltra::ErrorCode code = Veltra::ecOutOfMemory;  // of Throws
    bool mayFailInitialize = false;
    bool leavesContext = false;  // a failed cgDestroyContext keeps its context, nothing to do about it
    bool uploadsAnyway = false;  // a failed register query: the upload goes on into what it answered
};

typedef std::vector<std::wstring> Texts;

// The plug-in's text of each Direct3D call whose result it examines.
const std::map<std::string, Texts>& CallTexts()
{
    static const std::map<std::string, Texts> texts = {
        {"IDirect3DDevice9::GetDeviceCaps", {L"cg_pd3dDevice->GetDeviceCaps(&g_deviceCaps)"}},
        {"IDirect3DDevice9::CreateQuery", {L"cg_pd3dDevice->CreateQuery(D3DQUERYTYPE_EVENT, &g_eventQuery)"}},
        {"IDirect3DDevice9::CreateAdditionalSwapChain",
            {L"cg_pd3dDevice->CreateAdditionalSwapChain(&_displayD3dpp, &_pd3dSwapChain)"}},
        {"IDirect3DDevice9::CreateVertexBuffer",
            {L"device->CreateVertexBuffer(dataSize, D3DUSAGE_WRITEONLY, GetFVF(), D3DPOOL_DEFAULT, &_buffer, NULL)"}},
        {"IDirect3DDevice9::CreateIndexBuffer",
            {L"device->CreateIndexBuffer(dataSize / 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, "
             L"&_indexbuffer, NULL)",
                L"device->CreateIndexBuffer(dataSize, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT, "
                L"&_indexbuffer, NULL)"}},
        {"IDirect3DVertexBuffer9::Lock", {L"_buffer->Lock(0, 0, reinterpret_cast<void**>(&buffer.bits), 0)"}},
        {"IDirect3DVertexBuffer9::Unlock", {L"_buffer->Unlock()"}},
        {"IDirect3DIndexBuffer9::Lock",
            {L"_indexbuffer->Lock(0, 0, reinterpret_cast<void**>(&_tempUShortBuffer), 0)",
                L"_indexbuffer->Lock(0, 0, reinterpret_cast<void**>(&buffer.bits), 0)"}},
        {"IDirect3DIndexBuffer9::Unlock", {L"_indexbuffer->Unlock()"}},
        {"IDirect3DDevice9::CreateTexture",
            {L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight,1, "
             L"(_settings.image.pixelFormat "
             L"== pfA8 ? D3DUSAGE_DYNAMIC : D3DUSAGE_RENDERTARGET), "
             L"static_cast<D3DFORMAT>(GetDX9Format(_settings.image.pixelFormat)), "
             L"D3DPOOL_DEFAULT, &_texOb,NULL)",
                L"deviceEx->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight, 1, 0, "
                L"static_cast<D3DFORMAT>(GetDX9Format(_settings.image.pixelFormat)), D3DPOOL_SYSTEMMEM, &tempTexture, "
                L"(HANDLE*)&cpuData)",
                L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight, 1, "
                L"D3DUSAGE_DYNAMIC, "
                L"static_cast<D3DFORMAT>(GetDX9Format(_settings.image.pixelFormat)), D3DPOOL_SYSTEMMEM, "
                L"&tempTexture,NULL)",
                L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight, 1, "
                L"D3DUSAGE_DYNAMIC, "
                L"GetDX9Format(_settings.image.pixelFormat), D3DPOOL_SYSTEMMEM, &_texOb,NULL)",
                L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), "
                L"_settings.image.pixelHeight,1,D3DUSAGE_DYNAMIC, "
                L"GetDX9Format(_settings.image.pixelFormat), D3DPOOL_SYSTEMMEM, &_texOb,NULL)"}},
        {"IDirect3DTexture9::LockRect",
            {L"_texOb->LockRect(0,&lRect,NULL,D3DLOCK_DISCARD)",
                L"tempTexture->LockRect(0,&lRect,NULL,D3DLOCK_DISCARD)"}},
        {"IDirect3DTexture9::UnlockRect", {L"_texOb->UnlockRect(0)", L"tempTexture->UnlockRect(0)"}},
        {"IDirect3DTexture9::GetSurfaceLevel",
            {L"tempTexture->GetSurfaceLevel(0, &sourcesurface)", L"_texOb->GetSurfaceLevel(0, &destsurface)",
                L"_texOb->GetSurfaceLevel(0, &sourcesurface)",
                L"toTex->GetTextureObject()->GetSurfaceLevel(0, &destsurface)",
                L"_texOb->GetSurfaceLevel(0,&_textureRenderSurface)"}},
        {"IDirect3DDevice9::UpdateSurface", {L"device->UpdateSurface(sourcesurface, NULL, destsurface, NULL)"}},
        {"IDirect3DDevice9::GetRenderTarget", {L"device->GetRenderTarget(0,&_originalBackBuffer)"}},
        {"IDirect3DDevice9::SetRenderTarget",
            {L"device->SetRenderTarget(0,_textureRenderSurface)", L"device->SetRenderTarget(0,_originalBackBuffer)"}},
        {"IDirect3DDevice9::Clear",
            {L"cg_pd3dDevice->Clear(0, NULL, clearMask, D3DCOLOR_ARGB(0, 0, 0, 0), 1.0f, 0)",
                L"cg_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET, g_clearColor, 1.0f, 0)"}},
        {"IDirect3DDevice9::SetTexture",
            {L"device->SetTexture(hardwareUnit, _texOb)", L"device->SetTexture(hardwareUnit, NULL)"}},
        {"IDirect3DDevice9::SetVertexShader",
            {L"device->SetVertexShader(_vertexProgram)", L"device->SetVertexShader(0)"}},
        {"IDirect3DDevice9::SetPixelShader", {L"device->SetPixelShader(_pixelProgram)", L"device->SetPixelShader(0)"}},
        {"IDirect3DDevice9::SetVertexShaderConstantF",
            {L"device->SetVertexShaderConstantF(dxReg, floatVector, 1)",
                L"device->SetVertexShaderConstantF(dxReg, (float*)&matrix, 4)",
                L"device->SetVertexShaderConstantF(dxReg, floatArray, 4)"}},
        {"IDirect3DDevice9::GetVertexShaderConstantF", {L"device->GetVertexShaderConstantF(dxReg, (float*)&matrix, 4)"}},
        {"IDirect3DDevice9::GetPixelShaderConstantF", {L"device->GetPixelShaderConstantF(dxReg, (float*)&matrix, 4)"}},
        {"IDirect3DDevice9::SetPixelShaderConstantF",
            {L"device->SetPixelShaderConstantF(dxReg, floatVector, 1)",
                L"device->SetPixelShaderConstantF(dxReg, (float*)&matrix, 4)",
                L"device->SetPixelShaderConstantF(dxReg, floatArray, 4)"}},
        {"IDirect3DDevice9::CreateVertexDeclaration",
            {L"cg_pd3dDevice->CreateVertexDeclaration(&_currentVertexElements[0], &vertexDeclaration)"}},
        {"IDirect3DDevice9::SetVertexDeclaration", {L"cg_pd3dDevice->SetVertexDeclaration(vertexDeclaration)"}},
        {"IDirect3DDevice9::SetStreamSource",
            {L"cg_pd3dDevice->SetStreamSource(i, "
             L"boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetBuffer(),0,"
             L"boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetSizeElement())",
                L"cg_pd3dDevice->SetStreamSource(i, "
                L"boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetBuffer(), 0, "
                L"boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetSizeElement())"}},
        {"IDirect3DDevice9::SetIndices",
            {L"cg_pd3dDevice->SetIndices(boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentIndexBuffer)->"
             L"GetIndexBuffer())"}},
        {"IDirect3DDevice9::BeginScene", {L"cg_pd3dDevice->BeginScene()"}},
        {"IDirect3DDevice9::EndScene", {L"cg_pd3dDevice->EndScene()"}},
        {"IDirect3DDevice9::DrawIndexedPrimitive",
            {L"cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, buffsettings.count, 0, "
             L"indexBuffSettings.count / 3)",
                L"cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2)"}},
        {"IDirect3DDevice9::StretchRect",
            {L"device->StretchRect(fromSurface, NULL, toSurface, NULL, filter)",
                L"cg_pd3dDevice->StretchRect(sourceSurface, NULL, backSurface, NULL, filter)"}},
        {"IDirect3DDevice9::GetRenderTargetData", {L"device->GetRenderTargetData(sourcesurface, destsurface)"}},
        {"IDirect3DSwapChain9::GetBackBuffer",
            {L"_pd3dSwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backSurface)"}},
        {"IDirect3DSwapChain9::Present", {L"_pd3dSwapChain->Present(NULL, NULL, _hDisplayWnd, NULL, 0)"}},
    };
    return texts;
}

// Render and sampler states name the state they send.
const std::map<uint64_t, Texts>& RenderStateTexts()
{
    static const std::map<uint64_t, Texts> texts = {
        {D3DRS_LIGHTING, {L"cg_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE)"}},
        {D3DRS_ALPHABLENDENABLE,
            {L"device->SetRenderState(D3DRS_ALPHABLENDENABLE, _settings.enableBlending ? TRUE : FALSE)"}},
        {D3DRS_SEPARATEALPHABLENDENABLE,
            {L"device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, _settings.enableBlending ? TRUE : FALSE)"}},
        {D3DRS_BLENDOP, {L"device->SetRenderState(D3DRS_BLENDOP, GetDX9BlendEquation(_settings.colorBlendEquation))"}},
        {D3DRS_SRCBLEND, {L"device->SetRenderState(D3DRS_SRCBLEND,GetDX9BlendFactor(_settings.srcColorFactor))"}},
        {D3DRS_DESTBLEND, {L"device->SetRenderState(D3DRS_DESTBLEND,GetDX9BlendFactor(_settings.dstColorFactor))"}},
        {D3DRS_BLENDOPALPHA,
            {L"device->SetRenderState(D3DRS_BLENDOPALPHA, GetDX9BlendEquation(_settings.alphaBlendEquation))"}},
        {D3DRS_SRCBLENDALPHA,
            {L"device->SetRenderState(D3DRS_SRCBLENDALPHA,GetDX9BlendFactor(_settings.srcAlphaFactor))"}},
        {D3DRS_DESTBLENDALPHA,
            {L"device->SetRenderState(D3DRS_DESTBLENDALPHA,GetDX9BlendFactor(_settings.dstAlphaFactor))"}},
        {D3DRS_BLENDFACTOR,
            {L"device->SetRenderState(D3DRS_BLENDFACTOR, (redLong << 16) | (greenLong << 8) | (blueLong) | (alphaLong "
             L"<< 24))"}},
        {D3DRS_ZENABLE, {L"device->SetRenderState(D3DRS_ZENABLE, _settings.depthTest ? D3DZB_TRUE : D3DZB_FALSE)"}},
        {D3DRS_ZWRITEENABLE, {L"device->SetRenderState(D3DRS_ZWRITEENABLE, (_settings.depthWrite ? 1 : 0))"}},
        {D3DRS_DEPTHBIAS, {L"device->SetRenderState(D3DRS_DEPTHBIAS, F2DW(depthBias))"}},
        {D3DRS_ZFUNC, {L"device->SetRenderState(D3DRS_ZFUNC, GetDX9DepthFunction(_settings.depthFunction))"}},
        {D3DRS_FILLMODE, {L"device->SetRenderState(D3DRS_FILLMODE, GetDX9FillMode(_settings.fillMode))"}},
        {D3DRS_CULLMODE,
            {L"device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE)",
                L"device->SetRenderState(D3DRS_CULLMODE, GetDX9Winding(_settings.frontWinding))",
                L"device->SetRenderState(D3DRS_CULLMODE, GetDX9Winding(_settings.frontWinding == pwCCW ? pwCW : "
                L"pwCCW))"}},
        {D3DRS_MULTISAMPLEANTIALIAS,
            {L"device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, _settings.enableMultisampling ? TRUE : FALSE)"}},
        {D3DRS_STENCILENABLE, {L"device->SetRenderState(D3DRS_STENCILENABLE, _settings.enable ? TRUE : FALSE)"}},
        {D3DRS_STENCILWRITEMASK,
            {L"device->SetRenderState(D3DRS_STENCILWRITEMASK, static_cast<DWORD>(_settings.writeMask))"}},
        {D3DRS_STENCILREF, {L"device->SetRenderState(D3DRS_STENCILREF, static_cast<DWORD>(_settings.referenceValue))"}},
        {D3DRS_STENCILMASK, {L"device->SetRenderState(D3DRS_STENCILMASK, static_cast<DWORD>(_settings.valueMask))"}},
        {D3DRS_STENCILFUNC,
            {L"device->SetRenderState(D3DRS_STENCILFUNC,GetDX9StencilFunction(_settings.stencilFunction))"}},
        {D3DRS_STENCILFAIL, {L"device->SetRenderState(D3DRS_STENCILFAIL,GetDX9StencilOperation(_settings.opOnFail))"}},
        {D3DRS_STENCILPASS,
            {L"device->SetRenderState(D3DRS_STENCILPASS,GetDX9StencilOperation(_settings.opOnDepthPass))"}},
        {D3DRS_STENCILZFAIL,
            {L"device->SetRenderState(D3DRS_STENCILZFAIL,GetDX9StencilOperation(_settings.opOnDepthFail))"}},
    };
    return texts;
}

const std::map<uint64_t, Texts>& SamplerStateTexts()
{
    static const std::map<uint64_t, Texts> texts = {
        {D3DSAMP_MINFILTER,
            {L"device->SetSamplerState(hardwareUnit,D3DSAMP_MINFILTER,GetDX9TextureFiltering(_settings.minFiltering)"
             L")"}},
        {D3DSAMP_MAGFILTER,
            {L"device->SetSamplerState(hardwareUnit,D3DSAMP_MAGFILTER,GetDX9TextureFiltering(_settings.maxFiltering)"
             L")"}},
        {D3DSAMP_ADDRESSU,
            {L"device->SetSamplerState(hardwareUnit,D3DSAMP_ADDRESSU, "
             L"GetDX9TextureWrapping(_settings.wrapHorizontal))"}},
        {D3DSAMP_ADDRESSV,
            {L"device->SetSamplerState(hardwareUnit,D3DSAMP_ADDRESSV, GetDX9TextureWrapping(_settings.wrapVertical))"}},
        {D3DSAMP_BORDERCOLOR, {L"device->SetSamplerState(hardwareUnit,D3DSAMP_BORDERCOLOR,0xffffff)"}},
        {D3DSAMP_MAXANISOTROPY,
            {L"device->SetSamplerState(hardwareUnit, D3DSAMP_MAXANISOTROPY, min(_settings.maxAnisotropy, "
             L"renderDX9->LimitMaxAnisotropy()))"}},
    };
    return texts;
}

Texts Lookup(const std::map<uint64_t, Texts>& table, uint64_t key)
{
    const auto found = table.find(key);
    return found == table.end() ? Texts() : found->second;
}

bool Starts(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

Expected ExpectedOfDirect3D(const Site& site)
{
    // Results the plug-in deliberately does not examine: device creation and its fallbacks,
    // the cooperative level (CheckRender answers it), the viewport, the Flush query, surface
    // descriptions, the stereo signature's calls, the surfaces of read-backs and display, and
    // the system-memory texture's own Lock and Unlock (traced only).
    static const std::set<std::string> unexamined = {"Direct3DCreate9", "Direct3DCreate9Ex",
        "IDirect3D9::GetAdapterIdentifier", "IDirect3D9::GetAdapterDisplayMode", "IDirect3D9::CheckDepthStencilMatch",
        "IDirect3D9Ex::CreateDeviceEx", "IDirect3D9::CreateDevice", "IDirect3DDevice9Ex::SetGPUThreadPriority",
        "IDirect3DDevice9::TestCooperativeLevel", "IDirect3DDevice9::SetViewport", "IDirect3DQuery9::Issue",
        "IDirect3DQuery9::GetData", "IDirect3DSurface9::GetDesc"};
    const std::string& m = site.method;
    const std::string& step = site.step;
    Expected expected;
    expected.mayFailInitialize
        = (m == "Direct3DCreate9" && step == "Initialize") || m == "IDirect3DDevice9::GetDeviceCaps";
    const bool readBack
        = step == "transfer GPU to CPU" || step == "transfer GPU to GPU scaled" || step == "DisplayBuffer";
    const bool ownLock = (m == "IDirect3DTexture9::LockRect" || m == "IDirect3DTexture9::UnlockRect")
        && step.find("gpu") == std::string::npos && !Starts(step, "create cpu");
    if (unexamined.count(m) || step == "StampStereoSignature" || (readBack && m == "IDirect3DTexture9::GetSurfaceLevel")
        || ownLock || (m == "IDirect3DDevice9::CreateQuery" && site.args.size() > 1 && site.args[1] == 0)) {
        expected.effect = Effect::Silent;
        return expected;
    }
    // A failed shader compile step falls back to the error programs.
    if (m == "IDirect3DDevice9::CreateVertexShader" || m == "IDirect3DDevice9::CreatePixelShader") {
        expected.effect = Effect::Fallback;
        return expected;
    }
    if (m == "IDirect3DDevice9::SetRenderState")
        expected.texts = Lookup(RenderStateTexts(), site.args[0]);
    else if (m == "IDirect3DDevice9::SetSamplerState")
        expected.texts = Lookup(SamplerStateTexts(), site.args[1]);
    else if (CallTexts().count(m))
        expected.texts = CallTexts().at(m);
    // A texture whose Direct3D texture cannot be made does not exist: ecOutOfMemory.
    if (m == "IDirect3DDevice9::CreateTexture"
        && ((Starts(step, "create gpu") && site.args[5] == D3DPOOL_DEFAULT) || step == "create cpu texture"))
        expected.effect = Effect::Throws;
    return expected;
}

const std::wstring VertexCreateText = L"_cgVertexProgram = cgCreateProgram(g_context, CG_SOURCE, "
                                      L"(LPCSTR)_settings.vertexShaderCode, vertexProfile, \"main\", profileparms)";
const std::wstring PixelCreateText = L"_cgPixelProgram = cgCreateProgram(g_context, CG_SOURCE, "
                                     L"(LPCSTR)_settings.pixelShaderCode, pixelProfile, \"main\", profileparms)";

// A Cg failure is reported by the cgGetError that follows the failed call, under that call's text.
Expected ExpectedOfCg(const Site& site, const std::vector<cgdouble::Program>& programs)
{
    Expected expected;
    const std::string& function = site.reported;
    if (site.method == "cgGetError" && (function.empty() || function == "cgCreateContext")) {
        expected.effect = Effect::Silent;  // clears stale errors before a compile; its answer is not used
        return expected;
    }
    if (function == "cgCreateContext") {  // without a context no program compiles, not even the error programs
        expected.effect = Effect::Throws;
        expected.code = Veltra::ecDXError;
        return expected;
    }
    if (function == "cgCreateProgram") {
        expected.texts = {site.reportedText == VertexSource ? VertexCreateText : PixelCreateText};
    } else if (function == "cgDestroyProgram") {
        bool vertex = false;
        for (const cgdouble::Program& program : programs)
            if (reinterpret_cast<uintptr_t>(program.handle) == site.reportedArgs[0])
                vertex = program.profile == CG_PROFILE_VS_3_0;
        expected.texts = {vertex ? L"cgDestroyProgram(_cgVertexProgram)" : L"cgDestroyProgram(_cgPixelProgram)"};
    } else if (function == "cgDestroyContext") {
        expected.texts = {L"cgDestroyContext(g_context)"};
        expected.leavesContext = site.method == "cgDestroyContext";
    } else {
        expected.texts = {L""};  // the program string and the parameter queries report without a text
        expected.uploadsAnyway = function == "cgGetParameterResourceIndex";
    }
    if (site.step == "create shader")
        expected.effect = Effect::Fallback;
    return expected;
}

// ---- judging one run

std::string Joined(const std::vector<LogRecord>& records)
{
    std::string text;
    for (const LogRecord& record : records)
        text += (text.empty() ? "'" : ", '") + Narrow(record.text) + "' (level " + std::to_string(record.level) + ")";
    return text.empty() ? "none" : text;
}

void Add(std::string& outcome, const std::string& part)
{
    outcome += (outcome.empty() ? "" : ", ") + part;
}

// Checks a run against what its injected failure should do (a Direct3D result, or with `cg`
// a Cg error); answers the outcome in words.
std::string Judge(const Run& run, const Expected& expected, const std::string& siteStep, bool cg, long long error)
{
    std::string outcome;
    bool threw = false;
    const std::string designed = "VeltraException " + ErrorName(expected.code);
    for (const StepResult& step : run.steps) {
        if (step.thrown.empty())
            continue;
        const bool meant = expected.effect == Effect::Throws && step.name == siteStep && step.thrown == designed;
        threw = threw || meant;
        Check(meant, "no exception but where designed", "step '" + step.name + "' threw " + step.thrown);
    }
    if (expected.effect == Effect::Throws) {
        Check(threw, "throws where designed", "step '" + siteStep + "' did not throw " + designed);
        Add(outcome, "threw " + ErrorName(expected.code));
    }
    Check(run.initialized || expected.mayFailInitialize, "Initialize succeeds", "Initialize answered false");
    if (!run.initialized)
        Add(outcome, "Initialize answered false");

    // The failed call's error line: exactly one, in the exact form, or none where the result
    // is not examined. A Cg failure that stops every compile is judged by its exception alone.
    const std::wstring prefix = cg ? L"Cg Error" : L"DirectX Error";
    const std::vector<LogRecord> lines = RecordsStartingWith(run.session->log, prefix);
    const bool judgeLines = !(cg && expected.effect == Effect::Throws);
    const bool wantLine = !expected.texts.empty() && expected.effect != Effect::Silent;
    size_t exact = 0;
    for (const LogRecord& record : lines)
        for (const std::wstring& text : expected.texts)
            exact += record.level == (cg ? 2u : 1u)
                && record.text == prefix + L": " + std::to_wstring(error) + L" in " + text + L"\n";
    if (judgeLines && wantLine) {
        Check(exact == 1 && lines.size() == 1, "one exact error line",
            "expected one '" + Narrow(prefix) + ": " + std::to_string(error) + " in "
                + (expected.texts.size() == 1 ? Narrow(expected.texts[0]) : "<one of the call's texts>") + "'; logged "
                + Joined(lines));
        Add(outcome, "logged");
    } else if (judgeLines) {
        Check(lines.empty(), "no error line",
            (expected.effect == Effect::Line ? "no known call text for this site; logged " : "logged ")
                + Joined(lines));
        if (expected.effect == Effect::Silent)
            Add(outcome, "not examined, nothing logged");
    }
    const std::vector<LogRecord> others = RecordsStartingWith(run.session->log, cg ? L"DirectX Error" : L"Cg Error");
    Check(others.empty(), "no error line of the other library", Joined(others));

    const bool fallsBack = expected.effect == Effect::Fallback || (cg && expected.effect == Effect::Throws);
    const size_t fallbacks = run.session->log.Count(L"Shader compiler error, using 'error' shader\n", 2);
    Check(fallbacks == (fallsBack ? 1u : 0u), "falls back to the error programs where designed",
        std::to_string(fallbacks) + " fallbacks");
    if (expected.effect == Effect::Fallback)
        Add(outcome, "fell back to the error shader");

    // Uniforms land only in the registers Cg assigned them. A failed register query is
    // reported and the upload goes on, into whatever register the query answered: that
    // one case is left out.
    for (const d3d9double::Call& call : run.calls)
        if (call.method.find("ShaderConstantF") != std::string::npos && !expected.uploadsAnyway)
            Check(Declared().count(call.args[0]) == 1, "uniforms only in their registers",
                call.method + " into register " + std::to_string(call.args[0]));

    Leftovers left = run.left;
    if (expected.leavesContext && left.contexts == 1) {
        left.contexts = 0;
        Add(outcome, "the context it failed to destroy stays");
    }
    Check(left.Describe().empty(), "nothing left", "left behind: " + left.Describe());
    return outcome;
}

std::string ResultName(HRESULT result)
{
    switch (result) {
    case D3DERR_INVALIDCALL:
        return "D3DERR_INVALIDCALL";
    case D3DERR_OUTOFVIDEOMEMORY:
        return "D3DERR_OUTOFVIDEOMEMORY";
    case D3DERR_DEVICELOST:
        return "D3DERR_DEVICELOST";
    default:
        return std::to_string(result);
    }
}

std::vector<HRESULT> FailuresFor(const std::string& method)
{
    static const std::set<std::string> creators = {"IDirect3DDevice9::CreateTexture",
        "IDirect3DDevice9::CreateVertexBuffer", "IDirect3DDevice9::CreateIndexBuffer",
        "IDirect3DDevice9::CreateAdditionalSwapChain", "IDirect3D9::CreateDevice", "IDirect3D9Ex::CreateDeviceEx"};
    if (creators.count(method))
        return {D3DERR_INVALIDCALL, D3DERR_OUTOFVIDEOMEMORY};
    if (method == "IDirect3DDevice9::TestCooperativeLevel" || method == "IDirect3DSwapChain9::Present")
        return {D3DERR_INVALIDCALL, D3DERR_DEVICELOST};
    return {D3DERR_INVALIDCALL};
}

CGerror CgFailureFor(const std::string& function)
{
    if (function == "cgCreateContext")
        return CG_MEMORY_ALLOC_ERROR;
    if (function == "cgDestroyContext")
        return CG_INVALID_CONTEXT_HANDLE_ERROR;
    if (function == "cgDestroyProgram" || function == "cgGetNamedParameter")
        return CG_INVALID_PROGRAM_HANDLE_ERROR;
    if (function.find("Parameter") != std::string::npos)
        return CG_INVALID_PARAM_HANDLE_ERROR;
    return CG_COMPILER_ERROR;
}

void CheckClean(const Run& run)
{
    Expected none;
    none.effect = Effect::Silent;
    Judge(run, none, "", false, 0);
    Note(std::to_string(run.calls.size()) + " Direct3D calls, " + std::to_string(run.cgCalls.size())
        + " Cg calls, nothing logged");
}

std::vector<Unit> BuildUnits(const Options&)
{
    std::vector<Unit> units, cgUnits;
    for (const Config& config : Configs) {
        const std::string group = std::string("Direct3D call sites, ") + config.name;
        units.push_back({group, "clean frame", [&config] {
                             RunFrame(
                                 config, [] {}, CheckClean);
                         }});
        Run clean;
        RunFrame(
            config, [] {}, [&](const Run& run) { clean = run; });
        for (const Site& site : SitesOf(clean.calls, clean.steps, false))
            for (HRESULT failure : FailuresFor(site.method)) {
                const std::string name = site.method + " call " + std::to_string(site.number) + " (" + site.step
                    + ") <- " + ResultName(failure);
                units.push_back({group, name, [&config, site, failure] {
                                     RunFrame(
                                         config, [&] { d3d9double::SetResult(site.method, failure, site.number, 1); },
                                         [&](const Run& run) {
                                             Note(Judge(run, ExpectedOfDirect3D(site), site.step, false,
                                                 static_cast<long>(failure)));
                                         });
                                 }});
            }
        if (&config != &Configs[0])
            continue;
        // A GPU that never finishes: the event query answers "not yet" for ever.
        units.push_back({group, "IDirect3DQuery9::GetData answers S_FALSE for ever (Flush)", [&config] {
                             RunFrame(
                                 config, [] { d3d9double::SetResult("IDirect3DQuery9::GetData", S_FALSE); },
                                 [](const Run& run) {
                                     Expected silent;
                                     silent.effect = Effect::Silent;
                                     Note(Judge(run, silent, "Flush", false, S_FALSE) + ", Flush returned");
                                 });
                         }});
        const std::string cgGroup = "Cg call sites of a shader's life (compile, uploads, release)";
        for (const Site& site : SitesOf(clean.cgCalls, clean.steps, true)) {
            const CGerror error = CgFailureFor(site.method);
            const std::string name = site.method + " call " + std::to_string(site.number) + " (" + site.step
                + (site.method == "cgGetError" ? ", after " + (site.reported.empty() ? "cgGetError" : site.reported)
                                               : std::string())
                + ") <- Cg error " + std::to_string(error);
            const std::vector<cgdouble::Program> programs = clean.programs;
            cgUnits.push_back({cgGroup, name, [&config, site, error, programs] {
                                   RunFrame(
                                       config, [&] { cgdouble::Fail(site.method, error, site.number, 1); },
                                       [&](const Run& run) {
                                           Note(Judge(run, ExpectedOfCg(site, programs), "create shader", true, error));
                                       });
                               }});
        }
        // The assembler: D3DXAssembleShader refusing the first program's text, then every text.
        struct Assembly {
            const char* name;
            void (*inject)();
            Effect effect;
        };
        static const Assembly assemblies[] = {
            {"D3DXAssembleShader of the vertex program",
                [] { cgdouble::SetNextProgramString(CG_PROFILE_VS_3_0, "vs_3_0\nbogus r0\n"); }, Effect::Fallback},
            {"D3DXAssembleShader of the pixel program",
                [] { cgdouble::SetNextProgramString(CG_PROFILE_PS_3_0, "ps_3_0\nbogus r0\n"); }, Effect::Fallback},
            {"D3DXAssembleShader of every vertex program",
                [] { cgdouble::SetProgramString(CG_PROFILE_VS_3_0, "vs_3_0\nbogus r0\n"); }, Effect::Throws},
        };
        for (const Assembly& assembly : assemblies)
            cgUnits.push_back({cgGroup, assembly.name, [&config, &assembly] {
                                   RunFrame(config, assembly.inject, [&](const Run& run) {
                                       Expected expected;
                                       expected.effect = assembly.effect;
                                       expected.code = Veltra::ecDXError;
                                       Note(Judge(run, expected, "create shader", true, 0));
                                   });
                               }});
    }
    units.insert(units.end(), cgUnits.begin(), cgUnits.end());
    return units;
}

}  // namespace

int main(int argc, char** argv)
{
    return Main(argc, argv,
        "Fault sweep of VeltraRenderDirectX: one failing Direct3D or Cg call per run of the standard frame",
        "fault-sweep-report.txt", BuildUnits);
}
