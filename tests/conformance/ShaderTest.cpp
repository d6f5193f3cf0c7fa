// Shaders against the Cg and Direct3D doubles: profiles by shader level, the shared
// context, the fallback to the error programs, and every conversion of the upload.

#include "RenderFixture.h"
#include "Resources.h"

#include <array>

using namespace VeltraRender;

namespace {

const char* const VertexSource = "float4 main(float4 p : POSITION) : POSITION { return p; }";
const char* const PixelSource = "float4 main() : COLOR { return float4(1, 1, 1, 1); }";

ShaderSettings ShaderOf(const std::string& vertex, const std::string& pixel)
{
    ShaderSettings settings;
    settings.vertexShaderCode = vertex;
    settings.pixelShaderCode = pixel;
    return settings;
}

boost::shared_ptr<IResShaderGPU> CreateShader(IRender& render, const std::string& vertex = VertexSource,
                                              const std::string& pixel = PixelSource)
{
    return boost::dynamic_pointer_cast<IResShaderGPU>(render.CreateResourceGPU(ShaderOf(vertex, pixel)));
}

std::array<float, 4> Vector(float x, float y = 0, float z = 0, float w = 0)
{
    return {x, y, z, w};
}

} // namespace

using ShaderTest = RenderFixture;

TEST_F(ShaderTest, ProfilesAndArgumentsFollowTheShaderLevel)
{
    struct Case {
        DWORD pixelShaderVersion, ps20Caps;
        CGprofile vertex, pixel;
        std::vector<std::string> arguments;
    };
    const std::vector<std::string> unrolled = {"-unroll", "all", "-ifcvt", "all"};
    const Case cases[] = {
        {0xFFFF0200, 0x0F, CG_PROFILE_VS_2_0, CG_PROFILE_PS_2_0, {"-DPROFILE_2_0"}},
        {0xFFFF0200, 0x1F, CG_PROFILE_VS_2_X, CG_PROFILE_PS_2_X, {"-DPROFILE_2_X", "-unroll", "all", "-ifcvt", "all"}},
        {0xFFFF0300, 0x1F, CG_PROFILE_VS_3_0, CG_PROFILE_PS_3_0, {"-DPROFILE_3_0", "-unroll", "all", "-ifcvt", "all"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertex);
        d3d9double::Reset();
        cgdouble::Reset();
        d3d9double::Caps().PixelShaderVersion = c.pixelShaderVersion;
        d3d9double::Caps().PS20Caps.Caps = c.ps20Caps;
        boost::shared_ptr<IRender> render = NewInitializedRender();
        boost::shared_ptr<IResShaderGPU> shader = CreateShader(*render);
        EXPECT_EQ(shader->GetState(), rsReady);
        const std::vector<cgdouble::Program> programs = cgdouble::Programs();
        ASSERT_EQ(programs.size(), 2u);
        EXPECT_EQ(programs[0].source, VertexSource);
        EXPECT_EQ(programs[0].profile, c.vertex);
        EXPECT_EQ(programs[1].source, PixelSource);
        EXPECT_EQ(programs[1].profile, c.pixel);
        for (const cgdouble::Program& program : programs) {
            EXPECT_EQ(program.type, CG_SOURCE);
            EXPECT_EQ(program.entry, "main");
            EXPECT_EQ(program.args, c.arguments);
        }
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexShader9"), 1);
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DPixelShader9"), 1);
        EXPECT_TRUE(render->Shutdown());
        EXPECT_EQ(shader->GetState(), rsDestroyed);
        EXPECT_EQ(cgdouble::LivePrograms(), 0);
    }
}

TEST_F(ShaderTest, OneContextServesEveryShaderAlive)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResShaderGPU> first = CreateShader(*render);
    boost::shared_ptr<IResShaderGPU> second = CreateShader(*render);
    EXPECT_EQ(cgdouble::CountCalls("cgCreateContext"), 1u);
    first.reset();
    EXPECT_EQ(cgdouble::CountCalls("cgDestroyContext"), 0u);
    second.reset();
    EXPECT_EQ(cgdouble::CountCalls("cgDestroyContext"), 1u);
    EXPECT_EQ(cgdouble::LiveContexts(), 0);
    boost::shared_ptr<IResShaderGPU> third = CreateShader(*render);
    EXPECT_EQ(cgdouble::CountCalls("cgCreateContext"), 2u) << "a later shader starts a new context";
    third.reset();
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(ShaderTest, FailuresFallBackOnceToTheErrorPrograms)
{
    const std::wstring vertexCall = L"_cgVertexProgram = cgCreateProgram(g_context, CG_SOURCE, "
                                    L"(LPCSTR)_settings.vertexShaderCode, vertexProfile, \"main\", profileparms)";
    const std::wstring pixelCall = L"_cgPixelProgram = cgCreateProgram(g_context, CG_SOURCE, "
                                   L"(LPCSTR)_settings.pixelShaderCode, pixelProfile, \"main\", profileparms)";
    struct Case {
        const char* name;
        void (*script)();
        std::wstring cgLine;  // empty: no Cg error line
    };
    const Case cases[] = {
        {"vertex source", [] { cgdouble::Fail("cgCreateProgram", CG_COMPILER_ERROR, 1, 1); },
         L"Cg Error: 1 in " + vertexCall + L"\n"},
        {"pixel source", [] { cgdouble::Fail("cgCreateProgram", CG_COMPILER_ERROR, 2, 1); },
         L"Cg Error: 1 in " + pixelCall + L"\n"},
        {"assembly text", [] { cgdouble::Fail("cgGetProgramString", CG_COMPILER_ERROR, 1, 1); },
         L"Cg Error: 1 in \n"},
        {"assembler", [] { cgdouble::SetProgramString(CG_PROFILE_VS_3_0, "vs_3_0\nnot an instruction\n"); }, L""},
        {"Direct3D shader",
         [] { d3d9double::SetNextResults("IDirect3DDevice9::CreatePixelShader", E_FAIL); },
         L""},
    };
    boost::shared_ptr<IRender> render = NewInitializedRender();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cgdouble::Reset();
        log.Clear();
        c.script();
        if (std::string(c.name) == "assembler") {
            // The error programs assemble from the same profile: only the first attempt may fail.
            boost::shared_ptr<IResShaderGPU> shader;
            EXPECT_VELTRA_ERROR(shader = CreateShader(*render), Veltra::ecDXError);
            EXPECT_EQ(shader, nullptr);
            cgdouble::Reset();
            continue;
        }
        boost::shared_ptr<IResShaderGPU> shader = CreateShader(*render);
        EXPECT_EQ(shader->GetState(), rsReady);
        EXPECT_EQ(log.Count(L"Shader compiler error, using 'error' shader\n", 2), 1u) << log.Dump();
        EXPECT_EQ(log.Count(L"Cg Error"), c.cgLine.empty() ? 0u : 1u) << log.Dump();
        if (!c.cgLine.empty())
            EXPECT_EQ(log.Count(c.cgLine, 2), 1u) << log.Dump();
        ShaderSettings settings;
        shader->GetSettings(settings);
        EXPECT_EQ(settings.vertexShaderCode, "float4 main() : POSITION { return float4(0.0, 0.0, 0.0, 0.0); };");
        EXPECT_EQ(settings.pixelShaderCode, "float4 main() : COLOR { return float4(1.0, 0.0, 0.5, 1.0); }; ");
        EXPECT_EQ(cgdouble::LivePrograms(), 2) << "the failed attempt's programs are gone";
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexShader9"), 1);
        shader.reset();
    }
    // Failing twice: ecDXError, nothing listed, nothing left behind.
    cgdouble::Fail("cgCreateProgram", CG_COMPILER_ERROR);
    EXPECT_VELTRA_ERROR(CreateShader(*render), Veltra::ecDXError);
    EXPECT_THROW(render->GetResourceGPU(3), boost::bad_weak_ptr);
    EXPECT_EQ(cgdouble::LivePrograms(), 0);
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexShader9"), 0);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(ShaderTest, UploadConvertsEachTypeIntoItsRegisters)
{
    cgdouble::SetParameter("asFloat", CG_C, CG_FLOAT, 1);
    cgdouble::SetParameter("asIntUp", CG_C, CG_INT, 2);
    cgdouble::SetParameter("asIntDown", CG_C, CG_INT, 3);
    cgdouble::SetParameter("vector3", CG_C, CG_FLOAT3, 4);
    cgdouble::SetParameter("integers", CG_C, CG_INT3, 5);
    cgdouble::SetParameter("matrix3", CG_C, CG_FLOAT3x3, 6);
    cgdouble::SetParameter("matrix4", CG_C, CG_FLOAT4x4, 10);
    cgdouble::SetParameter("flag", CG_C, CG_BOOL, 20);
    cgdouble::SetParameter("dropped", CG_UNDEFINED, CG_FLOAT4, 21);
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResShaderGPU> shader = CreateShader(*render);

    const float three[3] = {1, 2, 3};
    const int32_t ints[3] = {-4, 5, 6};
    const float nine[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    float sixteen[16];
    for (int i = 0; i < 16; ++i)
        sixteen[i] = static_cast<float>(i + 1);
    shader->SetVertexParameter("asFloat", ShaderValue::Int32(7));
    shader->SetVertexParameter("asIntUp", ShaderValue::Float(2.7f));
    shader->SetVertexParameter("asIntDown", ShaderValue::Double(-2.7));
    shader->SetVertexParameter("vector3", ShaderValue::Block(three, sizeof three));
    shader->SetVertexParameter("integers", ShaderValue::Block(ints, sizeof ints));
    shader->SetVertexParameter("matrix3", ShaderValue::Block(nine, sizeof nine));
    shader->SetVertexParameter("matrix4", ShaderValue::Matrix(sixteen));
    shader->SetVertexParameter("flag", ShaderValue::Float(1.0f));
    shader->SetVertexParameter("dropped", ShaderValue::Float(1.0f));
    shader->SetVertexParameter("unknown", ShaderValue::Float(1.0f));
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::SetVertexShaderConstantF"), 0u) << "not selected: only stored";

    log.Clear();
    shader->Select(0);
    EXPECT_EQ(d3d9double::VertexConstant(1), Vector(7));
    EXPECT_EQ(d3d9double::VertexConstant(2), Vector(2));
    EXPECT_EQ(d3d9double::VertexConstant(3), Vector(-2));
    EXPECT_EQ(d3d9double::VertexConstant(4), Vector(1, 2, 3));
    EXPECT_EQ(d3d9double::VertexConstant(5), Vector(-4, 5, 6));
    EXPECT_EQ(d3d9double::VertexConstant(6), Vector(1, 2, 3));
    EXPECT_EQ(d3d9double::VertexConstant(7), Vector(4, 5, 6));
    EXPECT_EQ(d3d9double::VertexConstant(8), Vector(7, 8, 9));
    for (UINT row = 0; row < 4; ++row)
        EXPECT_EQ(d3d9double::VertexConstant(10 + row),
                  Vector(sixteen[4 * row], sixteen[4 * row + 1], sixteen[4 * row + 2], sixteen[4 * row + 3]))
            << "storage order, four per register";
    EXPECT_EQ(d3d9double::VertexConstant(20), Vector(0)) << "an unhandled type writes nothing";
    EXPECT_EQ(d3d9double::VertexConstant(21), Vector(0)) << "a dropped uniform is skipped";
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::SetVertexShaderConstantF"), 7u);
    EXPECT_TRUE(log.Records().empty()) << log.Dump();

    // A block too small for its uniform fills what it has; an empty one writes zeros.
    shader->SetVertexParameter("vector3", ShaderValue::Block(three, 4));
    EXPECT_EQ(d3d9double::VertexConstant(4), Vector(1)) << "written at once while selected";
    shader->SetVertexParameter("vector3", ShaderValue::Block(nullptr, 0));
    EXPECT_EQ(d3d9double::VertexConstant(4), Vector(0));

    // A float4x4 given another tag throws now and at every later Select.
    EXPECT_VELTRA_ERROR(shader->SetVertexParameter("matrix4", ShaderValue::Float(1)), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(shader->Select(0), Veltra::ecInvalidParameter);
    EXPECT_EQ(shader->GetState(), rsSelected);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(ShaderTest, SelectBindsAndUploadsInNameOrder)
{
    cgdouble::SetParameter("zeta", CG_C, CG_FLOAT, 3);
    cgdouble::SetParameter("alpha", CG_C, CG_FLOAT, 9);
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResShaderGPU> shader = CreateShader(*render);
    shader->SetPixelParameter("zeta", ShaderValue::Float(1));
    shader->SetPixelParameter("alpha", ShaderValue::Float(2));
    shader->SetVertexParameter("zeta", ShaderValue::Float(3));
    d3d9double::ClearCalls();
    shader->Select(0);
    shader->Select(0);
    // Method names, with the register for constant uploads.
    std::vector<std::string> sequence;
    for (const d3d9double::Call& call : d3d9double::Calls()) {
        std::string step = call.method.substr(call.method.find("::") + 2);
        if (step.find("ConstantF") != std::string::npos)
            step += " c" + std::to_string(call.args[0]);
        sequence.push_back(step);
    }
    const std::vector<std::string> once = {"SetVertexShader", "SetVertexShaderConstantF c3", "SetPixelShader",
                                           "SetPixelShaderConstantF c9", "SetPixelShaderConstantF c3"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(sequence, twice) << "every Select binds and uploads again, each map in name order";
    EXPECT_EQ(d3d9double::PixelConstant(9), Vector(2));

    shader->DeSelect(0);
    EXPECT_EQ(shader->GetState(), rsReady) << "no nesting count";
    d3d9double::ClearCalls();
    shader->DeSelect(0);
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::SetPixelShader"), 1u) << "clears the device even when not selected";
    EXPECT_EQ(d3d9double::CallsTo("IDirect3DDevice9::SetVertexShader")[0].args[0], 0u);
    EXPECT_VELTRA_ERROR(shader->Target(0), Veltra::ecInvalidOperation);
    EXPECT_TRUE(render->Shutdown());
}

TEST(ShaderValueTest, CopiesOwnTheirMemory)
{
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    ShaderValue block = ShaderValue::Block(bytes, sizeof bytes);
    ShaderValue copy = block;
    EXPECT_NE(copy.Owned(), block.Owned());
    EXPECT_EQ(std::memcmp(copy.Owned(), bytes, 5), 0);
    ShaderValue text = ShaderValue::String(L"ModelViewProjection");
    copy = text;  // frees the block copy, takes a string copy
    EXPECT_NE(copy.Owned(), text.Owned());
    EXPECT_STREQ(static_cast<const wchar_t*>(copy.Owned()), L"ModelViewProjection");
    copy = copy;
    EXPECT_STREQ(static_cast<const wchar_t*>(copy.Owned()), L"ModelViewProjection");
    copy = ShaderValue::Block(nullptr, 0);
    EXPECT_EQ(copy.Owned(), nullptr);
    copy = ShaderValue::Int32(-1);
    EXPECT_EQ(copy.Owned(), nullptr);
    EXPECT_EQ(copy.tag, static_cast<uint32_t>(svInt32));
    EXPECT_EQ(ShaderValue().tag, static_cast<uint32_t>(svEmpty));
}
