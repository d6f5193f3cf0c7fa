// The Cg runtime as the plug-in sees it under Wine: cg.dll (the builtin bridge)
// forwarding to NVIDIA's libCg.so. Programs compiled for the Direct3D 9 profiles,
// their uniforms' registers, and compile errors with their listing.

#include <Cg/cg.h>
#include <gtest/gtest.h>

#include <iostream>
#include <string>

namespace {

const char* const kVertexSource = R"(
struct Output {
    float4 position : POSITION;
    float4 color    : COLOR0;
};

uniform float4x4 ModelViewProjection;
uniform float4 tint;
uniform float4 unused;

Output main(float4 position : POSITION)
{
    Output output;
    output.position = mul(ModelViewProjection, position);
#ifdef PROFILE_3_0
    output.color = tint * 0.375;
#else
    output.color = tint * 0.625;
#endif
    return output;
}
)";

const char* const kPixelSource = R"(
float4 main(float4 color : COLOR0, uniform float4 tint) : COLOR
{
    return color * tint;
}
)";

// Owns a Cg context; destroying it also destroys any program left in it.
class CgContext {
public:
    CgContext() : _context(cgCreateContext()) {}
    ~CgContext() { cgDestroyContext(_context); }
    CgContext(const CgContext&) = delete;
    CgContext& operator=(const CgContext&) = delete;
    operator CGcontext() const { return _context; }

private:
    CGcontext _context;
};

std::string Text(const char* text)
{
    return text ? text : "";
}

// The compiler's comment line describing one variable, e.g. "//var float4 tint :  : c[4] : -1 : 1".
std::string VarLine(const std::string& assembly, const std::string& declaration)
{
    const size_t start = assembly.find("//var " + declaration + " ");
    return start == std::string::npos ? std::string() : assembly.substr(start, assembly.find('\n', start) - start);
}

} // namespace

TEST(CgBridgeTest, VertexProgramCompilesWithItsArgumentsAndUniforms)
{
    CgContext context;
    ASSERT_NE(static_cast<CGcontext>(context), nullptr);
    const char* args[] = {"-DPROFILE_3_0", nullptr};
    CGprogram program = cgCreateProgram(context, CG_SOURCE, kVertexSource, CG_PROFILE_VS_3_0, "main", args);
    ASSERT_EQ(cgGetError(), CG_NO_ERROR) << Text(cgGetLastListing(context));
    ASSERT_NE(program, nullptr);

    const std::string assembly = Text(cgGetProgramString(program, CG_COMPILED_PROGRAM));
    EXPECT_EQ(assembly.find("vs_3_0"), 0u) << assembly;
    EXPECT_NE(assembly.find("0.375"), std::string::npos) << "the -D argument reached the compiler";
    EXPECT_EQ(assembly.find("0.625"), std::string::npos);

    CGparameter matrix = cgGetNamedParameter(program, "ModelViewProjection");
    CGparameter tint = cgGetNamedParameter(program, "tint");
    ASSERT_NE(matrix, nullptr);
    ASSERT_NE(tint, nullptr);
    EXPECT_EQ(cgGetParameterType(matrix), CG_FLOAT4x4);
    EXPECT_EQ(cgGetParameterType(tint), CG_FLOAT4);
    EXPECT_EQ(cgGetParameterResource(matrix), CG_C);
    EXPECT_EQ(cgGetParameterResource(tint), CG_C);
    // The matrix takes four consecutive constant registers; tint lies outside them.
    const unsigned long matrixIndex = cgGetParameterResourceIndex(matrix);
    const unsigned long tintIndex = cgGetParameterResourceIndex(tint);
    EXPECT_LE(matrixIndex + 3, 255u);
    EXPECT_TRUE(tintIndex < matrixIndex || tintIndex >= matrixIndex + 4) << matrixIndex << " " << tintIndex;
    // ... and are the registers the compiled program's own listing names.
    EXPECT_NE(VarLine(assembly, "float4x4 ModelViewProjection").find("c[" + std::to_string(matrixIndex) + "], 4"),
              std::string::npos);
    EXPECT_NE(VarLine(assembly, "float4 tint").find("c[" + std::to_string(tintIndex) + "]"), std::string::npos);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);

    // A uniform the program never reads has no register.
    CGparameter unused = cgGetNamedParameter(program, "unused");
    if (unused) {
        EXPECT_EQ(cgGetParameterResource(unused), CG_UNDEFINED);
    }
    EXPECT_EQ(cgGetNamedParameter(program, "absent"), nullptr);

    std::cout << assembly << "ModelViewProjection: c" << matrixIndex << ", tint: c" << tintIndex << ", unused: "
              << (unused && cgGetParameterResource(unused) == CG_UNDEFINED ? "CG_UNDEFINED" : "absent") << std::endl;

    cgDestroyProgram(program);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST(CgBridgeTest, PixelProgramCompiles)
{
    CgContext context;
    CGprogram program = cgCreateProgram(context, CG_SOURCE, kPixelSource, CG_PROFILE_PS_3_0, "main", nullptr);
    ASSERT_NE(program, nullptr) << Text(cgGetLastListing(context));
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    EXPECT_EQ(Text(cgGetProgramString(program, CG_COMPILED_PROGRAM)).find("ps_3_0"), 0u);
    EXPECT_EQ(cgGetParameterResource(cgGetNamedParameter(program, "tint")), CG_C);
    cgDestroyProgram(program);
}

TEST(CgBridgeTest, CompileErrorsComeBackWithTheirListing)
{
    CgContext context;
    const char* source = "float4 main(float4 p : POSITION) : POSITION\n"
                         "{\n"
                         "    return p + ;\n"
                         "}\n";
    EXPECT_EQ(cgCreateProgram(context, CG_SOURCE, source, CG_PROFILE_VS_3_0, "main", nullptr), nullptr);
    const CGerror error = cgGetError();
    EXPECT_NE(error, CG_NO_ERROR);
    EXPECT_FALSE(Text(cgGetErrorString(error)).empty());
    const std::string listing = Text(cgGetLastListing(context));
    EXPECT_NE(listing.find("(3)"), std::string::npos) << listing;
    EXPECT_NE(listing.find("error"), std::string::npos) << listing;

    // An empty source and a missing entry point fail the same way.
    EXPECT_EQ(cgCreateProgram(context, CG_SOURCE, "", CG_PROFILE_VS_3_0, "main", nullptr), nullptr);
    EXPECT_NE(cgGetError(), CG_NO_ERROR);
    EXPECT_EQ(cgCreateProgram(context, CG_SOURCE, kPixelSource, CG_PROFILE_PS_3_0, "nowhere", nullptr), nullptr);
    EXPECT_NE(cgGetError(), CG_NO_ERROR);
}

// NVIDIA's compiler corrupts memory on identifiers of a few hundred characters and
// more; the bridge turns them into compile errors and leaves the rest to Cg.
TEST(CgBridgeTest, OverlongIdentifiersFailToCompileInsteadOfCrashing)
{
    CgContext context;
    const std::string megabyte(1 << 20, 'x');
    EXPECT_EQ(cgCreateProgram(context, CG_SOURCE, megabyte.c_str(), CG_PROFILE_VS_3_0, "main", nullptr), nullptr);
    EXPECT_EQ(cgGetError(), CG_COMPILER_ERROR);
    EXPECT_NE(Text(cgGetLastListing(context)).find("(1) : error C0000: an identifier of 1048576 characters"),
              std::string::npos) << Text(cgGetLastListing(context));

    const std::string uniform(600, 'u');
    const std::string source = "// a comment: " + megabyte + "\n/* and\n" + megabyte + " */\nuniform float4 " + uniform +
                               ";\nfloat4 main(float4 p : POSITION) : POSITION { return p * " + uniform + "; }\n";
    EXPECT_EQ(cgCreateProgram(context, CG_SOURCE, source.c_str(), CG_PROFILE_VS_3_0, "main", nullptr), nullptr);
    EXPECT_EQ(cgGetError(), CG_COMPILER_ERROR);
    EXPECT_NE(Text(cgGetLastListing(context)).find("(4) : error C0000: an identifier of 600 characters"),
              std::string::npos) << Text(cgGetLastListing(context));

    // Comments, long numbers and names up to 255 characters are Cg's to compile.
    const std::string name(255, 'n');
    const std::string accepted = "// " + megabyte + "\nuniform float4 " + name +
                                 ";\nfloat4 main(float4 p : POSITION) : POSITION { return p * " + name + " * 1." +
                                 std::string(4096, '0') + "; }\n";
    CGprogram program = cgCreateProgram(context, CG_SOURCE, accepted.c_str(), CG_PROFILE_VS_3_0, "main", nullptr);
    EXPECT_NE(program, nullptr) << Text(cgGetLastListing(context));
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    EXPECT_EQ(cgGetParameterResource(cgGetNamedParameter(program, name.c_str())), CG_C);
}
