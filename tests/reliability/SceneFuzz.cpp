// Fuzz of veltra-host's scene loader, and of everything a scene it accepts reaches: the
// frame plan (images, patterns, effects compiled by Cg) and one frame drawn through the
// plug-in on the real stack. Inputs are the shipped and test scenes, changed at random:
// values replaced by others of any type (edge numbers, known words, paths to files that
// are not what they claim), keys removed and added, layers repeated, and the text cut,
// flipped or nested deeply. A scene may be accepted or rejected with a SceneError; any
// other exception, a frame of the wrong size or a crash is a fault.
//
//   scene_fuzz.exe [--seconds=N] [--seed=N]   (5 s by default; the seed is printed first)

#include "FramePlan.h"
#include "HostErrors.h"
#include "HostPaths.h"
#include "Image.h"
#include "PluginCompositor.h"
#include "PluginHost.h"
#include "SceneLoader.h"
#include "WinePaths.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

using nlohmann::json;

namespace {

const int OutputWidth = 64, OutputHeight = 36;

struct Seed {
    std::string text;
    std::string folder;  // relative paths in the scene are resolved here
};

std::string ReadAll(const std::string& path)
{
    std::string text;
    if (!ReadTextFile(path, text))
        throw std::runtime_error("cannot read " + path);
    return text;
}

// Files a scene can name that are not what their place expects: an image too wide for a
// texture, an empty file, a text file as an image, an image as an effect.
std::vector<std::string> MakeTrapFiles(const std::string& folder)
{
    const std::string wide = folder + "fuzz-wide.png", empty = folder + "fuzz-empty.png";
    if (!WritePng(wide, Image(8193, 1, 0xFF336699)))
        throw std::runtime_error("cannot write " + wide);
    std::ofstream(empty, std::ios::binary).flush();
    return {wide, empty, AssetPath("effects\\vignette.cg"), AssetPath("images\\harbour.png"), "CON", "NUL",
        "\\\\?\\C:\\nowhere\\x.png", ".."};
}

class SceneMutator {
public:
    SceneMutator(uint64_t seed, std::vector<std::string> files) : _random(seed), _files(std::move(files)) {}

    std::string Mutate(const Seed& seed)
    {
        json scene = json::parse(seed.text);
        const int changes = 1 + Pick(4);
        for (int i = 0; i < changes; ++i)
            ChangeOne(scene);
        std::string text = scene.dump();
        if (Pick(5) == 0)
            ChangeText(text);
        return text;
    }

private:
    size_t Pick(size_t count) { return static_cast<size_t>(_random() % count); }

    template <class T>
    const T& OneOf(const std::vector<T>& items)
    {
        return items[Pick(items.size())];
    }

    // Every node, as a pointer from the root.
    static void Collect(const json& node, const json::json_pointer& at, std::vector<json::json_pointer>& nodes)
    {
        nodes.push_back(at);
        if (node.is_object())
            for (const auto& item : node.items())
                Collect(item.value(), at / item.key(), nodes);
        else if (node.is_array())
            for (size_t i = 0; i < node.size(); ++i)
                Collect(node[i], at / i, nodes);
    }

    void ChangeOne(json& scene)
    {
        std::vector<json::json_pointer> nodes;
        Collect(scene, json::json_pointer(), nodes);
        const json::json_pointer at = OneOf(nodes);
        json& node = scene[at];
        switch (Pick(5)) {
        case 0:
        case 1:
            node = Value(2);
            break;
        case 2:  // remove it from its parent
            if (!at.empty()) {
                json& parent = scene[at.parent_pointer()];
                if (parent.is_object())
                    parent.erase(at.back());
                else
                    parent.erase(static_cast<size_t>(std::stoul(at.back())));
            }
            break;
        case 3:  // a key beside the others
            if (node.is_object())
                node[OneOf(Keys())] = Value(2);
            break;
        case 4:  // repeat an element, a layer most of the time
            if (node.is_array() && !node.empty() && node.size() < 12)
                node.push_back(node[Pick(node.size())]);
            break;
        }
    }

    json Value(int depth)
    {
        switch (Pick(depth > 0 ? 7 : 5)) {
        case 0:
            return nullptr;
        case 1:
            return Pick(2) == 0;
        case 2:
            return Number();
        case 3:
        case 4:
            return Word();
        case 5: {
            json list = json::array();
            const size_t count = Pick(6) == 0 ? 16 + Pick(2) : Pick(6);
            for (size_t i = 0; i < count; ++i)
                list.push_back(Pick(8) == 0 ? Value(depth - 1) : Number());
            return list;
        }
        default: {
            json object = json::object();
            for (size_t i = Pick(4); i > 0; --i)
                object[OneOf(Keys())] = Value(depth - 1);
            return object;
        }
        }
    }

    json Number()
    {
        static const std::vector<json> edges = {0, -0.0, 1, -1, 0.5, 1e-320, 1e308, -1e308, 8192, 8193, 100000, 100001,
            2147483647, 2147483648.0, -2147483649.0, 4294967296.0, json(uint64_t(18446744073709551615ull)),
            json(int64_t(-9223372036854775807ll - 1)), 0.99999999, 1.00000001, 3e9, -3e9};
        switch (Pick(3)) {
        case 0:
            return OneOf(edges);
        case 1:
            return static_cast<int>(Pick(2000)) - 100;
        default:
            return std::uniform_real_distribution<double>(-2, 2)(_random);
        }
    }

    json Word()
    {
        static const std::vector<std::string> words = {"", "over", "add", "multiply", "screen", "burn", "checker",
            "gradient", "bars", "horizontal", "vertical", "diagonal", "colour-matrix", "vignette", "wipe", "time",
            "size", "source", "second", "colourMatrix", "offset", "strength", "levels", "posterize.cg",
            "../assets/images/harbour.png", "assets/images/harbour.png", std::string(5000, 'x'),
            std::string("nul\0byte", 8), "\xC3\xA9t\xC3\xA9"};
        if (Pick(3) == 0)
            return OneOf(_files);
        return OneOf(words);
    }

    static const std::vector<std::string>& Keys()
    {
        static const std::vector<std::string> keys = {"description", "size", "background", "frames", "time", "layers",
            "name", "image", "colour", "pattern", "rect", "blend", "opacity", "effect", "file", "uniforms", "second",
            "cell", "colours", "direction", "level", "colourMatrix", "offset", "centre", "radius", "softness",
            "strength", "levels", "source", "unknown"};
        return keys;
    }

    void ChangeText(std::string& text)
    {
        switch (Pick(4)) {
        case 0:
            text.resize(Pick(text.size() + 1));
            break;
        case 1:
            text[Pick(text.size())] = static_cast<char>(Pick(256));
            break;
        case 2:
            text.insert(Pick(text.size() + 1), 1 + Pick(8), static_cast<char>(Pick(256)));
            break;
        default: {  // nested far deeper than any scene
            const size_t depth = 1000 + Pick(200000);
            text = std::string(depth, '[') + text + std::string(Pick(2) ? depth : 0, ']');
            break;
        }
        }
    }

    std::mt19937_64 _random;
    std::vector<std::string> _files;
};

std::map<std::string, std::string> ReadOptions(int argc, char** argv)
{
    std::map<std::string, std::string> options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos)
            options[argument.substr(2, equals - 2)] = argument.substr(equals + 1);
    }
    return options;
}

// What happened to one scene: "rendered", or where it was turned away.
std::string TryScene(const std::string& text, const std::string& folder, VeltraRender::IRender& render,
    const std::shared_ptr<CgCompiler>& cg)
{
    Scene scene;
    try {
        scene = ParseScene(text, "fuzz.json", folder);
    } catch (const SceneError&) {
        return "rejected by the loader";
    }
    try {
        const FramePlan plan = BuildFramePlan(scene, OutputWidth, OutputHeight, cg);
        PluginCompositor compositor(render, plan);
        compositor.UploadLiveSources();
        compositor.Draw(scene.time);
        const Image frame = compositor.ReadFrame();
        if (frame.width != OutputWidth || frame.height != OutputHeight)
            throw std::runtime_error("frame of " + std::to_string(frame.width) + " x " + std::to_string(frame.height));
    } catch (const SceneError&) {
        return "rejected by the frame plan";
    }
    return "rendered";
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = ReadOptions(argc, argv);
    const double seconds = options.count("seconds") ? std::stod(options.at("seconds")) : 5.0;
    const uint64_t seed = options.count("seed")
        ? std::stoull(options.at("seed"))
        : static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    std::cout << "seed " << seed << " (repeat with --seed=" << seed << ")" << std::endl;

    const std::string source = WindowsPath(VELTRA_SOURCE_DIR);
    const std::string examples = source + "\\tools\\veltra-host\\examples\\";
    const std::string testScenes = source + "\\tests\\host\\scenes\\";
    const std::vector<Seed> seeds = {
        {ReadAll(examples + "example.json"), examples},
        {ReadAll(testScenes + "broken-effect.json"), testScenes},
        {ReadAll(testScenes + "unknown-uniform.json"), testScenes},
        {R"({"size": [320, 180], "layers": [
            {"pattern": "checker", "cell": 7, "colours": [[1, 0, 0], [0, 0, 1, 0.5]], "rect": [-10, -10, 100, 50]},
            {"image": "assets/images/harbour.png", "blend": "multiply", "opacity": 0.5,
             "effect": {"name": "wipe", "second": {"pattern": "gradient", "direction": "vertical"},
                        "uniforms": {"softness": 0.2}}},
            {"colour": [0, 1, 0, 1], "rect": [300, 170, 40, 40], "blend": "add",
             "effect": {"name": "colour-matrix", "uniforms": {"offset": [0.1, 0, 0, 0]}}}]})",
            ProgramFolder()},
    };

    int faults = 0;
    uint64_t done = 0;
    std::map<std::string, uint64_t> outcomes;
    try {
        SceneMutator mutator(seed, MakeTrapFiles(ProgramFolder()));
        PluginHost plugin;
        VeltraRender::IRender& render = plugin.Start(nullptr, OutputWidth, OutputHeight);
        const auto cg = std::make_shared<CgCompiler>(render.GetShaderLevel());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (; std::chrono::steady_clock::now() < deadline; ++done) {
            const Seed& from = seeds[done % seeds.size()];
            const std::string text = mutator.Mutate(from);
            try {
                ++outcomes[TryScene(text, from.folder, render, cg)];
            } catch (const std::exception& error) {
                ++faults;
                std::cout << "FAULT at iteration " << done << ": " << error.what() << "\n  scene: " << text.substr(0, 2000)
                          << std::endl;
            }
        }
        plugin.Stop();
    } catch (const std::exception& error) {
        std::cout << "FAULT outside a scene: " << error.what() << std::endl;
        return 1;
    }

    std::cout << done << " scenes in " << seconds << " s:";
    for (const auto& outcome : outcomes)
        std::cout << " " << outcome.second << " " << outcome.first << ";";
    std::cout << " " << faults << " faults" << std::endl;
    return faults == 0 && outcomes["rendered"] > 0 ? 0 : 1;
}
