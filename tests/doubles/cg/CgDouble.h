// Control interface of the Cg double (cg.dll built from tests/doubles/cg).
//
// The double stands in for NVIDIA's Cg runtime in the conformance tests: the plug-in loads
// it as cg.dll (Wine override cg=n), and the test program links it too, so both talk to one
// instance. Every call of its twelve entry points is logged under the function's name with
// its integer and pointer arguments in order (enums zero-extended).
//
// Compiling is pretended: cgCreateProgram takes any source and profile and "compiles" it
// on the spot into the assembly text set for that profile (by default a minimal valid
// shader for vs_2_0, vs_2_x, vs_3_0, ps_2_0, ps_2_x and ps_3_0, an empty text for any other
// profile), which cgGetProgramString(CG_COMPILED_PROGRAM) answers for the program's life.
// A source containing "#error" fails with CG_COMPILER_ERROR and a listing.
//
// Errors behave like Cg's: one pending error for the process, set by a failing call,
// answered and cleared by cgGetError; successful calls leave it alone. A null or destroyed
// handle is an error (CG_INVALID_*_HANDLE_ERROR), never a crash. Handles are never reused.
#pragma once

#include <Cg/cg.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#ifdef CGDOUBLE_BUILDING
#define CGDOUBLE_API __declspec(dllexport)
#else
#define CGDOUBLE_API __declspec(dllimport)
#endif

namespace cgdouble {

// The listing of a cgCreateProgram failed through Fail.
constexpr const char* kInjectedListing = "(0) : error C0000: syntax error injected by the Cg double";

struct Call {
    std::string function;  // "cgCreateProgram"
    std::vector<uint64_t> args;
    std::string text;  // the source (cgCreateProgram) or name (cgGetNamedParameter), else empty
    uint64_t result;  // what the call returned (0 for the void functions)
};

struct Program {
    CGprogram handle;
    CGcontext context;
    CGenum type;  // CG_SOURCE or CG_OBJECT
    std::string source;
    CGprofile profile;
    std::string entry;
    std::vector<std::string> args;  // the compiler arguments, up to the null that ends them
    bool alive;  // neither it nor its context destroyed
};

// Forgets calls, call numbers, scripts, assembly texts, parameters and the pending error;
// live contexts and programs stay tracked.
CGDOUBLE_API void Reset();

// Calls of `function` are numbered from 1 since Reset; calls first .. first+count-1 fail
// (the last script given wins where scripts overlap): cgCreateProgram and the functions that
// return a handle or string return null, the others 0 / CG_UNDEFINED / CG_UNKNOWN_TYPE, the
// two destroy functions destroy nothing, and cgGetError answers `error` next. A failing
// cgCreateProgram leaves kInjectedListing as the context's last listing. A failing cgGetError
// itself answers `error`.
CGDOUBLE_API void Fail(
    const std::string& function, CGerror error, unsigned first = 1, unsigned count = UINT_MAX);

// What programs created from now on for `profile` compile to.
CGDOUBLE_API void SetProgramString(CGprofile profile, const std::string& assembly);
// What the next `count` programs created for `profile` compile to; later ones compile to the
// text SetProgramString gave (so a fallback compile can succeed where the first failed).
CGDOUBLE_API void SetNextProgramString(CGprofile profile, const std::string& assembly, unsigned count = 1);

// A uniform every program has: cgGetNamedParameter finds it, and the parameter reports
// this resource (CG_UNDEFINED for a uniform the compiler dropped), type and index. Names
// not declared are unknown: cgGetNamedParameter answers null without an error.
CGDOUBLE_API void SetParameter(
    const std::string& name, CGresource resource, CGtype type, unsigned long index);

CGDOUBLE_API std::vector<Call> Calls();
CGDOUBLE_API size_t CallCount();  // of all functions, without copying the log
CGDOUBLE_API std::vector<Call> CallsTo(const std::string& function);
CGDOUBLE_API size_t CountCalls(const std::string& function);
CGDOUBLE_API void ClearCalls();  // the log only: call numbers and scripts stay

// Every program created since Reset, in order of creation.
CGDOUBLE_API std::vector<Program> Programs();
CGDOUBLE_API int LiveContexts();
CGDOUBLE_API int LivePrograms();

}  // namespace cgdouble
