#include "scene/CgCompiler.h"

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
