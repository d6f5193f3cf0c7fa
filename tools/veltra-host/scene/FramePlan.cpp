#include "scene/FramePlan.h"

#include "common/HostErrors.h"
#include "common/HostPaths.h"
#include "scene/EffectLibrary.h"

#include <algorithm>
#include <cmath>
#include <map>

const float CornerTexCoords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
const uint32_t CornerIndices[6] = {0, 1, 2, 0, 2, 3};

namespace {

// What the textures a scene needs (sources and effects' outputs, at the output size)
// may take together, so that a scene that would exhaust memory is refused up front.
const uint64_t TextureBudget = 1ull << 30;
const size_t LargestEffectFile = 1u << 20;

// Cg's listing names lines as "(7) : error ..."; with the file's name in front they
// read as compiler messages usually do.
std::string Listing(const std::string& listing, const std::string& path)
{
    const std::string file = path.substr(path.find_last_of("\\/") + 1);
    std::string result;
    size_t start = 0;
    while (start < listing.size()) {
        const size_t end = std::min(listing.find('\n', start), listing.size());
        const std::string line = listing.substr(start, end - start);
        if (!line.empty())
            result += (line[0] == '(' ? file : "") + line + "\n";
        start = end + 1;
    }
    return result;
}

class PlanBuilder {
public:
    PlanBuilder(const Scene& scene, int width, int height, std::shared_ptr<CgCompiler> cg)
        : _scene(scene), _cg(*cg), _scaleX(double(width) / scene.width), _scaleY(double(height) / scene.height)
    {
        _plan.cg = std::move(cg);
        _plan.width = width;
        _plan.height = height;
    }

    FramePlan Build()
    {
        _plan.vertexSource = PassVertexProgram;
        _plan.vertex = _cg.CompileVertex(PassVertexProgram);
        if (!_plan.vertex.Compiled())
            throw HostFailure("the host's vertex program does not compile:\n" + _plan.vertex.Listing());
        AddProgram("composite", CompositePixelProgram);
        if (!_plan.programs[0].pixel.Compiled())
            throw HostFailure("the host's composite program does not compile:\n" + _plan.programs[0].pixel.Listing());

        std::vector<Pass> framePasses;
        Source background;
        background.colour = _scene.background;
        framePasses.push_back(Composite(AddSource(background, 1, 1), FullFrame(), BlendMode::Replace, 1.0f));
        for (const Layer& layer : _scene.layers) {
            const PixelRect rect = LayerRect(layer);
            TextureRef texture = AddSource(layer.source, rect.width, rect.height);
            if (layer.effect)
                texture = AddEffect(*layer.effect, texture, rect);
            framePasses.push_back(Composite(texture, rect, layer.blend, layer.opacity));
        }
        _plan.passes.insert(_plan.passes.end(), framePasses.begin(), framePasses.end());
        return std::move(_plan);
    }

private:
    [[noreturn]] void Fail(const std::string& where, const std::string& message) const
    {
        throw SceneError(_scene.name + ": " + where + ": " + message);
    }

    PixelRect FullFrame() const { return {0, 0, _plan.width, _plan.height}; }

    // The layer's rectangle in output pixels. Patterns and effects draw into a texture
    // of that size, which may not exceed the largest texture; images and colours are
    // only stretched over it.
    PixelRect LayerRect(const Layer& layer) const
    {
        if (!layer.rect)
            return FullFrame();
        const Rect& r = *layer.rect;
        PixelRect rect;
        rect.x = static_cast<int>(std::lround(r.x * _scaleX));
        rect.y = static_cast<int>(std::lround(r.y * _scaleY));
        const double right = std::round((r.x + r.width) * _scaleX), bottom = std::round((r.y + r.height) * _scaleY);
        rect.width = std::max(1, static_cast<int>(right) - rect.x);
        rect.height = std::max(1, static_cast<int>(bottom) - rect.y);
        const bool ownTexture = layer.source.kind == SourceKind::Pattern || layer.effect;
        if (ownTexture && (rect.width > LargestImage || rect.height > LargestImage))
            Fail(layer.where + ".rect", "is " + std::to_string(rect.width) + " x " + std::to_string(rect.height) +
                                            " pixels at the output size " + std::to_string(_plan.width) + " x " +
                                            std::to_string(_plan.height) + "; a layer with a pattern or an effect is at most " +
                                            std::to_string(LargestImage) + " x " + std::to_string(LargestImage));
        return rect;
    }

    // Counts a texture against the budget before it is made.
    void Spend(const std::string& where, int width, int height)
    {
        _textureBytes += uint64_t(width) * uint64_t(height) * 4;
        if (_textureBytes > TextureBudget)
            Fail(where, "brings the scene's textures to " + std::to_string(_textureBytes >> 20) + " MiB at " +
                            std::to_string(_plan.width) + " x " + std::to_string(_plan.height) + ", more than the " +
                            std::to_string(TextureBudget >> 20) + " MiB a scene may take");
    }

    // Image files are shared by every layer that shows them.
    TextureRef AddSource(const Source& source, int width, int height)
    {
        if (source.kind == SourceKind::Image) {
            const auto known = _imageTextures.find(source.path);
            if (known != _imageTextures.end())
                return {false, known->second};
        }
        PlanTexture texture;
        std::string error;
        switch (source.kind) {
        case SourceKind::Image:
            if (!LoadImageFile(source.path, texture.image, error))
                Fail(source.where, "cannot read the image " + source.path + ": " + error);
            texture.live = true;
            break;
        case SourceKind::Colour:
            texture.image = Image(1, 1, PackColour(source.colour));
            break;
        case SourceKind::Pattern:
            Spend(source.where, width, height);
            texture.image = GeneratePattern(source.pattern, width, height, std::min(_scaleX, _scaleY));
            break;
        }
        if (source.kind == SourceKind::Image)
            Spend(source.where, texture.image.width, texture.image.height);
        _plan.textures.push_back(std::move(texture));
        const int index = static_cast<int>(_plan.textures.size()) - 1;
        if (source.kind == SourceKind::Image)
            _imageTextures[source.path] = index;
        return {false, index};
    }

    int AddProgram(const std::string& label, const std::string& source)
    {
        _plan.programs.push_back({label, source, _cg.CompilePixel(source)});
        return static_cast<int>(_plan.programs.size()) - 1;
    }

    // Each effect file is compiled once, however many layers use it.
    int EffectProgram(const Effect& effect)
    {
        const auto known = _effectPrograms.find(effect.path);
        if (known != _effectPrograms.end())
            return known->second;
        std::string source;
        const std::string problem = ReadFileText(effect.path, LargestEffectFile, source);
        if (!problem.empty())
            Fail(effect.where, "cannot read " + effect.path + ": " + problem);
        const int index = AddProgram(effect.where, source);
        const CgProgram& program = _plan.programs[index].pixel;
        if (!program.Compiled())
            Fail(effect.where, "the effect " + effect.path + " does not compile for " + _cg.PixelProfileName() +
                                   "; Cg says:\n" + Listing(program.Listing(), effect.path));
        _effectPrograms[effect.path] = index;
        return index;
    }

    // The uniform as the program has it, checked against the values the scene gives.
    bool Bind(const CgProgram& program, const Uniform& uniform, bool fromScene, PassUniform& bound) const
    {
        const std::optional<CgParameter> parameter = program.Find(uniform.name);
        if (!parameter) {
            if (fromScene)
                Fail(uniform.where, "the effect has no uniform \"" + uniform.name + "\"");
            return false;
        }
        const int count = FloatCount(parameter->type);
        if (count == 0)
            Fail(uniform.where, "the uniform's type cannot be set from a scene (use float, float2, float3, float4 or float4x4)");
        if (count != static_cast<int>(uniform.values.size()))
            Fail(uniform.where, "the uniform takes " + std::to_string(count) + (count == 1 ? " number" : " numbers") +
                                    ", not " + std::to_string(uniform.values.size()));
        if (!parameter->used)
            return false;  // nothing reads it
        bound = {uniform.name, uniform.values, parameter->index, count == 16 ? 4 : 1, false};
        return true;
    }

    void BindSampler(const CgProgram& program, const char* name, TextureRef texture, Pass& pass)
    {
        const std::optional<CgParameter> sampler = program.Find(name);
        if (!sampler || !sampler->used)
            return;
        pass.samplers.push_back({sampler->index, texture});
        _plan.samplerUnits = std::max(_plan.samplerUnits, sampler->index + 1);
    }

    // Every uniform the program reads has a value and every sampler a texture: one left
    // out would read 0, or sample nothing and turn the layer into one colour.
    void CheckEverythingGiven(const Effect& effect, const CgProgram& program,
                              const std::map<std::string, PassUniform>& given) const
    {
        for (const std::string& name : program.UsedUniforms()) {
            if (given.count(name) || name == "source" || (name == "second" && effect.second))
                continue;
            const std::optional<CgParameter> parameter = program.Find(name);
            if (parameter && IsSampler(parameter->type))
                Fail(effect.where, "the program samples \"" + name + "\", which nothing binds (the layer would be one "
                                   "colour): an effect samples \"source\", its layer, and \"second\", its second source");
            Fail(effect.where.substr(0, effect.where.rfind('.')) + ".uniforms",
                 "the program reads the uniform \"" + name + "\", which is given no value (it would stay 0)");
        }
    }

    static bool IsSampler(CGtype type)
    {
        return type == CG_SAMPLER1D || type == CG_SAMPLER2D || type == CG_SAMPLER3D || type == CG_SAMPLERCUBE ||
               type == CG_SAMPLERRECT;
    }

    TextureRef AddEffect(const Effect& effect, TextureRef source, const PixelRect& rect)
    {
        Pass pass;
        pass.program = EffectProgram(effect);
        const CgProgram& program = _plan.programs[pass.program].pixel;
        Spend(effect.where, rect.width, rect.height);
        _plan.intermediates.push_back({0, 0, rect.width, rect.height});
        pass.target = static_cast<int>(_plan.intermediates.size()) - 1;
        pass.rect = _plan.intermediates.back();
        pass.targetWidth = rect.width;
        pass.targetHeight = rect.height;
        pass.blend = BlendMode::Replace;

        BindSampler(program, "source", source, pass);
        if (effect.second) {
            BindSampler(program, "second", AddSource(*effect.second, rect.width, rect.height), pass);
        } else if (const std::optional<CgParameter> second = program.Find("second"); second && second->used) {
            Fail(effect.where, "the program reads the sampler \"second\", but the effect has no \"second\" source");
        }

        // Scene values after the defaults, so that they win.
        std::vector<std::pair<Uniform, bool>> uniforms;
        for (const Uniform& uniform : BuiltinEffectDefaults(effect.name))
            uniforms.push_back({uniform, false});
        for (const Uniform& uniform : effect.uniforms)
            uniforms.push_back({uniform, true});
        uniforms.push_back({{"size", {float(rect.width), float(rect.height)}, effect.where + " (uniform \"size\")"}, false});
        std::map<std::string, PassUniform> byName;
        for (const auto& [uniform, fromScene] : uniforms) {
            PassUniform bound;
            if (Bind(program, uniform, fromScene, bound))
                byName[uniform.name] = bound;
        }
        const std::optional<CgParameter> time = program.Find("time");
        if (time && time->used && time->type == CG_FLOAT)
            byName["time"] = {"time", {0.0f}, time->index, 1, true};
        for (auto& entry : byName)
            pass.uniforms.push_back(entry.second);
        CheckEverythingGiven(effect, program, byName);

        _plan.passes.push_back(std::move(pass));
        return {true, _plan.passes.back().target};
    }

    Pass Composite(TextureRef texture, const PixelRect& rect, BlendMode blend, float opacity)
    {
        Pass pass;
        pass.program = 0;
        pass.rect = rect;
        pass.targetWidth = _plan.width;
        pass.targetHeight = _plan.height;
        pass.blend = blend;
        const CgProgram& program = _plan.programs[0].pixel;
        BindSampler(program, "source", texture, pass);
        PassUniform bound;
        if (Bind(program, {"opacity", {opacity}, ""}, false, bound))
            pass.uniforms.push_back(bound);
        if (Bind(program, {"towardsWhite", {blend == BlendMode::Multiply ? 1.0f : 0.0f}, ""}, false, bound))
            pass.uniforms.push_back(bound);
        return pass;
    }

    const Scene& _scene;
    CgCompiler& _cg;
    double _scaleX, _scaleY;
    FramePlan _plan;
    std::map<std::string, int> _imageTextures;
    std::map<std::string, int> _effectPrograms;
    uint64_t _textureBytes = 0;
};

} // namespace

FramePlan BuildFramePlan(const Scene& scene, int width, int height, std::shared_ptr<CgCompiler> cg)
{
    return PlanBuilder(scene, width, height, std::move(cg)).Build();
}

std::vector<PassUniform> UniformsAt(const Pass& pass, double time)
{
    std::vector<PassUniform> uniforms = pass.uniforms;
    for (PassUniform& uniform : uniforms)
        if (uniform.isTime)
            uniform.values = {static_cast<float>(time)};
    return uniforms;
}

std::array<float, 12> ClipSpaceCorners(const PixelRect& rect, int targetWidth, int targetHeight)
{
    auto clipX = [&](double x) { return static_cast<float>((x - 0.5) / targetWidth * 2 - 1); };
    auto clipY = [&](double y) { return static_cast<float>(1 - (y - 0.5) / targetHeight * 2); };
    const float left = clipX(rect.x), right = clipX(rect.x + rect.width);
    const float top = clipY(rect.y), bottom = clipY(rect.y + rect.height);
    return {left, top, 0.5f, right, top, 0.5f, right, bottom, 0.5f, left, bottom, 0.5f};
}
