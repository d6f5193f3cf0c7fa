// Shaders on the real stack: NVIDIA's Cg runtime (through the Wine bridge), Wine's
// D3DX assembler and Direct3D 9. The registers a uniform lands in are the ones Cg
// reports; failures fall back to the error programs.

#include "LogCapture.h"
#include "PluginLibrary.h"
#include "Resources.h"

#include <Cg/cg.h>
#include <d3d9.h>
#include <gtest/gtest.h>
#include <iostream>

using namespace VeltraRender;

namespace {

const char* const VertexSource = R"(
#ifndef PROFILE_3_0
#error the device reports shader level 2: the 3.0 profile is expected
#endif
uniform float4x4 ModelViewProjection;
uniform float4 tint;
uniform float4 unused;
struct Output { float4 position : POSITION; float4 color : COLOR0; };
Output main(float4 position : POSITION)
{
    Output output;
    output.position = mul(position, ModelViewProjection);
    output.color = tint;
    return output;
}
)";
const char* const PixelSource = "float4 main(float4 color : COLOR0) : COLOR { return color; }";
const char* const ErrorVertexProgram = "float4 main() : POSITION { return float4(0.0, 0.0, 0.0, 0.0); };";

class RealShaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        render = plugin.CreateRender();
        RenderSettings settings = OffscreenSettings(64, 64);
        ASSERT_TRUE(InitializeRender(render, settings));
        render->GetDevice()->GetDirect3D(&direct3D);
        log.Clear();
    }
    void TearDown() override
    {
        EXPECT_TRUE(render->Shutdown());
        EXPECT_EQ(direct3D->Release(), 0u) << "nothing of Direct3D left";
    }

    boost::shared_ptr<IResShaderGPU> Create(const std::string& vertex, const std::string& pixel)
    {
        ShaderSettings settings;
        settings.vertexShaderCode = vertex;
        settings.pixelShaderCode = pixel;
        return boost::dynamic_pointer_cast<IResShaderGPU>(render->CreateResourceGPU(settings));
    }

    LogCapture log;
    PluginLibrary plugin;
    boost::shared_ptr<IRender> render;
    IDirect3D9* direct3D = nullptr;
};

// What Cg itself reports for a uniform of the vertex source, compiled as the plug-in does.
struct CgReport {
    std::string assembly;
    unsigned long matrixRegister = 0;
    unsigned long tintRegister = 0;
};

CgReport AskCg()
{
    CgReport report;
    CGcontext context = cgCreateContext();
    const char* arguments[] = {"-DPROFILE_3_0", "-unroll", "all", "-ifcvt", "all", nullptr};
    CGprogram program = cgCreateProgram(context, CG_SOURCE, VertexSource, CG_PROFILE_VS_3_0, "main", arguments);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    report.assembly = cgGetProgramString(program, CG_COMPILED_PROGRAM);
    report.matrixRegister = cgGetParameterResourceIndex(cgGetNamedParameter(program, "ModelViewProjection"));
    report.tintRegister = cgGetParameterResourceIndex(cgGetNamedParameter(program, "tint"));
    cgDestroyProgram(program);
    cgDestroyContext(context);
    return report;
}

} // namespace

TEST_F(RealShaderTest, UniformsLandInTheRegistersCgReports)
{
    boost::shared_ptr<IResShaderGPU> shader = Create(VertexSource, PixelSource);
    EXPECT_EQ(shader->GetState(), rsReady);
    EXPECT_EQ(log.Count(L"Shader compiler error"), 0u) << log.Dump();

    const CgReport cg = AskCg();
    std::cout << "vs_3_0 assembly from Cg:\n" << cg.assembly << "ModelViewProjection: c" << cg.matrixRegister
              << ", tint: c" << cg.tintRegister << std::endl;
    EXPECT_EQ(cg.assembly.rfind("vs_3_0", 0), 0u);
    ASSERT_NE(cg.matrixRegister, cg.tintRegister);

    float matrix[16];
    for (int i = 0; i < 16; ++i)
        matrix[i] = static_cast<float>(i + 1) * 0.5f;
    const float tint[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    shader->SetVertexParameter("ModelViewProjection", ShaderValue::Matrix(matrix));
    shader->SetVertexParameter("tint", ShaderValue::Floats(tint, 4));
    shader->SetVertexParameter("unused", ShaderValue::Floats(tint, 4));
    shader->SetVertexParameter("no such uniform", ShaderValue::Float(1));
    shader->Select(0);

    IDirect3DDevice9* device = render->GetDevice();
    float registers[16] = {};
    ASSERT_EQ(device->GetVertexShaderConstantF(cg.matrixRegister, registers, 4), D3D_OK);
    EXPECT_EQ(std::vector<float>(registers, registers + 16), std::vector<float>(matrix, matrix + 16));
    ASSERT_EQ(device->GetVertexShaderConstantF(cg.tintRegister, registers, 1), D3D_OK);
    EXPECT_EQ(std::vector<float>(registers, registers + 4), std::vector<float>(tint, tint + 4));
    EXPECT_TRUE(log.Records().empty()) << "a dropped or unknown uniform is skipped silently\n" << log.Dump();
    shader->DeSelect(0);
}

TEST_F(RealShaderTest, CompileErrorsFallBackToTheErrorPrograms)
{
    struct Case {
        const char* name;
        std::string vertex, pixel;
        const wchar_t* cgCall;  // the failing call's text, or null when Cg itself does not fail
    };
    const std::string huge = std::string(1 << 20, 'x');
    // 3 000 texture reads in one sum: far past ps_3_0's limits, and NVIDIA's compiler
    // recurses through all of it (the program of a host that unrolls a large loop).
    std::string deep = "uniform sampler2D image;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv)";
    for (int i = 1; i < 3000; ++i)
        deep += " + tex2D(image, uv * " + std::to_string(i) + ")";
    deep += "; }\n";
    const Case cases[] = {
        {"deep expression", VertexSource, deep, L"_cgPixelProgram = cgCreateProgram("},
        {"vertex syntax", "float4 main( : POSITION {", PixelSource, L"_cgVertexProgram = cgCreateProgram("},
        {"pixel syntax", VertexSource, "float4 main() : COLOR { return oops; }", L"_cgPixelProgram = cgCreateProgram("},
        {"empty vertex", "", PixelSource, L"_cgVertexProgram = cgCreateProgram("},
        {"no main", "float4 other() : POSITION { return 0; }", PixelSource, L"_cgVertexProgram = cgCreateProgram("},
        {"1 MiB of nonsense", huge, PixelSource, L"_cgVertexProgram = cgCreateProgram("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        boost::shared_ptr<IResShaderGPU> shader = Create(c.vertex, c.pixel);
        EXPECT_EQ(shader->GetState(), rsReady);
        EXPECT_EQ(log.Count(L"Cg Error: "), 1u) << log.Dump();
        EXPECT_EQ(log.Count(c.cgCall, 2), 1u) << log.Dump();
        EXPECT_EQ(log.Count(L"Shader compiler error, using 'error' shader\n", 2), 1u);
        ShaderSettings settings;
        shader->GetSettings(settings);
        EXPECT_EQ(settings.vertexShaderCode, ErrorVertexProgram) << "both programs are replaced";
        EXPECT_EQ(settings.pixelShaderCode, "float4 main() : COLOR { return float4(1.0, 0.0, 0.5, 1.0); }; ");
        render->DestroyResource(shader);
    }
}
