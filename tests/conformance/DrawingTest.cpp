// What drawing leaves on the device: the host's indices on a 16-bit index device, and no
// vertex declaration after one was refused; and what a CPU texture Direct3D will not lock
// or unlock tells the host.
#include "RenderFixture.h"

#include <algorithm>

using namespace VeltraRender;
using DrawingTest = RenderFixture;

TEST_F(DrawingTest, ASixteenBitIndexDeviceHoldsTheLowHalvesOfTheHostsIndices)
{
    const uint32_t indices[] = {0, 1, 2, 70000, 65535, 3, 65536}, update[] = {9, 10};
    const uint32_t expected[] = {0, 1, 9, 10, 65535, 3, 65536};
    for (DWORD maxVertexIndex : {0xFFFFu, 0xFFFFFFu}) {
        SCOPED_TRACE(maxVertexIndex);
        plugin.reset();  // the index width is chosen once per load
        plugin = std::make_unique<PluginLibrary>();
        d3d9double::Current().caps.MaxVertexIndex = maxVertexIndex;
        boost::shared_ptr<IRender> render = Render();
        const std::vector<IUnknown*> before = d3d9double::LiveObjects("IDirect3DIndexBuffer9");
        boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkIndices, 0, 7, indices);
        buffer->SetBufferData(update, sizeof update, 8);  // a partial update keeps the other indices
        EXPECT_EQ(render->LockResource(buffer).pitch, 4u) << "the host writes 32-bit indices";
        render->UnlockResource(buffer);
        IDirect3DIndexBuffer9* made = nullptr;  // the buffer's own, on the device
        for (IUnknown* object : d3d9double::LiveObjects("IDirect3DIndexBuffer9"))
            made = std::count(before.begin(), before.end(), object) ? made : static_cast<IDirect3DIndexBuffer9*>(object);
        void* bits = nullptr;
        ASSERT_TRUE(made && made->Lock(0, 0, &bits, 0) == D3D_OK);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(maxVertexIndex <= 0xFFFF ? static_cast<uint16_t*>(bits)[i] : static_cast<uint32_t*>(bits)[i],
                maxVertexIndex <= 0xFFFF ? expected[i] & 0xFFFF : expected[i]) << i;
        made->Unlock();
        Finish(render);
    }
}

TEST_F(DrawingTest, ARefusedVertexDeclarationLeavesNoneBoundAndIsAskedForAgain)
{
    // The draw of a layout whose declaration is refused must not run with the declaration
    // of the draw before it (the device keeps one per layout); the next draw asks again.
    const float zeros[16] = {};
    boost::shared_ptr<IRender> render = Render();
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 4, zeros);
    boost::shared_ptr<IResBufferGPU> normals = CreateBuffer(*render, bkNormals, 3, 4, zeros);
    render->SelectResource(positions, 0);
    render->SelectResource(CreateBuffer(*render, bkIndices, 0, 6, zeros), 0);
    render->Draw();
    auto bound = [&] {
        IDirect3DVertexDeclaration9* declaration = nullptr;
        EXPECT_EQ(render->GetDevice()->GetVertexDeclaration(&declaration), D3D_OK);
        if (declaration)
            declaration->Release();
        return declaration != nullptr;
    };
    ASSERT_TRUE(bound()) << "a draw binds its declaration";
    render->SelectResource(normals, 0);
    d3d9double::Fail("IDirect3DDevice9::CreateVertexDeclaration", E_OUTOFMEMORY, 1);
    render->Draw();
    EXPECT_EQ(log.Count(L"DirectX Error: -2147024882 in cg_pd3dDevice->CreateVertexDeclaration(", 1), 1u) << log.Dump();
    EXPECT_FALSE(bound());
    log.Clear();
    render->Draw();
    EXPECT_TRUE(bound()) << "asked for again, and made";
    EXPECT_EQ(log.Problems(), 0u) << log.Dump();
    render->DeSelectResource(normals, 0);
    render->DeSelectResource(positions, 0);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(DrawingTest, ACpuTextureDirect3DWillNotLockOrUnlockSaysSoInItsTrace)
{
    // Nothing mapped when the lock fails, one texture-trace record (level 5) with the result,
    // no error record, and the texture ready again after the unlock.
    const struct { const char* method; bool mapped; const wchar_t* record; } cases[] = {
        {"IDirect3DTexture9::LockRect", false, L" - FAILED!!!!!!!!!!!, hr=8876086C\n"},
        {"IDirect3DTexture9::UnlockRect", true, L" - FAILED!!!!!!, hr=8876086C\n"}};
    boost::shared_ptr<IRender> render = Render();
    const boost::shared_ptr<IResTextureCPU> texture = CreateCpuTexture(*render, 8, 8);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        log.Clear();
        d3d9double::Fail(c.method, D3DERR_INVALIDCALL, 1);
        EXPECT_EQ(render->LockResource(texture).bits != nullptr, c.mapped);
        EXPECT_EQ(texture->GetState(), rsLocked);
        render->UnlockResource(texture);
        EXPECT_EQ(texture->GetState(), rsReady);
        EXPECT_EQ(log.Count(L" - FAILED!!!", 5), 1u) << log.Dump();
        EXPECT_EQ(log.Count(c.record, 5), 1u);
    }
    Finish(render);
}
