// The Cg double: contexts, programs and parameter handles are small objects that are never
// freed (a stale handle stays recognisable as dead), with the call log and failure scripts.
#define CG_API __declspec(dllexport)
#include "CgDouble.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>

#define SITE __builtin_return_address(0)

namespace cgdouble {
namespace {

enum Kind { Context, Program, Parameter };

struct Object {
    Kind kind;
    Object* owner;  // a program's context, a parameter's program
    std::string text;  // a program's assembly, a parameter's name
    bool alive;
};

struct Script {
    std::string function;
    CGerror error;
    unsigned first, count;
};

struct State {
    std::vector<Call> calls;
    std::map<std::string, unsigned> numbers;
    std::vector<Script> scripts;
    Settings settings;
    CGerror pending = CG_NO_ERROR;
    std::deque<Object> objects;
};

State& S()  // never destroyed: the plug-in may still call in while the process exits
{
    static State* state = new State();
    return *state;
}

// Logs one call; answers the error it is scripted to fail with, which is then pending.
CGerror Failing(const char* function, const void* site)
{
    if (S().calls.size() < 100000)  // a long run does not fill the memory
        S().calls.push_back({function, reinterpret_cast<uintptr_t>(site)});
    const unsigned number = ++S().numbers[function];
    for (const Script& script : S().scripts)
        if (script.function == function && number >= script.first && number - script.first < script.count)
            return S().pending = script.error;
    return CG_NO_ERROR;
}

// True when the call is scripted to fail or its arguments are not `valid` (then `error` is pending).
bool Refused(const char* function, const void* site, bool valid, CGerror error)
{
    if (Failing(function, site))
        return true;
    S().pending = valid ? S().pending : error;
    return !valid;
}

Object* Find(const void* handle, Kind kind)
{
    Object* object = static_cast<Object*>(const_cast<void*>(handle));
    return object && object->kind == kind && object->alive && (kind != Parameter || object->owner->alive) ? object : nullptr;
}

template <class Handle> Handle Add(Kind kind, Object* owner, const std::string& text)
{
    return reinterpret_cast<Handle>(&S().objects.emplace_back(Object{kind, owner, text, true}));
}

const char* Assembly(CGprofile profile)  // a minimal valid text of each profile the plug-in uses
{
    static const std::map<CGprofile, const char*> texts = {{CG_PROFILE_VS_2_0, "vs_2_0\ndcl_position v0\nmov oPos, v0\n"},
        {CG_PROFILE_VS_2_X, "vs_2_x\ndcl_position v0\nmov oPos, v0\n"}, {CG_PROFILE_VS_3_0, "vs_3_0\ndcl_position v0\ndcl_position o0\nmov o0, v0\n"},
        {CG_PROFILE_PS_2_0, "ps_2_0\nmov oC0, c0\n"}, {CG_PROFILE_PS_2_X, "ps_2_x\nmov oC0, c0\n"}, {CG_PROFILE_PS_3_0, "ps_3_0\nmov oC0, c0\n"}};
    return texts.count(profile) ? texts.at(profile) : "";
}

// A parameter's declaration, or `failed`.
template <class T> T Query(const char* function, const void* site, CGparameter handle, T failed, T Uniform::*field)
{
    const Object* parameter = Find(handle, Parameter);
    const auto found = parameter ? S().settings.uniforms.find(parameter->text) : S().settings.uniforms.end();
    return Refused(function, site, found != S().settings.uniforms.end(), CG_INVALID_PARAM_HANDLE_ERROR) ? failed : found->second.*field;
}

int Live(Kind kind)
{
    return int(std::count_if(S().objects.begin(), S().objects.end(), [&](const Object& o) { return Find(&o, kind); }));
}

}  // namespace

void Reset()
{
    S().calls.clear();
    S().numbers.clear();
    S().scripts.clear();
    S().settings = Settings();
    S().pending = CG_NO_ERROR;
}

Settings& Current() { return S().settings; }
std::vector<Call> Calls() { return S().calls; }
int LiveContexts() { return Live(Context); }
int LivePrograms() { return Live(Program); }

void Fail(const std::string& function, CGerror error, unsigned count, unsigned skip)
{
    S().scripts.push_back({function, error, S().numbers[function] + skip + 1, count});
}

}  // namespace cgdouble

using namespace cgdouble;

CGcontext CGENTRY cgCreateContext(void)
{
    return Failing("cgCreateContext", SITE) ? nullptr : Add<CGcontext>(Context, nullptr, "");
}

void CGENTRY cgDestroyContext(CGcontext handle)
{
    Object* context = Find(handle, Context);
    if (Refused("cgDestroyContext", SITE, context, CG_INVALID_CONTEXT_HANDLE_ERROR))
        return;
    for (Object& object : S().objects)  // the context and its programs
        object.alive = object.alive && &object != context && object.owner != context;
}

CGprogram CGENTRY cgCreateProgram(CGcontext handle, CGenum, const char* source, CGprofile profile, const char*, const char**)
{
    Object* context = Find(handle, Context);
    if (Refused("cgCreateProgram", SITE, context && source, context ? CG_INVALID_PARAMETER_ERROR : CG_INVALID_CONTEXT_HANDLE_ERROR))
        return nullptr;
    if (std::strstr(source, "#error"))
        return S().pending = CG_COMPILER_ERROR, nullptr;
    Settings& s = S().settings;
    const bool scripted = s.nextCount > 0;
    s.nextCount -= scripted ? 1 : 0;
    return Add<CGprogram>(Program, context, scripted ? s.nextAssembly : Assembly(profile));
}

void CGENTRY cgDestroyProgram(CGprogram handle)
{
    Object* program = Find(handle, Program);
    if (!Refused("cgDestroyProgram", SITE, program, CG_INVALID_PROGRAM_HANDLE_ERROR))
        program->alive = false;
}

const char* CGENTRY cgGetProgramString(CGprogram handle, CGenum)
{
    const Object* program = Find(handle, Program);
    return Refused("cgGetProgramString", SITE, program, CG_INVALID_PROGRAM_HANDLE_ERROR) ? nullptr : program->text.c_str();
}

CGerror CGENTRY cgGetError(void)
{
    const CGerror scripted = Failing("cgGetError", SITE), pending = std::exchange(S().pending, CG_NO_ERROR);
    return scripted ? scripted : pending;
}

CGparameter CGENTRY cgGetNamedParameter(CGprogram handle, const char* name)
{
    Object* program = Find(handle, Program);
    if (Refused("cgGetNamedParameter", SITE, program && name, program ? CG_INVALID_POINTER_ERROR : CG_INVALID_PROGRAM_HANDLE_ERROR))
        return nullptr;
    return S().settings.uniforms.count(name) ? Add<CGparameter>(Parameter, program, name) : nullptr;
}

CGresource CGENTRY cgGetParameterResource(CGparameter handle)
{
    return Query("cgGetParameterResource", SITE, handle, CG_UNDEFINED, &Uniform::resource);
}

CGtype CGENTRY cgGetParameterType(CGparameter handle)
{
    return Query("cgGetParameterType", SITE, handle, CG_UNKNOWN_TYPE, &Uniform::type);
}

unsigned long CGENTRY cgGetParameterResourceIndex(CGparameter handle)
{
    return Query("cgGetParameterResourceIndex", SITE, handle, 0ul, &Uniform::index);
}

const char* CGENTRY cgGetLastListing(CGcontext)
{
    return nullptr;  // the double's compiles leave no listing
}
