// Shaders on the real stack: NVIDIA's Cg runtime through the Wine bridge, Wine's D3DX
// assembler and Direct3D 9. What each uniform upload leaves in the registers Cg
// assigned (the vertex side's uploads show in every frame of the default quad), and
// the fallback to the error programs, also where the bridge guards Cg.

#include "RealFixture.h"

#include <Cg/cg.h>

#include <limits>

using RealShaderTest = RealFixture;

namespace {

// Cg gives `projection` the register after the float3x3's three; its name sorts first,
// so it is uploaded before `rotation`, whose upload must leave it alone.
const char* const UniformPixel = R"(
uniform float f0, f1, f2, f3, f4; uniform int i0, i1, i2, i3, i4; uniform float2 v2; uniform float3 v3, w3;
uniform float4 v4, unused; uniform int2 n2; uniform int3 n3; uniform int4 n4;
uniform float3x3 rotation; uniform float4x4 projection;
float4 main() : COLOR {
    float4 sum = float4(f0 + f1 + f2 + f3 + f4, i0 + i1 + i2 + i3 + i4, v2.x + v2.y, 0);
    sum.xyz += v3 + w3 + n3 + mul(rotation, v3);
    return mul(projection, sum + v4 + n2.xyxy + n4);
})";

// The register of a uniform of the pixel program as Cg assigns it with the profile of
// the render's shader level (2.0, 2.x, 3.0).
int CgRegister(int level, const char* name)
{
    const CGprofile profiles[] = {CG_PROFILE_PS_2_0, CG_PROFILE_PS_2_X, CG_PROFILE_PS_3_0};
    CGcontext context = cgCreateContext();
    CGprogram program = cgCreateProgram(context, CG_SOURCE, UniformPixel, profiles[level], "main", nullptr);
    CGparameter parameter = cgGetNamedParameter(program, name);
    const int index = cgGetParameterResource(parameter) == CG_C ? int(cgGetParameterResourceIndex(parameter)) : -1;
    cgDestroyContext(context);
    return index;
}

// -4, 5, 6, 7 in the payload itself, not in a block.
ShaderValue InlineInts(uint32_t tag)
{
    const int32_t values[4] = {-4, 5, 6, 7};
    return ShaderValue::Inline(tag, values);
}

} // namespace

TEST_F(RealShaderTest, EachUploadReachesTheRegistersCgAssigned)
{
    const float three[3] = {1, 2, 3}, nine[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const int32_t ints[3] = {-4, 5, 6};
    float sixteen[16];
    for (int i = 0; i < 16; ++i)
        sixteen[i] = i * 0.5f;
    const std::vector<float> matrix(sixteen, sixteen + 16);
    const struct {
        const char* name;
        ShaderValue value;
        std::vector<float> registers;  // what the shader receives, four floats a register
    } cases[] = {
        {"f0", ShaderValue::Float(0.5f), {0.5f, 0, 0, 0}},
        {"f1", ShaderValue::Double(-2.25), {-2.25f, 0, 0, 0}},
        {"f2", ShaderValue::Int16(-3), {-3, 0, 0, 0}},
        {"f3", ShaderValue::Int32(7), {7, 0, 0, 0}},
        {"f4", ShaderValue::Int64(-9), {-9, 0, 0, 0}},
        {"i0", ShaderValue::Float(2.7f), {2, 0, 0, 0}},
        {"i1", ShaderValue::Double(-2.7), {-2, 0, 0, 0}},
        {"i2", ShaderValue::Float(1e20f), {2147483647.0f, 0, 0, 0}},
        {"i3", ShaderValue::Double(std::numeric_limits<double>::quiet_NaN()), {0, 0, 0, 0}},
        {"i4", ShaderValue::Int64(0x100000005LL), {5, 0, 0, 0}},
        {"v2", Rgba(1, 2, 3, 4), {1, 2, 0, 0}},
        {"v3", ShaderValue::Block(three, sizeof three), {1, 2, 3, 0}},
        {"w3", ShaderValue::Block(three, 4), {1, 0, 0, 0}},
        {"v4", Rgba(1, 2, 3, 4), {1, 2, 3, 4}},
        {"n2", InlineInts(svInline2), {-4, 5, 0, 0}},
        {"n3", ShaderValue::Block(ints, sizeof ints), {-4, 5, 6, 0}},
        {"n4", InlineInts(svInline3), {-4, 5, 6, 7}},
        {"rotation", ShaderValue::Block(nine, sizeof nine), {1, 2, 3, -1, 4, 5, 6, -1, 7, 8, 9, -1}},
        {"projection", ShaderValue::Matrix(sixteen), matrix},
    };
    boost::shared_ptr<IResShaderGPU> shader = Shader(ClipSpaceVertex, UniformPixel);
    for (const auto& c : cases)
        shader->SetPixelParameter(c.name, c.value);
    for (int time = 0; time < 2; ++time) {
        shader->SetPixelParameter("unused", Rgba(1, 1, 1, 1));
        shader->SetPixelParameter("absent", Rgba(1, 1, 1, 1));
    }
    const int level = render->GetShaderLevel();
    ASSERT_TRUE(level >= 0 && level <= 2) << level;
    const int rotation = CgRegister(level, "rotation");
    ASSERT_EQ(CgRegister(level, "projection"), rotation + 3);
    const std::vector<float> before(12, -1.0f);  // the device's floats beside the nine of the float3x3
    device->SetPixelShaderConstantF(rotation, before.data(), 3);
    shader->Select(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int index = CgRegister(level, c.name);
        ASSERT_GE(index, 0);
        std::vector<float> held(c.registers.size());
        ASSERT_EQ(device->GetPixelShaderConstantF(index, held.data(), static_cast<UINT>(held.size() / 4)), D3D_OK);
        EXPECT_EQ(held, c.registers);
    }
    // A name the program lacks (a misspelling, most likely) is said once at level 2; a
    // uniform the compiler dropped, once at trace level.
    EXPECT_EQ(log.Count(L"pixel program has no uniform \"absent\"", 2), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"pixel program never reads uniform \"unused\"", 3), 1u);
    EXPECT_EQ(log.Records().size(), 2u);
    // A float4x4 given any other value is refused, now and at every later Select.
    EXPECT_VELTRA_ERROR(shader->SetPixelParameter("projection", ShaderValue::Float(1)), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(shader->Select(0), Veltra::ecInvalidParameter);
    shader->DeSelect(0);
}

TEST_F(RealShaderTest, CompileFailuresFallBackToTheErrorPrograms)
{
    const char* const vertex = "float4 main(float4 p : POSITION) : POSITION { return p; }";
    const char* const pixel = "float4 main() : COLOR { return float4(1, 1, 1, 1); }";
    const std::string errorPrograms = "float4 main() : POSITION { return float4(0.0, 0.0, 0.0, 0.0); };"
                                      "float4 main() : COLOR { return float4(1.0, 0.0, 0.5, 1.0); }; ";
    // 3 000 texture reads in one sum: past every profile's limits, and NVIDIA's compiler
    // recurses through all of it (the program of a host that unrolls a large loop).
    std::string deep = "uniform sampler2D image; float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv)";
    for (int i = 1; i < 3000; ++i)
        deep += " + tex2D(image, uv * " + std::to_string(i) + ")";
    deep += "; }";
    // NVIDIA's Linux compiler corrupts memory on identifiers of a few hundred characters:
    // the Cg bridge refuses those over 255, and Cg reports a compile error instead.
    auto named = [](size_t length) {
        const std::string name(length, 'u');
        return "uniform float4 " + name + "; float4 main() : COLOR { return " + name + "; }";
    };
    std::string undefined = "float4 main() : COLOR { return float4(u0";
    for (int i = 1; i < 14; ++i)
        undefined += " + u" + std::to_string(i);
    undefined += ", 0, 0, 1); }";
    const struct {
        const char* name;
        std::string vertex, pixel;
        const wchar_t* failed;  // the program whose compilation Cg reports; null: none fails
        size_t listing;         // records of the compiler's listing: 10 lines at most, then a count
        const wchar_t* folded;  // the record that counts lines not shown
    } cases[] = {
        {"deep expression", vertex, deep, L"_cgPixelProgram = cgCreateProgram(", 1, L" (526 times)\n"},
        {"vertex syntax", "float4 main( : POSITION {", pixel, L"_cgVertexProgram = cgCreateProgram(", 1, nullptr},
        {"14 undefined names", vertex, undefined, L"_cgPixelProgram = cgCreateProgram(", 11, L"(4 more lines)\n"},
        {"1 MiB of nonsense", std::string(1 << 20, 'x'), pixel, L"_cgVertexProgram = cgCreateProgram(", 2, nullptr},
        {"256-character identifier", vertex, named(256), L"_cgPixelProgram = cgCreateProgram(", 2, nullptr},
        {"255-character identifier", vertex, named(255), nullptr, 0, nullptr},
        {"256 characters in comments", vertex, "// " + std::string(256, 'c') + "\n/* " + std::string(256, 'c') + " */ " + pixel,
         nullptr, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        boost::shared_ptr<IResShaderGPU> shader = Shader(c.vertex, c.pixel);
        EXPECT_EQ(shader->GetState(), rsReady);
        const size_t failures = c.failed ? 1 : 0;
        EXPECT_EQ(log.Count(L"Cg Error: "), failures) << log.Dump();
        EXPECT_EQ(log.Count(c.failed ? c.failed : L"Cg Error: ", 2), failures);
        EXPECT_EQ(log.Count(L"Shader compiler error, using 'error' shader\n", 2), failures);
        // The compiler's listing says why: a repeated line once with its count, ten lines
        // at the most, and how many more there were.
        EXPECT_EQ(log.Count(L"Cg listing: ", 2), c.listing) << log.Dump();
        if (c.folded) {
            EXPECT_EQ(log.Count(c.folded, 2), 1u);
        }
        ShaderSettings settings;
        shader->GetSettings(settings);
        EXPECT_EQ(settings.vertexShaderCode + settings.pixelShaderCode, c.failed ? errorPrograms : c.vertex + c.pixel);
        Frame([&] { Quad(shader); });  // draws with the error programs: nothing to report
    }

    // Cg keeps one pending error for the whole process: one that the host's own use of Cg
    // left behind does not fail the next compile.
    log.Clear();
    EXPECT_EQ(cgGetNamedParameter(nullptr, "nothing"), nullptr);
    EXPECT_EQ(Shader(vertex, pixel)->GetState(), rsReady);
    EXPECT_EQ(log.Count(L"Cg Error: "), 0u) << log.Dump();
    cgGetError();
}

TEST_F(RealShaderTest, AFloat3x3InTheProfilesLastRegistersArrives)
{
    // Bound to the last three constant registers of the pixel profile (224 in 3.0, 32
    // below): a write or read of a fourth register would fail, and the value never arrive.
    const int last = render->GetShaderLevel() == 2 ? 224 : 32;
    const std::string pixel = "uniform float3x3 m : register(c" + std::to_string(last - 3) +
                              "); float4 main() : COLOR { return float4(m[0].x, m[1].y, m[2].z, 1); }";
    boost::shared_ptr<IResShaderGPU> shader = Shader(QuadVertexShader, pixel);
    const float diagonal[9] = {1, 0, 0, 0, 0.5f, 0, 0, 0, 0.25f};
    shader->SetPixelParameter("m", ShaderValue::Block(diagonal, sizeof diagonal));
    const Pixels frame = Frame([&] { Quad(shader); });
    EXPECT_EQ(frame[Height / 2 * Width + Width / 2], 0xFFFF8040u);
}
