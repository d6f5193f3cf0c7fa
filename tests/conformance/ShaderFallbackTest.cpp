// A shader whose compile fails at any step (Cg, its assembly text, D3DX's assembler, the
// device) falls back once to the error programs; one that cannot compile even those is refused.
#include "RenderFixture.h"

#include <functional>

using namespace VeltraRender;
using ShaderFallbackTest = RenderFixture;

TEST_F(ShaderFallbackTest, EachFailingStepFallsBackOnceToTheErrorPrograms)
{
    // The level-2 record of a Cg failure names the call where it can.
    struct Case { const char* name; std::function<void()> fail; const char* vertex; const wchar_t* cgRecord; };
    const char* const vertex = "float4 main(float4 p : POSITION) : POSITION { return p; }";
    const Case cases[] = {
        {"a source that does not compile", [] {}, "#error not a program", L"_cgVertexProgram = cgCreateProgram("},
        {"Cg refusing the vertex program", [] { cgdouble::Fail("cgCreateProgram", CG_COMPILER_ERROR, 1); }, vertex,
            L"_cgVertexProgram = cgCreateProgram("},
        {"Cg refusing the pixel program", [] { cgdouble::Fail("cgCreateProgram", CG_COMPILER_ERROR, 1, 1); }, vertex,
            L"_cgPixelProgram = cgCreateProgram("},
        {"no assembly text", [] { cgdouble::Fail("cgGetProgramString", CG_INVALID_PROGRAM_HANDLE_ERROR, 1); }, vertex,
            L"Cg Error: "},
        {"the assembler refusing the text",
            [] { cgdouble::Current().nextAssembly = "vs_3_0\nbogus r0\n", cgdouble::Current().nextCount = 1; }, vertex, nullptr},
        {"the device refusing the shader", [] { d3d9double::Fail("IDirect3DDevice9::CreatePixelShader", E_FAIL, 1); },
            vertex, nullptr}};
    boost::shared_ptr<IRender> render = Render();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        c.fail();
        boost::shared_ptr<IResShaderGPU> shader = CreateShader(*render, c.vertex);
        EXPECT_EQ(shader->GetState(), rsReady);
        EXPECT_EQ(log.Count(L"Shader compiler error, using 'error' shader\n", 2), 1u) << log.Dump();
        EXPECT_EQ(log.Count(L"Cg Error: ", 2), c.cgRecord ? 1u : 0u);
        EXPECT_TRUE(!c.cgRecord || log.Count(c.cgRecord, 2) == 1) << log.Dump();
        ShaderSettings settings;
        shader->GetSettings(settings);
        EXPECT_NE(settings.pixelShaderCode, PixelSource) << "the error programs took the shader's place";
        EXPECT_EQ(cgdouble::LivePrograms(), 2) << "the failed attempt's programs are gone";
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexShader9").size(), 1u);
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DPixelShader9").size(), 1u);
        render->DestroyResource(shader);
    }
    cgdouble::Fail("cgCreateProgram", CG_COMPILER_ERROR);  // nothing compiles: refused, nothing stays
    EXPECT_VELTRA_ERROR(CreateShader(*render), Veltra::ecDXError);
    EXPECT_EQ(cgdouble::LivePrograms(), 0);
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexShader9").size(), 0u);
    EXPECT_TRUE(render->Shutdown());
    log.Clear();
}
