#include "scene/SceneLoader.h"

#include "common/HostErrors.h"
#include "common/HostPaths.h"
#include "scene/EffectLibrary.h"
#include "scene/SceneJsonCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

using nlohmann::json;

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + ShownText(text) + "\"";
}

// "cannot read "x.png": no such file (looked for C:\scenes\x.png)".
std::string CannotRead(const std::string& written, const std::string& resolved, const std::string& problem)
{
    return "cannot read " + Quoted(written) + ": " + problem + " (looked for " + ShownText(resolved, 260) + ")";
}

// Limits of a scene that its numbers alone do not bound (SCENES.md, "Limits").
const size_t LargestSceneFile = 16u << 20;
const size_t MostLayers = 1000;

std::string Joined(const std::vector<std::string>& words)
{
    std::string text;
    for (size_t i = 0; i < words.size(); ++i)
        text += (i ? ", " : "") + words[i];
    return text;
}

const std::vector<std::string> SourceKeys = {"image", "colour", "pattern"};

class SceneReader {
public:
    SceneReader(std::string name, std::string folder) : _name(std::move(name)), _folder(std::move(folder)) {}

    Scene Read(const json& root)
    {
        if (!root.is_object())
            Fail("", "a scene is a JSON object with \"size\", \"background\" and \"layers\"");
        OnlyKeys(root, "", {"description", "size", "background", "frames", "time", "layers"});
        Scene scene;
        scene.name = _name;
        if (root.contains("description"))
            Text(root["description"], "description");
        if (root.contains("size"))
            ReadSize(root["size"], scene);
        if (root.contains("background"))
            scene.background = ReadColour(root["background"], "background");
        if (root.contains("frames"))
            scene.frames = static_cast<int>(WholeNumber(root["frames"], "frames", 1, 100000));
        if (root.contains("time"))
            scene.time = Number(root["time"], "time", 0, 1);
        if (root.contains("layers")) {
            const json& layers = root["layers"];
            if (!layers.is_array())
                Fail("layers", "must be a list of layers");
            if (layers.size() > MostLayers)
                Fail("layers", "has " + std::to_string(layers.size()) + " layers; a scene has at most " +
                                   std::to_string(MostLayers));
            for (size_t i = 0; i < layers.size(); ++i)
                scene.layers.push_back(ReadLayer(layers[i], LayerPlace(layers[i], i)));
        }
        return scene;
    }

private:
    // "layers[2]", or with the layer's name when it has one: layers[2] ("title").
    static std::string LayerPlace(const json& layer, size_t index)
    {
        const std::string place = "layers[" + std::to_string(index) + "]";
        if (!layer.is_object() || !layer.contains("name") || !layer["name"].is_string())
            return place;
        return place + " (" + Quoted(layer["name"].get<std::string>()) + ")";
    }

    [[noreturn]] void Fail(const std::string& where, const std::string& message) const
    {
        throw SceneError(_name + ": " + (where.empty() ? "" : where + ": ") + message);
    }

    static std::string Member(const std::string& where, const std::string& key)
    {
        return where.empty() ? key : where + "." + key;
    }

    void OnlyKeys(const json& object, const std::string& where, const std::vector<std::string>& keys) const
    {
        for (const auto& item : object.items())
            if (std::find(keys.begin(), keys.end(), item.key()) == keys.end())
                Fail(where, "unknown key " + Quoted(item.key()) + " (expected " + Joined(keys) + ")");
    }

    double Number(const json& value, const std::string& where, double low, double high) const
    {
        if (!value.is_number() || value.get<double>() < low || value.get<double>() > high)
            Fail(where, "must be a number from " + Format(low) + " to " + Format(high));
        return value.get<double>();
    }

    long long WholeNumber(const json& value, const std::string& where, long long low, long long high) const
    {
        const double number = value.is_number() ? value.get<double>() : NAN;
        if (!value.is_number() || number != std::floor(number) || number < low || number > high)
            Fail(where, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return static_cast<long long>(number);
    }

    std::string Text(const json& value, const std::string& where) const
    {
        if (!value.is_string())
            Fail(where, "must be a string");
        return value.get<std::string>();
    }

    static std::string Format(double value)
    {
        std::string text = std::to_string(value);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.')
            text.pop_back();
        return text;
    }

    void ReadSize(const json& value, Scene& scene) const
    {
        const char* const rule = "must be [width, height] in whole pixels from 1 to 8192, like [1280, 720]";
        if (!value.is_array() || value.size() != 2)
            Fail("size", rule);
        for (const json& side : value)
            if (!side.is_number() || side.get<double>() != std::floor(side.get<double>()) || side.get<double>() < 1 ||
                side.get<double>() > 8192)
                Fail("size", rule);
        scene.width = value[0].get<int>();
        scene.height = value[1].get<int>();
    }

    Colour ReadColour(const json& value, const std::string& where) const
    {
        const char* const rule = "a colour is [r, g, b] or [r, g, b, a] with values from 0 to 1";
        if (!value.is_array() || value.size() < 3 || value.size() > 4)
            Fail(where, rule);
        float channels[4] = {0, 0, 0, 1};
        for (size_t i = 0; i < value.size(); ++i) {
            if (!value[i].is_number() || value[i].get<double>() < 0 || value[i].get<double>() > 1)
                Fail(where, rule);
            channels[i] = value[i].get<float>();
        }
        return {channels[0], channels[1], channels[2], channels[3]};
    }

    Rect ReadRect(const json& value, const std::string& where) const
    {
        // Bounded so that scaling to any output size stays well inside int.
        const char* const rule = "must be [x, y, width, height] in scene pixels from -100000 to 100000, with a "
                                 "positive width and height";
        if (!value.is_array() || value.size() != 4)
            Fail(where, rule);
        for (const json& number : value)
            if (!number.is_number() || std::fabs(number.get<double>()) > 100000)
                Fail(where, rule);
        const Rect rect{value[0].get<double>(), value[1].get<double>(), value[2].get<double>(), value[3].get<double>()};
        if (!(rect.width > 0) || !(rect.height > 0))
            Fail(where, rule);
        return rect;
    }

    // The keys a source of this kind may carry beside its own.
    static std::vector<std::string> ParameterKeys(const Source& source)
    {
        if (source.kind != SourceKind::Pattern)
            return {};
        switch (source.pattern.kind) {
        case PatternKind::Checker:
            return {"cell", "colours"};
        case PatternKind::Gradient:
            return {"colours", "direction"};
        case PatternKind::Bars:
            return {"level"};
        }
        return {};
    }

    // A source from the keys of `object` (a layer or an effect's "second"); `otherKeys`
    // are the keys the object may carry besides those of the source.
    Source ReadSource(const json& object, const std::string& where, std::vector<std::string> otherKeys) const
    {
        std::vector<std::string> present;
        for (const std::string& key : SourceKeys)
            if (object.contains(key))
                present.push_back(key);
        if (present.size() != 1)
            Fail(where, (present.empty() ? "needs a source: " : "has more than one source: ") +
                            std::string("one of \"image\", \"colour\" or \"pattern\""));

        Source source;
        const std::string key = present.front();
        source.where = Member(where, key);
        if (key == "image") {
            const std::string written = Text(object[key], source.where);
            source.kind = SourceKind::Image;
            source.path = ResolvePath(_folder, written);
            const std::string problem = ReadProblem(source.path);
            if (!problem.empty())
                Fail(source.where, CannotRead(written, source.path, problem));
        } else if (key == "colour") {
            source.kind = SourceKind::Colour;
            source.colour = ReadColour(object[key], source.where);
        } else {
            source.kind = SourceKind::Pattern;
            ReadPattern(object, where, source);
        }
        std::vector<std::string> allowed = otherKeys;
        allowed.push_back(key);
        for (const std::string& parameter : ParameterKeys(source))
            allowed.push_back(parameter);
        OnlyKeys(object, where, allowed);
        return source;
    }

    void ReadPattern(const json& object, const std::string& where, Source& source) const
    {
        const std::string name = Text(object["pattern"], source.where);
        PatternSpec& pattern = source.pattern;
        if (name == "checker")
            pattern.kind = PatternKind::Checker;
        else if (name == "gradient")
            pattern = {PatternKind::Gradient, 40, {0, 0, 0, 1}, {1, 1, 1, 1}, false, 0.75f};
        else if (name == "bars")
            pattern.kind = PatternKind::Bars;
        else
            Fail(source.where, "unknown pattern " + Quoted(name) + " (use checker, gradient or bars)");

        if (object.contains("cell") && pattern.kind == PatternKind::Checker)
            pattern.cell = Number(object["cell"], Member(where, "cell"), 1, 8192);
        if (object.contains("colours") && pattern.kind != PatternKind::Bars) {
            const json& colours = object["colours"];
            const std::string at = Member(where, "colours");
            if (!colours.is_array() || colours.size() != 2)
                Fail(at, "must be a list of two colours");
            pattern.first = ReadColour(colours[0], at + "[0]");
            pattern.second = ReadColour(colours[1], at + "[1]");
        }
        if (object.contains("direction") && pattern.kind == PatternKind::Gradient) {
            const std::string direction = Text(object["direction"], Member(where, "direction"));
            if (direction != "horizontal" && direction != "vertical")
                Fail(Member(where, "direction"), "unknown direction " + Quoted(direction) + " (use horizontal or vertical)");
            pattern.vertical = direction == "vertical";
        }
        if (object.contains("level") && pattern.kind == PatternKind::Bars)
            pattern.level = static_cast<float>(Number(object["level"], Member(where, "level"), 0, 1));
    }

    BlendMode ReadBlend(const json& value, const std::string& where) const
    {
        const std::string name = Text(value, where);
        if (name == "over")
            return BlendMode::Over;
        if (name == "add")
            return BlendMode::Add;
        if (name == "multiply")
            return BlendMode::Multiply;
        if (name == "screen")
            return BlendMode::Screen;
        Fail(where, "unknown blend mode " + Quoted(name) + " (use over, add, multiply or screen)");
    }

    Uniform ReadUniform(const std::string& name, const json& value, const std::string& where) const
    {
        if (IsHostUniform(name))
            Fail(where, "is set by the host and cannot be given");
        const char* const rule = "must be a number or a list of 2, 3, 4 or 16 numbers, each within float's range "
                                 "(-3.4e38 to 3.4e38)";
        const auto isFloat = [](const json& number) {
            return number.is_number() && std::fabs(number.get<double>()) <= std::numeric_limits<float>::max();
        };
        Uniform uniform{name, {}, where};
        if (value.is_number()) {
            if (!isFloat(value))
                Fail(where, rule);
            uniform.values.push_back(value.get<float>());
            return uniform;
        }
        if (!value.is_array() || value.size() < 2 || (value.size() > 4 && value.size() != 16))
            Fail(where, rule);
        for (const json& number : value) {
            if (!isFloat(number))
                Fail(where, rule);
            uniform.values.push_back(number.get<float>());
        }
        return uniform;
    }

    Effect ReadEffect(const json& value, const std::string& where) const
    {
        if (!value.is_object())
            Fail(where, "must be an object with \"name\" (a built-in effect) or \"file\" (a Cg pixel program)");
        OnlyKeys(value, where, {"name", "file", "uniforms", "second"});
        if (value.contains("name") == value.contains("file"))
            Fail(where, "needs either \"name\" (one of " + Joined(BuiltinEffectNames()) + ") or \"file\"");
        Effect effect;
        if (value.contains("name")) {
            effect.where = Member(where, "name");
            effect.name = Text(value["name"], effect.where);
            const auto& names = BuiltinEffectNames();
            if (std::find(names.begin(), names.end(), effect.name) == names.end())
                Fail(effect.where, "unknown effect " + Quoted(effect.name) + " (built in: " + Joined(names) + ")");
            effect.path = BuiltinEffectPath(effect.name);
        } else {
            effect.where = Member(where, "file");
            const std::string written = Text(value["file"], effect.where);
            effect.path = ResolvePath(_folder, written);
            const std::string problem = ReadProblem(effect.path);
            if (!problem.empty())
                Fail(effect.where, CannotRead(written, effect.path, problem));
        }
        if (value.contains("uniforms")) {
            const json& uniforms = value["uniforms"];
            if (!uniforms.is_object())
                Fail(Member(where, "uniforms"), "must be an object of uniform names and values");
            for (const auto& item : uniforms.items())
                effect.uniforms.push_back(ReadUniform(item.key(), item.value(), Member(where, "uniforms." + item.key())));
        }
        if (value.contains("second")) {
            const std::string at = Member(where, "second");
            if (!value["second"].is_object())
                Fail(at, "must be a source object, like {\"pattern\": \"bars\"}");
            effect.second = ReadSource(value["second"], at, {});
        } else if (BuiltinEffectNeedsSecond(effect.name)) {
            Fail(where, "the " + effect.name + " effect needs a \"second\" source");
        }
        return effect;
    }

    Layer ReadLayer(const json& value, const std::string& where) const
    {
        if (!value.is_object())
            Fail(where, "a layer is an object with a source (\"image\", \"colour\" or \"pattern\")");
        Layer layer;
        layer.where = where;
        layer.source = ReadSource(value, where, {"name", "rect", "blend", "opacity", "effect"});
        if (value.contains("name"))
            Text(value["name"], Member(where, "name"));
        if (value.contains("rect"))
            layer.rect = ReadRect(value["rect"], Member(where, "rect"));
        if (value.contains("blend"))
            layer.blend = ReadBlend(value["blend"], Member(where, "blend"));
        if (value.contains("opacity"))
            layer.opacity = static_cast<float>(Number(value["opacity"], Member(where, "opacity"), 0, 1));
        if (value.contains("effect"))
            layer.effect = ReadEffect(value["effect"], Member(where, "effect"));
        return layer;
    }

    std::string _name;
    std::string _folder;
};

} // namespace

Scene ParseScene(const std::string& text, const std::string& name, const std::string& folder)
{
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        throw SceneError(name + ": the file is empty; a scene is a JSON object with \"size\", \"background\" and \"layers\"");
    // Comments (// and /* */) are allowed: scene files are written by hand.
    SceneJsonCheck check;
    if (!json::sax_parse(text, &check, json::input_format_t::json, true, true)) {
        // The reader notices an open comment only at the end of the file: name where it opens.
        const size_t comment = UnclosedComment(text);
        if (check.SyntaxError() && comment != std::string::npos && check.Position() >= comment)
            throw SceneError(name + ": " + LineAndColumn(text, comment + 1) + ": this /* comment is never closed");
        throw SceneError(name + ": " + check.Place(text) + ": " + check.Message());
    }
    return SceneReader(name, folder).Read(json::parse(text, nullptr, true, true));
}

Scene LoadSceneFile(const std::string& path)
{
    std::string text;
    const std::string problem = ReadFileText(path, LargestSceneFile, text);
    if (!problem.empty())
        throw SceneError("cannot read " + path + ": " + problem);
    return ParseScene(text, path, FolderOf(path));
}
