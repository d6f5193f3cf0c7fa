// The Cg double's own contract: what the conformance tests rely on it for.
#include "CgDouble.h"

#include <gtest/gtest.h>

namespace cd = cgdouble;

namespace {

class CgDouble : public ::testing::Test {
protected:
    void SetUp() override { cd::Reset(); context = cgCreateContext(); }
    void TearDown() override { cgDestroyContext(context); }
    CGprogram Compile(CGprofile profile, const char* source = "float4 main() : COLOR { return 0; }")
    {
        return cgCreateProgram(context, CG_SOURCE, source, profile, "main", nullptr);
    }
    CGcontext context = nullptr;
};

TEST_F(CgDouble, RecordsProgramsAndAnswersAssembly)
{
    const char* args[] = {"-O3", "-DMODE=2", nullptr};
    CGprogram vs = cgCreateProgram(context, CG_SOURCE, "vs source", CG_PROFILE_VS_3_0, "vmain", args);
    cd::SetProgramString(CG_PROFILE_PS_3_0, "ps_3_0\nmov oC0, c1\n");
    CGprogram ps = Compile(CG_PROFILE_PS_3_0);
    EXPECT_STREQ(cgGetProgramString(vs, CG_COMPILED_PROGRAM),
        "vs_3_0\ndcl_position v0\ndcl_position o0\nmov o0, v0\n");
    EXPECT_STREQ(cgGetProgramString(ps, CG_COMPILED_PROGRAM), "ps_3_0\nmov oC0, c1\n");

    const std::vector<cd::Program> programs = cd::Programs();
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].context, context);
    EXPECT_EQ(programs[0].source, "vs source");
    EXPECT_EQ(programs[0].entry, "vmain");
    EXPECT_EQ(programs[0].args, (std::vector<std::string>{"-O3", "-DMODE=2"}));
    const cd::Call call = cd::CallsTo("cgCreateProgram").at(0);
    EXPECT_EQ(call.text, "vs source");
    EXPECT_EQ(call.args.at(3), uint64_t(CG_PROFILE_VS_3_0));
    EXPECT_EQ(call.result, reinterpret_cast<uintptr_t>(vs));
}

TEST_F(CgDouble, ScriptedFailuresSetTheErrorOnce)
{
    cd::Fail("cgCreateProgram", CG_INVALID_PROFILE_ERROR, 2, 1);
    EXPECT_NE(Compile(CG_PROFILE_PS_2_0), nullptr);
    EXPECT_EQ(cgGetLastListing(context), nullptr);
    EXPECT_EQ(Compile(CG_PROFILE_PS_2_0), nullptr);
    EXPECT_EQ(cgGetError(), CG_INVALID_PROFILE_ERROR);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    EXPECT_STREQ(cgGetLastListing(context), cd::kInjectedListing);
    EXPECT_NE(Compile(CG_PROFILE_PS_2_0), nullptr);

    EXPECT_EQ(Compile(CG_PROFILE_PS_2_0, "float4 main() : COLOR {\n#error broken\n}"), nullptr);
    EXPECT_EQ(cgGetError(), CG_COMPILER_ERROR);
    EXPECT_STREQ(cgGetLastListing(context), "(2) : error C0000: #error directive in the source");
    EXPECT_NE(cgGetErrorString(CGerror(999)), nullptr);  // any number has a text
}

TEST_F(CgDouble, ParametersAndLifetimes)
{
    cd::SetParameter("scale", CG_C, CG_FLOAT4, 3);
    cd::SetParameter("unused", CG_UNDEFINED, CG_FLOAT, 0);
    const int contexts = cd::LiveContexts(), programs = cd::LivePrograms();
    CGprogram a = Compile(CG_PROFILE_PS_3_0), b = Compile(CG_PROFILE_PS_3_0);
    CGparameter scale = cgGetNamedParameter(a, "scale");
    EXPECT_EQ(cgGetNamedParameter(a, "scale"), scale);
    EXPECT_NE(cgGetNamedParameter(b, "scale"), scale);
    EXPECT_EQ(cgGetParameterResource(scale), CG_C);
    EXPECT_EQ(cgGetParameterType(scale), CG_FLOAT4);
    EXPECT_EQ(cgGetParameterResourceIndex(scale), 3ul);
    EXPECT_EQ(cgGetParameterResource(cgGetNamedParameter(a, "unused")), CG_UNDEFINED);
    EXPECT_EQ(cgGetNamedParameter(a, "missing"), nullptr);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);

    cgDestroyProgram(a);
    EXPECT_EQ(cd::LivePrograms(), programs + 1);
    EXPECT_EQ(cgGetParameterResource(scale), CG_UNDEFINED);  // its program is gone
    EXPECT_EQ(cgGetError(), CG_INVALID_PARAM_HANDLE_ERROR);
    cgDestroyProgram(a);
    EXPECT_EQ(cgGetError(), CG_INVALID_PROGRAM_HANDLE_ERROR);
    cgDestroyContext(context);  // takes b along
    EXPECT_EQ(cd::LiveContexts(), contexts - 1);
    EXPECT_EQ(cd::LivePrograms(), programs);
    cgDestroyContext(nullptr);
    EXPECT_EQ(cgGetError(), CG_INVALID_CONTEXT_HANDLE_ERROR);
    context = cgCreateContext();
}

}  // namespace
