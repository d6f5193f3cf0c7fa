// The host's own use of NVIDIA's Cg runtime (the same cg.dll as the plug-in's, with
// the same profile and arguments for the device's shader level): it compiles a
// scene's effects before the plug-in sees them, so that a broken effect ends with
// Cg's own listing, and it tells which register or texture unit each uniform got.
#pragma once

#include <Cg/cg.h>

#include <optional>
#include <string>
#include <vector>

struct CgParameter {
    CGtype type = CG_UNKNOWN_TYPE;
    bool used = false;   // false when the compiler dropped it: nothing reads it
    int index = 0;       // constant register, or texture unit of a sampler
};

// One compiled program; move-only, destroys its Cg program.
class CgProgram {
public:
    CgProgram() = default;
    CgProgram(CGprogram program, std::string listing) : _program(program), _listing(std::move(listing)) {}
    CgProgram(CgProgram&& other) noexcept { *this = std::move(other); }
    CgProgram& operator=(CgProgram&& other) noexcept;
    ~CgProgram();

    bool Compiled() const { return _program != nullptr; }
    // The compiler's messages: the errors of a failed compile.
    const std::string& Listing() const { return _listing; }
    // The Direct3D assembly text.
    std::string Assembly() const;
    std::optional<CgParameter> Find(const std::string& name) const;
    // The uniforms (samplers among them) that the compiled program reads, by name, from
    // the compiler's description of its variables at the head of the assembly.
    std::vector<std::string> UsedUniforms() const;

private:
    CGprogram _program = nullptr;
    std::string _listing;
};

class CgCompiler {
public:
    // The plug-in's shader levels: 2 for shader model 3.0, 1 for 2.x, 0 for 2.0.
    explicit CgCompiler(int shaderLevel);
    ~CgCompiler();
    CgCompiler(const CgCompiler&) = delete;
    CgCompiler& operator=(const CgCompiler&) = delete;

    CgProgram CompileVertex(const std::string& source) { return Compile(source, _vertexProfile); }
    CgProgram CompilePixel(const std::string& source) { return Compile(source, _pixelProfile); }
    // "ps_3_0" and so on.
    std::string PixelProfileName() const;

private:
    CgProgram Compile(const std::string& source, CGprofile profile);

    CGcontext _context = nullptr;
    CGprofile _vertexProfile;
    CGprofile _pixelProfile;
    const char** _arguments;
};

// How many floats a uniform of this type takes from a scene (1 to 4, or 16 for
// float4x4); 0 for types the plug-in does not upload from floats.
int FloatCount(CGtype type);
