// The Cg double: contexts, programs and parameters as small heap objects, the call log and
// its failure scripts, and the twelve Cg entry points the plug-in imports.
#define CG_API __declspec(dllexport)
#include "CgDouble.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

namespace cgdouble {
namespace {

struct Context {
    std::string listing;  // empty: none
    bool alive = true;
};

struct ProgramObject {
    Program record;
    std::string compiled;
};

struct ParameterObject {
    ProgramObject* program;
    std::string name;
};

struct Declared {
    CGresource resource;
    CGtype type;
    unsigned long index;
};

struct Script {
    std::string function;
    CGerror error;
    unsigned first, count;
};

struct State {
    std::mutex mutex;
    std::vector<Call> calls;
    std::map<std::string, unsigned> numbers;
    std::vector<Script> scripts;
    std::map<CGprofile, std::string> assembly;
    std::map<CGprofile, std::pair<std::string, unsigned>> nextAssembly;  // text, programs left
    std::map<std::string, Declared> parameters;
    CGerror pending = CG_NO_ERROR;
    std::map<int, std::string> errorStrings;
    // Every object ever made, never freed: a stale handle stays recognisable as dead.
    std::vector<std::unique_ptr<Context>> contexts;
    std::vector<std::unique_ptr<ProgramObject>> programs;
    std::map<std::pair<ProgramObject*, std::string>, std::unique_ptr<ParameterObject>> handles;
    size_t firstProgram = 0;  // the first of `programs` created since Reset
};

// Never destroyed: the plug-in may still call in while the process exits.
State& S()
{
    static State* state = new State();
    return *state;
}

void SetDefaults(State& s)
{
    s.assembly = {
        {CG_PROFILE_VS_2_0, "vs_2_0\ndcl_position v0\nmov oPos, v0\n"},
        {CG_PROFILE_VS_2_X, "vs_2_x\ndcl_position v0\nmov oPos, v0\n"},
        {CG_PROFILE_VS_3_0, "vs_3_0\ndcl_position v0\ndcl_position o0\nmov o0, v0\n"},
        {CG_PROFILE_PS_2_0, "ps_2_0\nmov oC0, c0\n"},
        {CG_PROFILE_PS_2_X, "ps_2_x\nmov oC0, c0\n"},
        {CG_PROFILE_PS_3_0, "ps_3_0\nmov oC0, c0\n"},
    };
}

const char* ProfileName(CGprofile profile)
{
    switch (profile) {
    case CG_PROFILE_VS_2_0: return "vs_2_0";
    case CG_PROFILE_VS_2_X: return "vs_2_x";
    case CG_PROFILE_VS_3_0: return "vs_3_0";
    case CG_PROFILE_PS_2_0: return "ps_2_0";
    case CG_PROFILE_PS_2_X: return "ps_2_x";
    case CG_PROFILE_PS_3_0: return "ps_3_0";
    default: return "";
    }
}

template <typename T>
uint64_t Bits(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<uintptr_t>(value);
    else
        return static_cast<uint64_t>(value);
}

// One call of an entry point: holds the lock, logs the call and finds its failure script.
class Entry {
public:
    Entry(const char* function, std::vector<uint64_t> args, std::string text = std::string())
        : s(S()), lock_(s.mutex)
    {
        const unsigned number = ++s.numbers[function];
        for (const Script& script : s.scripts)
            if (script.function == function && number >= script.first
                && number - script.first < script.count)
                failure_ = &script;
        s.calls.push_back({function, std::move(args), std::move(text), 0});
        index_ = s.calls.size() - 1;
    }
    // True when the call is scripted to fail; the scripted error is then pending.
    bool Failed()
    {
        if (failure_)
            s.pending = failure_->error;
        return failure_ != nullptr;
    }
    CGerror ScriptedError() const { return failure_->error; }
    template <typename T>
    T Answer(T value)
    {
        s.calls[index_].result = Bits(value);
        return value;
    }
    template <typename T>
    T Error(CGerror error, T value)
    {
        s.pending = error;
        return Answer(value);
    }
    void Error(CGerror error) { s.pending = error; }

    Context* FindContext(CGcontext handle)
    {
        for (auto& context : s.contexts)
            if (reinterpret_cast<CGcontext>(context.get()) == handle)
                return context->alive ? context.get() : nullptr;
        return nullptr;
    }
    ProgramObject* FindProgram(CGprogram handle)
    {
        for (auto& program : s.programs)
            if (program->record.handle == handle)
                return program->record.alive ? program.get() : nullptr;
        return nullptr;
    }
    // The declaration behind a parameter handle of a live program; null when there is none.
    const Declared* FindParameter(CGparameter handle)
    {
        for (auto& entry : s.handles) {
            if (reinterpret_cast<CGparameter>(entry.second.get()) != handle)
                continue;
            if (!entry.first.first->record.alive)
                return nullptr;
            auto declared = s.parameters.find(entry.first.second);
            return declared == s.parameters.end() ? nullptr : &declared->second;
        }
        return nullptr;
    }

    State& s;

private:
    std::lock_guard<std::mutex> lock_;
    const Script* failure_ = nullptr;
    size_t index_ = 0;
};

// The listing of a source that holds "#error", with its line; empty when it has none.
std::string ErrorDirectiveListing(const std::string& source)
{
    const size_t at = source.find("#error");
    if (at == std::string::npos)
        return std::string();
    const long line = 1 + std::count(source.begin(), source.begin() + at, '\n');
    return "(" + std::to_string(line) + ") : error C0000: #error directive in the source";
}

}  // namespace

void Reset()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.calls.clear();
    s.numbers.clear();
    s.scripts.clear();
    s.parameters.clear();
    s.pending = CG_NO_ERROR;
    s.nextAssembly.clear();
    s.firstProgram = s.programs.size();
    SetDefaults(s);
}

void Fail(const std::string& function, CGerror error, unsigned first, unsigned count)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.scripts.push_back({function, error, first, count});
}

void SetProgramString(CGprofile profile, const std::string& assembly)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.assembly[profile] = assembly;
}

void SetNextProgramString(CGprofile profile, const std::string& assembly, unsigned count)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.nextAssembly[profile] = {assembly, count};
}

void SetParameter(const std::string& name, CGresource resource, CGtype type, unsigned long index)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.parameters[name] = {resource, type, index};
}

std::vector<Call> Calls()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls;
}

size_t CallCount()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls.size();
}

std::vector<Call> CallsTo(const std::string& function)
{
    std::vector<Call> selected;
    for (Call& call : Calls())
        if (call.function == function)
            selected.push_back(std::move(call));
    return selected;
}

size_t CountCalls(const std::string& function) { return CallsTo(function).size(); }

void ClearCalls()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.calls.clear();
}

std::vector<Program> Programs()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<Program> programs;
    for (size_t i = s.firstProgram; i < s.programs.size(); ++i)
        programs.push_back(s.programs[i]->record);
    return programs;
}

int LiveContexts()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(std::count_if(s.contexts.begin(), s.contexts.end(),
        [](const auto& context) { return context->alive; }));
}

int LivePrograms()
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(std::count_if(s.programs.begin(), s.programs.end(),
        [](const auto& program) { return program->record.alive; }));
}

}  // namespace cgdouble

using cgdouble::Bits;
using cgdouble::Entry;

CGcontext CGENTRY cgCreateContext(void)
{
    Entry e("cgCreateContext", {});
    if (e.Failed())
        return e.Answer(CGcontext(nullptr));
    e.s.contexts.push_back(std::make_unique<cgdouble::Context>());
    return e.Answer(reinterpret_cast<CGcontext>(e.s.contexts.back().get()));
}

void CGENTRY cgDestroyContext(CGcontext context)
{
    Entry e("cgDestroyContext", {Bits(context)});
    if (e.Failed())
        return;
    cgdouble::Context* found = e.FindContext(context);
    if (!found)
        return e.Error(CG_INVALID_CONTEXT_HANDLE_ERROR);
    found->alive = false;
    for (auto& program : e.s.programs)
        if (program->record.context == context)
            program->record.alive = false;
}

CGprogram CGENTRY cgCreateProgram(CGcontext context, CGenum program_type, const char* program,
    CGprofile profile, const char* entry, const char** args)
{
    const std::string source = program ? program : "";
    Entry e("cgCreateProgram",
        {Bits(context), Bits(program_type), Bits(program), Bits(profile), Bits(entry), Bits(args)},
        source);
    cgdouble::Context* owner = e.FindContext(context);
    if (e.Failed()) {
        if (owner)
            owner->listing = cgdouble::kInjectedListing;
        return e.Answer(CGprogram(nullptr));
    }
    if (!owner)
        return e.Error(CG_INVALID_CONTEXT_HANDLE_ERROR, CGprogram(nullptr));
    if (!program)
        return e.Error(CG_INVALID_PARAMETER_ERROR, CGprogram(nullptr));
    owner->listing = cgdouble::ErrorDirectiveListing(source);
    if (!owner->listing.empty())
        return e.Error(CG_COMPILER_ERROR, CGprogram(nullptr));

    auto made = std::make_unique<cgdouble::ProgramObject>();
    cgdouble::Program& r = made->record;
    r = {reinterpret_cast<CGprogram>(made.get()), context, program_type, source, profile,
        entry ? entry : "", {}, true};
    for (const char** arg = args; arg && *arg; ++arg)
        r.args.push_back(*arg);
    auto assembly = e.s.assembly.find(profile);
    made->compiled = assembly == e.s.assembly.end() ? std::string() : assembly->second;
    auto next = e.s.nextAssembly.find(profile);
    if (next != e.s.nextAssembly.end() && next->second.second > 0) {
        made->compiled = next->second.first;
        --next->second.second;
    }
    e.s.programs.push_back(std::move(made));
    return e.Answer(r.handle);
}

void CGENTRY cgDestroyProgram(CGprogram program)
{
    Entry e("cgDestroyProgram", {Bits(program)});
    if (e.Failed())
        return;
    cgdouble::ProgramObject* found = e.FindProgram(program);
    if (!found)
        return e.Error(CG_INVALID_PROGRAM_HANDLE_ERROR);
    found->record.alive = false;
}

const char* CGENTRY cgGetProgramString(CGprogram program, CGenum pname)
{
    Entry e("cgGetProgramString", {Bits(program), Bits(pname)});
    if (e.Failed())
        return e.Answer(static_cast<const char*>(nullptr));
    const cgdouble::ProgramObject* found = e.FindProgram(program);
    if (!found)
        return e.Error(CG_INVALID_PROGRAM_HANDLE_ERROR, static_cast<const char*>(nullptr));
    switch (pname) {
    case CG_COMPILED_PROGRAM: return e.Answer(found->compiled.c_str());
    case CG_PROGRAM_SOURCE: return e.Answer(found->record.source.c_str());
    case CG_PROGRAM_ENTRY: return e.Answer(found->record.entry.c_str());
    case CG_PROGRAM_PROFILE: return e.Answer(cgdouble::ProfileName(found->record.profile));
    default: return e.Error(CG_INVALID_ENUMERANT_ERROR, static_cast<const char*>(nullptr));
    }
}

CGerror CGENTRY cgGetError(void)
{
    Entry e("cgGetError", {});
    if (e.Failed()) {
        e.s.pending = CG_NO_ERROR;
        return e.Answer(e.ScriptedError());
    }
    return e.Answer(std::exchange(e.s.pending, CG_NO_ERROR));
}

const char* CGENTRY cgGetErrorString(CGerror error)
{
    Entry e("cgGetErrorString", {Bits(error)});
    if (e.Failed())
        return e.Answer(static_cast<const char*>(nullptr));
    std::string& text = e.s.errorStrings[error];  // kept: the answer stays valid
    if (text.empty()) {
        switch (error) {
    case CG_NO_ERROR: text = "No error has occurred."; break;
    case CG_COMPILER_ERROR: text = "The compile returned an error."; break;
    case CG_INVALID_PARAMETER_ERROR: text = "The parameter used is invalid."; break;
    case CG_INVALID_PROFILE_ERROR: text = "The profile is not supported."; break;
    case CG_INVALID_ENUMERANT_ERROR: text = "Invalid enumerant parameter."; break;
    case CG_MEMORY_ALLOC_ERROR: text = "Memory allocation failed."; break;
    case CG_INVALID_CONTEXT_HANDLE_ERROR: text = "Invalid context handle."; break;
    case CG_INVALID_PROGRAM_HANDLE_ERROR: text = "Invalid program handle."; break;
    case CG_INVALID_PARAM_HANDLE_ERROR: text = "Invalid parameter handle."; break;
    case CG_UNKNOWN_PROFILE_ERROR: text = "The specified profile is unknown."; break;
    default: text = "Cg error " + std::to_string(static_cast<int>(error)) + "."; break;
    }
    }
    return e.Answer(text.c_str());
}

const char* CGENTRY cgGetLastListing(CGcontext context)
{
    Entry e("cgGetLastListing", {Bits(context)});
    if (e.Failed())
        return e.Answer(static_cast<const char*>(nullptr));
    const cgdouble::Context* found = e.FindContext(context);
    if (!found)
        return e.Error(CG_INVALID_CONTEXT_HANDLE_ERROR, static_cast<const char*>(nullptr));
    return e.Answer(found->listing.empty() ? nullptr : found->listing.c_str());
}

CGparameter CGENTRY cgGetNamedParameter(CGprogram program, const char* name)
{
    Entry e("cgGetNamedParameter", {Bits(program), Bits(name)}, name ? name : "");
    if (e.Failed())
        return e.Answer(CGparameter(nullptr));
    cgdouble::ProgramObject* found = e.FindProgram(program);
    if (!found)
        return e.Error(CG_INVALID_PROGRAM_HANDLE_ERROR, CGparameter(nullptr));
    if (!name)
        return e.Error(CG_INVALID_POINTER_ERROR, CGparameter(nullptr));
    if (!e.s.parameters.count(name))
        return e.Answer(CGparameter(nullptr));
    auto& handle = e.s.handles[{found, name}];
    if (!handle)
        handle.reset(new cgdouble::ParameterObject{found, name});
    return e.Answer(reinterpret_cast<CGparameter>(handle.get()));
}

CGresource CGENTRY cgGetParameterResource(CGparameter param)
{
    Entry e("cgGetParameterResource", {Bits(param)});
    if (e.Failed())
        return e.Answer(CG_UNDEFINED);
    const cgdouble::Declared* found = e.FindParameter(param);
    if (!found)
        return e.Error(CG_INVALID_PARAM_HANDLE_ERROR, CG_UNDEFINED);
    return e.Answer(found->resource);
}

CGtype CGENTRY cgGetParameterType(CGparameter param)
{
    Entry e("cgGetParameterType", {Bits(param)});
    if (e.Failed())
        return e.Answer(CG_UNKNOWN_TYPE);
    const cgdouble::Declared* found = e.FindParameter(param);
    if (!found)
        return e.Error(CG_INVALID_PARAM_HANDLE_ERROR, CG_UNKNOWN_TYPE);
    return e.Answer(found->type);
}

unsigned long CGENTRY cgGetParameterResourceIndex(CGparameter param)
{
    Entry e("cgGetParameterResourceIndex", {Bits(param)});
    if (e.Failed())
        return e.Answer(0ul);
    const cgdouble::Declared* found = e.FindParameter(param);
    if (!found)
        return e.Error(CG_INVALID_PARAM_HANDLE_ERROR, 0ul);
    return e.Answer(found->index);
}
