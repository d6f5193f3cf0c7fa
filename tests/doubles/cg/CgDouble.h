// Control interface of the Cg double (cg.dll built from tests/doubles/cg).
//
// The double stands in for NVIDIA's Cg runtime in the conformance tier: the plug-in loads it
// as cg.dll (Wine override cg=n) and the test program links it too, so both talk to one
// instance. It implements the eleven functions the plug-in calls. Compiling is pretended: any
// source compiles at once to a minimal valid assembly text of its profile, unless it holds
// "#error" (CG_COMPILER_ERROR). Errors behave like Cg's: one pending error, set by a failing
// call, answered and cleared by cgGetError. A null or destroyed handle is an error, never a
// crash. Every call is logged with the place it was called from. The tests call the plug-in
// from one thread at a time, so the double takes no lock.
#pragma once

#include <Cg/cg.h>

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#ifdef CGDOUBLE_BUILDING
#define CGDOUBLE_API __declspec(dllexport)
#else
#define CGDOUBLE_API __declspec(dllimport)
#endif

namespace cgdouble {

struct Call { std::string function; uintptr_t site; };  // "cgCreateProgram", the caller's return address
struct Uniform { CGresource resource; CGtype type; unsigned long index; };  // resource CG_UNDEFINED: dropped

// What the double answers from; Reset empties it.
struct Settings {
    std::map<std::string, Uniform> uniforms;  // what every program has; other names are unknown
    std::string nextAssembly;  // what the next `nextCount` programs compile to instead of their profile's text
    unsigned nextCount = 0;
};

// Forgets calls, scripts, settings and the pending error; live objects stay tracked.
CGDOUBLE_API void Reset();
CGDOUBLE_API Settings& Current();
// The next `count` calls of `function` after the next `skip` fail: they do nothing, answer
// null (or 0, CG_UNDEFINED, CG_UNKNOWN_TYPE) and leave `error` pending; a failing cgGetError
// answers `error` itself.
CGDOUBLE_API void Fail(const std::string& function, CGerror error, unsigned count = UINT_MAX, unsigned skip = 0);
CGDOUBLE_API std::vector<Call> Calls();  // since Reset, the first 100000
CGDOUBLE_API int LiveContexts();
CGDOUBLE_API int LivePrograms();

}  // namespace cgdouble
