// Fuzz of the shader-parameter upload: random values (every tag and some outside the
// enumeration, sizes from none to huge, blocks that end exactly at a guard page), random
// names (declared, missing, empty, long) whose Cg types and registers change as it runs,
// with the shader selected or not. Bounded by time (--fuzz-seconds, 5 by default) or by
// --fuzz-iterations; --seed repeats a run.

#include "BadInput.h"

#include "Resources.h"

#include <chrono>
#include <map>
#include <random>

using namespace VeltraRender;

namespace reliability {

namespace {

const CGtype Types[] = {CG_FLOAT, CG_FLOAT2, CG_FLOAT3, CG_FLOAT4, CG_INT, CG_INT2, CG_INT3, CG_INT4, CG_FLOAT3x3,
    CG_FLOAT4x4, CG_FLOAT2x2, CG_BOOL, CG_HALF, CG_HALF4, CG_FIXED, CG_SAMPLER2D, CG_STRUCT, CG_ARRAY, CG_UNKNOWN_TYPE,
    static_cast<CGtype>(0x7FFFFFFF)};

std::vector<std::string> Names()
{
    std::vector<std::string> names
        = {"ModelViewProjection", "missing", "", std::string(300, 'n'), std::string(4096, 'L')};
    for (int i = 0; i < 8; ++i)
        names.push_back("u" + std::to_string(i));
    return names;
}

}  // namespace

void ShaderParameterFuzz(const Options& options)
{
    const double seconds = options.count("fuzz-seconds") ? std::stod(options.at("fuzz-seconds")) : 5.0;
    const uint64_t iterations
        = options.count("fuzz-iterations") ? std::stoull(options.at("fuzz-iterations")) : UINT64_MAX;
    const uint64_t seed = options.count("seed")
        ? std::stoull(options.at("seed"))
        : static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    Note("seed " + std::to_string(seed) + " (repeat with --seed=" + std::to_string(seed) + ")");
    Host host;
    std::mt19937_64 random(seed);
    auto pick = [&](uint64_t count) { return static_cast<size_t>(random() % count); };
    const std::vector<std::string> names = Names();
    for (const std::string& name : names)
        cgdouble::SetParameter(name, CG_C, CG_FLOAT4, pick(256));

    ShaderSettings settings;
    settings.vertexShaderCode = "float4 main(float4 p : POSITION) : POSITION { return p; }";
    settings.pixelShaderCode = "float4 main() : COLOR { return 1; }";
    boost::shared_ptr<IResShaderGPU> shader
        = boost::dynamic_pointer_cast<IResShaderGPU>(host.render->CreateResourceGPU(settings));
    std::map<std::string, uint64_t> outcomes;
    std::map<std::string, std::string> examples;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    uint64_t done = 0;
    for (; done < iterations && std::chrono::steady_clock::now() < deadline; ++done) {
        const std::string& name = names[pick(names.size())];
        std::string action;
        std::function<void()> call;
        ShaderValue value;
        switch (pick(10)) {
        case 0: {  // declare the name anew
            const CGresource resource = pick(8) ? CG_C : CG_UNDEFINED;
            const CGtype type = Types[pick(sizeof Types / sizeof Types[0])];
            const unsigned long indices[] = {static_cast<unsigned long>(pick(256)), 252, 255, 256, 1000, 0xFFFFFFFFul};
            const unsigned long index = indices[pick(4) ? 0 : 1 + pick(5)];
            action = "declare as type " + std::to_string(type) + " in register " + std::to_string(index)
                + (resource == CG_C ? "" : " (dropped)");
            call = [=] { cgdouble::SetParameter(name, resource, type, index); };
            break;
        }
        case 1:
            action = "select";
            call = [&] { host.render->SelectResource(shader, 0); };
            break;
        case 2:
            action = "deselect";
            call = [&] { host.render->DeSelectResource(shader, 0); };
            break;
        case 3:
            action = "DrawQuad";
            call = [&] { host.render->DrawQuad(); };
            break;
        default: {  // set a value
            const uint32_t oddTags[] = {12, 255, 0x80000000u, 0xFFFFFFFFu};
            value.tag = pick(8) ? static_cast<uint32_t>(pick(12)) : oddTags[pick(4)];
            for (unsigned char& byte : value.payload)
                byte = static_cast<unsigned char>(random());
            const uint64_t huge[] = {uint64_t(1) << 40, uint64_t(1) << 63, UINT64_MAX};
            void* owned = nullptr;
            if (value.tag == svBlock) {
                // Exactly `size` bytes before a guard page, or (rarely: a refused allocation takes
                // Wine tens of milliseconds) a huge size with no block.
                const bool hugeSize = pick(256) == 0;
                value.size = hugeSize ? huge[pick(3)] : pick(3) ? pick(65) : 0;
                owned = hugeSize || pick(10) == 0 ? nullptr : GuardedBytes(static_cast<size_t>(value.size), 2);
                if (owned)
                    for (size_t i = 0; i < value.size; ++i)
                        static_cast<unsigned char*>(owned)[i] = static_cast<unsigned char>(random());
            } else if (value.tag == svString) {
                value.size = 1 + pick(40);
                wchar_t* text
                    = static_cast<wchar_t*>(GuardedBytes(static_cast<size_t>(value.size) * sizeof(wchar_t), 2));
                for (size_t i = 0; i + 1 < value.size; ++i)
                    text[i] = static_cast<wchar_t>(L'a' + pick(26));
                text[value.size - 1] = L'\0';
                owned = text;
            } else {
                value.size = pick(4) ? pick(100) : huge[pick(3)];
            }
            if (value.tag == svBlock || value.tag == svString)
                std::memcpy(value.payload, &owned, sizeof owned);
            const bool vertex = pick(2) == 0;
            action = std::string(vertex ? "SetVertexParameter" : "SetPixelParameter") + " tag "
                + std::to_string(value.tag) + " size " + std::to_string(value.size) + (owned ? " with its block" : "");
            call = [&, vertex] {
                if (vertex)
                    shader->SetVertexParameter(name, value);
                else
                    shader->SetPixelParameter(name, value);
            };
        }
        }
        action += " ('" + name.substr(0, 24) + (name.size() > 24 ? "...'" : "'") + ")";
        Now("fuzz seed " + std::to_string(seed) + " iteration " + std::to_string(done) + ": " + action);
        std::string outcome = Outcome(call);
        value.tag = svEmpty;  // the block is the guard region's, not the value's to free
        // A float4x4 uniform refuses any other tag, now and at every later upload.
        if (outcome == "VeltraException ecInvalidParameter")
            outcome = "designed: " + outcome;
        outcomes[outcome.empty() ? "returned" : outcome] += 1;
        if (!outcome.empty() && outcome.rfind("designed", 0) != 0 && !examples.count(outcome))
            examples[outcome] = "seed " + std::to_string(seed) + " iteration " + std::to_string(done) + ": " + action;
        if (done % 2048 == 0) {  // keep the doubles' call logs and the captured log small
            d3d9double::ClearCalls();
            cgdouble::ClearCalls();
            host.session.log.Clear();
        }
    }
    for (const auto& example : examples)
        Check(false, "shader upload ends as designed", example.first + " (first at " + example.second + ")");
    std::string summary = std::to_string(done) + " iterations in " + std::to_string(static_cast<int>(seconds)) + " s:";
    for (const auto& outcome : outcomes)
        summary += " " + outcome.first + " " + std::to_string(outcome.second) + ";";
    Note(summary);
    CountInputs(done);
    shader.reset();
    host.Finish();
}

}  // namespace reliability
