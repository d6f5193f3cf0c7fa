#include "scene/CgCompiler.h"

#include <algorithm>

namespace {

// As the plug-in compiles for each shader level.
const char* Arguments20[] = {"-DPROFILE_2_0", nullptr};
const char* Arguments2X[] = {"-DPROFILE_2_X", "-unroll", "all", "-ifcvt", "all", nullptr};
const char* Arguments30[] = {"-DPROFILE_3_0", "-unroll", "all", "-ifcvt", "all", nullptr};

} // namespace

CgProgram& CgProgram::operator=(CgProgram&& other) noexcept
{
    if (this != &other) {
        if (_program)
            cgDestroyProgram(_program);
        _program = other._program;
        _listing = std::move(other._listing);
        other._program = nullptr;
    }
    return *this;
}

CgProgram::~CgProgram()
{
    if (_program)
        cgDestroyProgram(_program);
}

std::string CgProgram::Assembly() const
{
    const char* text = _program ? cgGetProgramString(_program, CG_COMPILED_PROGRAM) : nullptr;
    return text ? text : "";
}

std::optional<CgParameter> CgProgram::Find(const std::string& name) const
{
    CGparameter parameter = _program ? cgGetNamedParameter(_program, name.c_str()) : nullptr;
    if (!parameter) {
        cgGetError();
        return std::nullopt;
    }
    CgParameter result;
    result.type = cgGetParameterType(parameter);
    result.used = cgGetParameterResource(parameter) != CG_UNDEFINED;
    result.index = result.used ? static_cast<int>(cgGetParameterResourceIndex(parameter)) : 0;
    cgGetError();
    return result;
}

std::vector<std::string> CgProgram::UsedUniforms() const
{
    // Lines such as "//var float strength :  : c[4] : -1 : 1": type and name, semantic
    // (empty for a uniform), resource, parameter number, and 1 when the program reads it.
    std::vector<std::string> names;
    const std::string assembly = Assembly();
    size_t start = 0;
    while (start < assembly.size()) {
        const size_t end = std::min(assembly.find('\n', start), assembly.size());
        std::string line = assembly.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, 6, "//var ") != 0)
            continue;
        const size_t semantic = line.find(" : ");
        const size_t resource = semantic == std::string::npos ? semantic : line.find(" : ", semantic + 3);
        const size_t nameStart = line.find(' ', 6);
        if (resource != semantic + 3 || nameStart == std::string::npos || nameStart >= semantic)
            continue;  // a varying input or output: it has a semantic
        const bool read = line.size() > 1 && line.compare(line.size() - 2, 2, " 1") == 0;
        // Members of arrays and structures are named after their uniform.
        const std::string name = line.substr(nameStart + 1, line.find_first_of("[. ", nameStart + 1) - nameStart - 1);
        if (read && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

CgCompiler::CgCompiler(int shaderLevel) : _context(cgCreateContext())
{
    switch (shaderLevel) {
    case 2:
        _vertexProfile = CG_PROFILE_VS_3_0;
        _pixelProfile = CG_PROFILE_PS_3_0;
        _arguments = Arguments30;
        break;
    case 1:
        _vertexProfile = CG_PROFILE_VS_2_X;
        _pixelProfile = CG_PROFILE_PS_2_X;
        _arguments = Arguments2X;
        break;
    default:
        _vertexProfile = CG_PROFILE_VS_2_0;
        _pixelProfile = CG_PROFILE_PS_2_0;
        _arguments = Arguments20;
        break;
    }
}

CgCompiler::~CgCompiler()
{
    if (_context)
        cgDestroyContext(_context);
}

std::string CgCompiler::PixelProfileName() const
{
    switch (_pixelProfile) {
    case CG_PROFILE_PS_3_0:
        return "ps_3_0";
    case CG_PROFILE_PS_2_X:
        return "ps_2_x";
    default:
        return "ps_2_0";
    }
}

CgProgram CgCompiler::Compile(const std::string& source, CGprofile profile)
{
    cgGetError();  // start from no pending error
    CGprogram program = cgCreateProgram(_context, CG_SOURCE, source.c_str(), profile, "main", _arguments);
    const CGerror error = cgGetError();
    const char* listing = cgGetLastListing(_context);
    std::string text = listing ? listing : "";
    if (error != CG_NO_ERROR || !program) {
        if (program)
            cgDestroyProgram(program);
        if (text.empty())
            text = cgGetErrorString(error) ? cgGetErrorString(error) : "the Cg compiler failed";
        return CgProgram(nullptr, text);
    }
    return CgProgram(program, text);
}

int FloatCount(CGtype type)
{
    switch (type) {
    case CG_FLOAT:
        return 1;
    case CG_FLOAT2:
        return 2;
    case CG_FLOAT3:
        return 3;
    case CG_FLOAT4:
        return 4;
    case CG_FLOAT4x4:
        return 16;
    default:
        return 0;
    }
}
