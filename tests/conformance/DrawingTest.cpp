// Binding, drawing, clearing and display against the Direct3D double: stream order,
// counts, the projection upload, clears, Flush, presentation and its failures.

#include "RenderFixture.h"
#include "Resources.h"

#include "HostWindow.h"

#include "../../src/render/Projection.h"

#include <tuple>

using namespace VeltraRender;

namespace {

const float Zeros[64] = {};

// (stream, usage, usage index, type) of each element of a declaration.
std::vector<std::tuple<int, int, int, int>> Streams(const std::vector<D3DVERTEXELEMENT9>& elements)
{
    std::vector<std::tuple<int, int, int, int>> streams;
    for (const D3DVERTEXELEMENT9& element : elements)
        streams.emplace_back(element.Stream, element.Usage, element.UsageIndex, element.Type);
    return streams;
}

std::vector<std::string> MethodsCalled()
{
    std::vector<std::string> methods;
    for (const d3d9double::Call& call : d3d9double::Calls())
        methods.push_back(call.method.substr(call.method.find("::") + 2));
    return methods;
}

// A texture of the host's own making whose surface cannot be had.
class BrokenTexture : public IResTextureGPU {
public:
    void GetSettings(ResourceHeader&) override {}
    ResourceState GetState() override { return rsReady; }
    void SetState(ResourceState) override {}
    ResourceType GetType() override { return rtTextureGPU; }
    bool GetFlag() override { return false; }
    void Destroy() override {}
    void TransferTo(boost::shared_ptr<IResource>) override {}
    void SetSettings(boost::weak_ptr<IRender>, const ResourceHeader&) override {}
    void Select(uint32_t) override {}
    void Target(uint32_t) override {}
    void DeSelect(uint32_t) override {}
    IDirect3DSurface9* GetDeviceInterface() override { throw std::runtime_error("no surface"); }
    int32_t GetIndex() override { return -1; }
    uint32_t IncrementCount() override { return 0; }
    uint32_t DecrementCount() override { return 0; }
    void SetTag(uint32_t) override {}
    uint32_t GetTag() override { return 0; }
    bool MatchesImage(const ImageDescriptor&) override { return false; }
    void SetClearColorEnabled(bool) override {}
    bool GetClearColorEnabled() override { return true; }
    void SetUserFlag(bool) override {}
    bool GetUserFlag() override { return false; }
    void SetImageExtras(uint32_t, uint32_t, uint32_t, bool) override {}
    bool SetTextureData(const void*) override { return true; }
};

} // namespace

using DrawingTest = RenderFixture;

TEST_F(DrawingTest, StreamsFollowTheUsageRankNotTheSelectionOrder)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResBufferGPU> texB = CreateBuffer(*render, bkTexCoordsSized, 2, 9, Zeros);
    boost::shared_ptr<IResBufferGPU> texA = CreateBuffer(*render, bkTexCoordsSized, 2, 9, Zeros);
    boost::shared_ptr<IResBufferGPU> normals = CreateBuffer(*render, bkNormals, 3, 4, Zeros);
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 4, Zeros);
    boost::shared_ptr<IResBufferGPU> indices = CreateBuffer(*render, bkIndices, 0, 7, Zeros);
    render->SelectResource(texB, 2);
    render->SelectResource(texA, 1);
    render->SelectResource(normals, 0);
    render->SelectResource(positions, 0);
    render->SelectResource(indices, 0);
    d3d9double::ClearCalls();
    render->Draw();

    EXPECT_EQ(MethodsCalled(), (std::vector<std::string>{"CreateVertexDeclaration", "SetVertexDeclaration",
                                                          "SetStreamSource", "SetStreamSource", "SetStreamSource",
                                                          "SetStreamSource", "SetIndices", "BeginScene",
                                                          "DrawIndexedPrimitive", "EndScene", "Release"}));
    using S = std::tuple<int, int, int, int>;
    EXPECT_EQ(Streams(d3d9double::Declarations().back()),
              (std::vector<S>{S(0, D3DDECLUSAGE_POSITION, 0, D3DDECLTYPE_FLOAT3), S(1, D3DDECLUSAGE_NORMAL, 0, D3DDECLTYPE_FLOAT3),
                              S(2, D3DDECLUSAGE_TEXCOORD, 1, D3DDECLTYPE_FLOAT2), S(3, D3DDECLUSAGE_TEXCOORD, 2, D3DDECLTYPE_FLOAT2)}));
    const std::vector<d3d9double::Call> sources = d3d9double::CallsTo("IDirect3DDevice9::SetStreamSource");
    for (size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(sources[i].args[0], i);
        EXPECT_EQ(sources[i].args[2], 0u);
        EXPECT_EQ(sources[i].args[3], i < 2 ? 12u : 8u) << "stride";
    }
    EXPECT_EQ(d3d9double::CallsTo("IDirect3DDevice9::DrawIndexedPrimitive")[0].args,
              (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2}))
        << "vertices of the first stream, 7 indices make 2 triangles";
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexDeclaration9"), 0) << "one declaration per draw";

    // A deselection removes the first record of its usage and unit, whichever buffer it holds.
    render->DeSelectResource(normals, 0);
    render->DeSelectResource(texA, 2);
    render->Draw();
    EXPECT_EQ(Streams(d3d9double::Declarations().back()),
              (std::vector<S>{S(0, D3DDECLUSAGE_POSITION, 0, D3DDECLTYPE_FLOAT3), S(1, D3DDECLUSAGE_TEXCOORD, 1, D3DDECLTYPE_FLOAT2)}));
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(DrawingTest, DrawQuadUploadsTheProjectionAndKeepsTheHostsBindings)
{
    cgdouble::SetParameter("ModelViewProjection", CG_C, CG_FLOAT4x4, 0);
    boost::shared_ptr<IRender> render = NewInitializedRender(64, 32);
    boost::shared_ptr<IResBufferGPU> hostPositions = CreateBuffer(*render, bkPositions, 3, 9, Zeros);
    ShaderSettings shaderSettings;
    shaderSettings.vertexShaderCode = "float4 main(float4 p : POSITION) : POSITION { return p; }";
    shaderSettings.pixelShaderCode = "float4 main() : COLOR { return 1; }";
    boost::shared_ptr<IResourceGPU> shader = render->CreateResourceGPU(shaderSettings);

    // Without a shader the quad is drawn all the same, and nothing is uploaded.
    d3d9double::ClearCalls();
    render->DrawQuad();
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::SetVertexShaderConstantF"), 0u);
    EXPECT_EQ(d3d9double::CallsTo("IDirect3DDevice9::DrawIndexedPrimitive")[0].args,
              (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2}));

    render->SelectResource(shader, 0);
    render->SelectResource(hostPositions, 1);
    render->DrawQuad();
    const QuadProjection projection = ComputeQuadProjection(64, 32, 1.0);
    for (UINT row = 0; row < 4; ++row) {
        const std::array<float, 4> expected = {projection.matrix.m[row][0], projection.matrix.m[row][1],
                                               projection.matrix.m[row][2], projection.matrix.m[row][3]};
        EXPECT_EQ(d3d9double::VertexConstant(row), expected) << row;
    }
    using S = std::tuple<int, int, int, int>;
    EXPECT_EQ(Streams(d3d9double::Declarations().back()),
              (std::vector<S>{S(0, D3DDECLUSAGE_POSITION, 0, D3DDECLTYPE_FLOAT3), S(1, D3DDECLUSAGE_POSITION, 1, D3DDECLTYPE_FLOAT3),
                              S(2, D3DDECLUSAGE_NORMAL, 0, D3DDECLTYPE_FLOAT3)}));
    for (int32_t quadBuffer = 0; quadBuffer < 3; ++quadBuffer)
        EXPECT_EQ(render->GetResourceGPU(quadBuffer)->GetState(), rsReady);
    EXPECT_EQ(hostPositions->GetState(), rsSelected);

    // The host's buffer stays bound and the quad's index buffer stays current.
    d3d9double::ClearCalls();
    render->Draw();
    EXPECT_EQ(d3d9double::CallsTo("IDirect3DDevice9::DrawIndexedPrimitive")[0].args,
              (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0, 0, 9, 0, 2}));
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(DrawingTest, ClearsNowAndWithTheNextTarget)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    const std::vector<uint64_t> depthAndStencil = {0, 0, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0x3F800000, 0};
    const std::vector<uint64_t> colour = {0, 0, D3DCLEAR_TARGET, 0, 0x3F800000, 0};
    auto clears = [] {
        std::vector<std::vector<uint64_t>> all;
        for (const d3d9double::Call& call : d3d9double::CallsTo("IDirect3DDevice9::Clear"))
            all.push_back(call.args);
        d3d9double::ClearCalls();
        return all;
    };
    d3d9double::ClearCalls();
    render->Clear(0x00);
    EXPECT_EQ(clears(), (std::vector<std::vector<uint64_t>>{colour})) << "no target: the colour anyway";

    boost::shared_ptr<IResTextureGPU> first = CreateGpuTexture(*render, 8, 8);
    boost::shared_ptr<IResTextureGPU> second = CreateGpuTexture(*render, 8, 8);
    render->Clear(0x16);
    EXPECT_TRUE(clears().empty()) << "deferred";
    render->TargetResource(first, 0);
    EXPECT_EQ(clears(), (std::vector<std::vector<uint64_t>>{depthAndStencil, colour}));
    render->TargetResource(boost::shared_ptr<IResourceGPU>(), 0);
    EXPECT_TRUE(clears().empty()) << "the pending clear ran once";

    render->Clear(0x10);
    render->DeSelectResource(first, 0);
    render->TargetResource(second, 0);
    EXPECT_TRUE(clears().empty()) << "0x10 alone stores no clear";

    second->SetClearColorEnabled(false);
    render->Clear(0x06);
    EXPECT_EQ(clears(), (std::vector<std::vector<uint64_t>>{depthAndStencil})) << "the target keeps its colour";

    second->SetClearColorEnabled(true);
    d3d9double::SetResult("IDirect3DDevice9::Clear", D3DERR_INVALIDCALL);
    log.Clear();
    render->Clear(0x00);
    EXPECT_EQ(log.Count(L"DirectX Error: -2005530516 in cg_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET, g_clearColor, 1.0f, 0)\n", 1), 1u)
        << log.Dump();
    render->DeSelectResource(second, 0);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(DrawingTest, FlushSubmitsAndWaitsForTheEventQuery)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    d3d9double::SetResult("IDirect3DQuery9::GetData", S_FALSE, 1, 3);
    d3d9double::ClearCalls();
    EXPECT_TRUE(render->Flush(true));
    EXPECT_EQ(d3d9double::CallsTo("IDirect3DQuery9::Issue")[0].args[0], static_cast<uint64_t>(D3DISSUE_END));
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DQuery9::GetData"), 4u) << "until it stops answering S_FALSE";
    d3d9double::SetResult("IDirect3DQuery9::GetData", S_FALSE);
    d3d9double::ClearCalls();
    EXPECT_TRUE(render->Flush(false));
    const std::vector<d3d9double::Call> polls = d3d9double::CallsTo("IDirect3DQuery9::GetData");
    ASSERT_EQ(polls.size(), 1u) << "submits without waiting";
    EXPECT_EQ(polls[0].args, (std::vector<uint64_t>{0, 0, D3DGETDATA_FLUSH}));
    EXPECT_TRUE(render->Shutdown());
    render.reset();

    d3d9double::Reset();
    d3d9double::SetResult("IDirect3DDevice9::CreateQuery", D3DERR_NOTAVAILABLE);
    boost::shared_ptr<IRender> noQuery = NewInitializedRender();
    EXPECT_FALSE(noQuery->Flush(false));
    EXPECT_FALSE(noQuery->Flush(true));
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DQuery9::Issue"), 0u);
    EXPECT_TRUE(noQuery->Shutdown());
}

TEST_F(DrawingTest, DisplayBufferPresentsAndSurvivesFailures)
{
    HostWindow window(40, 30), other(40, 30);
    boost::shared_ptr<IRender> render = NewRender();
    RenderSettings settings = OffscreenSettings(40, 30);
    settings.window = window.Handle();
    ASSERT_TRUE(InitializeRender(render, settings));
    boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*render, 80, 60);
    const int surfaces = d3d9double::LiveObjects("IDirect3DSurface9");

    for (uint32_t eye : {0u, 1u, 2u, 7u}) {
        SCOPED_TRACE(eye);
        d3d9double::ClearCalls();
        EXPECT_TRUE(render->DisplayBuffer(frame, eye));
        EXPECT_EQ(d3d9double::CallsTo("IDirect3DDevice9::StretchRect")[0].args[4], static_cast<uint64_t>(D3DTEXF_LINEAR));
        const std::vector<d3d9double::Call> presents = d3d9double::CallsTo("IDirect3DSwapChain9::Present");
        ASSERT_EQ(presents.size(), 1u) << "a mono render presents every frame";
        EXPECT_EQ(presents[0].args, (std::vector<uint64_t>{0, 0, reinterpret_cast<uintptr_t>(window.Handle()), 0, 0}));
    }
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DSurface9"), surfaces) << "both surfaces released";

    // A failed copy is logged and the frame goes on.
    d3d9double::SetNextResults("IDirect3DDevice9::StretchRect", D3DERR_INVALIDCALL);
    d3d9double::ClearCalls();
    log.Clear();
    EXPECT_TRUE(render->DisplayBuffer(frame, 0));
    EXPECT_EQ(log.Count(L"DirectX Error: -2005530516 in cg_pd3dDevice->StretchRect(sourceSurface, NULL, backSurface, NULL, filter)\n", 1), 1u);
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DSwapChain9::Present"), 1u);

    // Not a texture, or a texture that throws: the frame is not shown.
    log.Clear();
    EXPECT_FALSE(render->DisplayBuffer(CreateBuffer(*render, bkPositions, 3, 4, Zeros), 0));
    EXPECT_EQ(log.Count(L"no source surface or no swap chain: frame not shown", 1), 1u);
    EXPECT_FALSE(render->DisplayBuffer(boost::shared_ptr<IResourceGPU>(new BrokenTexture()), 0));
    EXPECT_EQ(log.Count(L"Exception in RenderDX9::DisplayBuffer\n", 0), 1u);

    // The window: the same one changes nothing, null ignores frames, another takes them.
    log.Clear();
    render->ChangeRenderWindow(window.Handle(), 0, 0, 0, 0);
    EXPECT_TRUE(log.Records().empty());
    render->ChangeRenderWindow(nullptr, 0, 0, 0, 0);
    EXPECT_FALSE(render->DisplayBuffer(frame, 0));
    EXPECT_EQ(log.Count(L" - ignoring DisplayBuffer due to null display window or no width/height for display window\n", 3), 1u);
    render->ChangeRenderWindow(other.Handle(), 0, 0, 0, 0);
    EXPECT_EQ(log.Count(L" - ChangeRenderWindow displayWnd=", 3), 2u) << "to null, then to the other window";
    d3d9double::ClearCalls();
    EXPECT_TRUE(render->DisplayBuffer(frame, 0));
    EXPECT_EQ(d3d9double::CallsTo("IDirect3DSwapChain9::Present")[0].args[2], reinterpret_cast<uintptr_t>(other.Handle()));
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(DrawingTest, DrawsWithoutWhatTheyNeedAreReportedAndSkipped)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    log.Clear();
    d3d9double::ClearCalls();
    render->Draw();
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 4, Zeros);
    render->SelectResource(positions, 0);
    render->Draw();
    EXPECT_EQ(log.Count(L"::Draw() - no vertex buffer or no index buffer selected: nothing drawn\n", 1), 2u) << log.Dump();
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::DrawIndexedPrimitive"), 0u);

    render->SelectResource(boost::shared_ptr<IResourceGPU>(), 0);
    render->DeSelectResource(boost::shared_ptr<IResourceGPU>(), 0);
    render->SelectState(boost::shared_ptr<IState>(), 0);
    render->TargetResource(boost::shared_ptr<IResourceGPU>(), 0);
    EXPECT_EQ(log.Count(L"RenderDX9::SelectResource() - resource is null\n", 1), 1u);
    EXPECT_EQ(log.Count(L"RenderDX9::DeSelectResource() - resource is null\n", 1), 1u);
    EXPECT_EQ(log.Count(L"RenderDX9::SelectState() - state is null\n", 1), 1u);
    EXPECT_EQ(log.Records().size(), 5u) << "an empty target writes nothing";
    EXPECT_VELTRA_ERROR(render->TargetResource(positions, 0), Veltra::ecInvalidOperation);

    // A failing draw call is logged with its text; the frame ends its scene.
    boost::shared_ptr<IResBufferGPU> indices = CreateBuffer(*render, bkIndices, 0, 3, Zeros);
    render->SelectResource(indices, 0);
    d3d9double::SetResult("IDirect3DDevice9::DrawIndexedPrimitive", D3DERR_INVALIDCALL);
    d3d9double::ClearCalls();
    render->Draw();
    EXPECT_EQ(log.Count(L"in cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, buffsettings.count, 0, indexBuffSettings.count / 3)\n", 1), 1u);
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::EndScene"), 1u);
    render->DeSelectResource(positions, 0);

    // After the last Shutdown there is no device to draw with.
    EXPECT_TRUE(render->Shutdown());
    log.Clear();
    render->Draw();
    render->DrawQuad();
    render->Clear(0);
    EXPECT_EQ(log.Count(L"no Direct3D device", 1), 3u);
}

TEST_F(DrawingTest, ARefusedVertexDeclarationLeavesNoneBound)
{
    // The draw after a refused declaration must not run with the one before it.
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 4, Zeros);
    boost::shared_ptr<IResBufferGPU> indices = CreateBuffer(*render, bkIndices, 0, 6, Zeros);
    render->SelectResource(positions, 0);
    render->SelectResource(indices, 0);
    render->Draw();
    IDirect3DVertexDeclaration9* bound = nullptr;
    ASSERT_EQ(render->GetDevice()->GetVertexDeclaration(&bound), D3D_OK);
    ASSERT_NE(bound, nullptr) << "a draw binds its declaration";
    bound->Release();

    log.Clear();
    d3d9double::SetNextResults("IDirect3DDevice9::CreateVertexDeclaration", E_OUTOFMEMORY);
    render->Draw();
    EXPECT_EQ(log.Count(L"in cg_pd3dDevice->CreateVertexDeclaration(&_currentVertexElements[0], &vertexDeclaration)\n", 1), 1u)
        << log.Dump();
    ASSERT_EQ(render->GetDevice()->GetVertexDeclaration(&bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    render->DeSelectResource(positions, 0);
    EXPECT_TRUE(render->Shutdown());
}
