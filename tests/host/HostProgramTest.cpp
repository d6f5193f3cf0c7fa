// veltra-host.exe end to end, run as a person or a script runs it: exit codes, the
// messages on its output, the files it writes and their pixels.

#include "common/ChildProcess.h"
#include "PngFile.h"
#include "WinePaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

std::string TestData(const std::string& name)
{
    return WindowsPath(VELTRA_HOST_TEST_DATA) + "\\" + name;
}

// Runs veltra-host with `arguments`: its exit code and its standard output, with its
// standard error too unless `outputOnly`.
ChildResult Host(const std::string& arguments, bool outputOnly = false)
{
    const std::string line = "\"" + WindowsPath(VELTRA_HOST_PROGRAM) + "\" " + arguments;
    return RunChild(std::wstring(line.begin(), line.end()), !outputOnly);
}

void ExpectTexts(const ChildResult& run, const std::vector<std::string>& texts)
{
    for (const std::string& text : texts)
        EXPECT_NE(run.output.find(text), std::string::npos) << "\"" << text << "\" not in:\n" << run.output;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

Picture ReadPicture(const std::string& path)
{
    Picture picture;
    int channels = 0;
    if (unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 4)) {
        picture.rgba.assign(pixels, pixels + size_t(picture.width) * picture.height * 4);
        stbi_image_free(pixels);
    }
    return picture;
}

// A scene file written beside the test program.
std::string WriteScene(const std::string& name, const std::string& content)
{
    const std::string path = BesideProgram(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// veltra-host under another name, for which Wine's settings leave out d3dx9_42.dll: a
// machine without D3DX as far as that program can tell.
std::string HostWithoutD3dx()
{
    const std::string copy = BesideProgram("veltra-host-without-d3dx.exe");
    CopyFileA(WindowsPath(VELTRA_HOST_PROGRAM).c_str(), copy.c_str(), FALSE);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\veltra-host-without-d3dx.exe\\DllOverrides", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "d3dx9_42", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
        RegCloseKey(key);
    }
    return copy;
}

std::string Repeated(const std::string& text, int times, const std::string& separator = "")
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += (i ? separator : "") + text;
    return result;
}

} // namespace

TEST(HostProgramTest, CommandLineAnswersAsDocumented)
{
    struct Row {
        std::string arguments;
        unsigned long exitCode;
        std::vector<std::string> texts;
        bool outputOnly;  // the texts are on standard output
    };
    // A valid scene of one layer with one effect, beside the example: counts said as counts.
    const std::string oneEffect = WriteScene("one-effect.json", R"({"layers": [{"pattern": "bars", "effect": {"name": "vignette"}}]})");
    const Row rows[] = {
        {"--help", 0, {"usage: veltra-host COMMAND", "validate", "soak", "Exit codes"}, true},
        {"-h", 0, {"usage: veltra-host COMMAND"}, true},
        {"render --help", 0, {"usage: veltra-host render", "out-%04d.png", "--range"}, true},
        {"soak -h", 0, {"usage: veltra-host soak", "1 MiB"}, true},
        {"--version", 0, {"veltra-host 1.0.0", "VeltraRenderDirectX.dll 1.0.0"}, true},
        {"info", 0, {"VeltraRenderDirectX.dll", "version:        1.0.0", "adapter:", "(the card Wine", "draws through OpenGL on", "shader level:"}, true},
        {"", 2, {"no command given", "\"veltra-host --help\""}, false},
        {"frobnicate", 2, {"unknown command \"frobnicate\""}, false},
        {"render --size 0x180", 2, {"--size takes", "\"veltra-host render --help\""}, false},
        {"render --range 3-2", 2, {"--range takes FIRST-LAST"}, false},
        {"render --time 0.5 --frames 3", 2, {"--time makes one frame"}, false},
        {"render -o out-%s.png", 2, {"at most one frame number"}, false},
        // Options' values: attached with "=", never an option, a name that promises PNG.
        {"render --output=Z:\\no\\such\\folder\\x.png", 1, {"veltra-host: cannot write Z:\\no\\such\\folder\\x.png: no such folder"}, false},
        {"render --frames=0", 2, {"veltra-host: --frames takes a whole number from 1"}, false},
        {"render -o -q", 2, {"veltra-host: -o needs a value, not the option \"-q\""}, false},
        {"render -o out.jpg", 2, {"veltra-host: -o \"out.jpg\": veltra-host writes PNG images"}, false},
        {"bench --json Z:\\no\\such\\folder\\b.json", 1, {"cannot write", "no such folder"}, false},
        {"bench --only blits", 2, {"--only takes frames, transfers, draws or cpu, not \"blits\""}, false},
        // The draw-heavy rows, small: both images the same, every quad drawn.
        {"bench --only draws --runs 3 --draws 50 -q --json bench-draws.json", 0,
         {"| draw-heavy: 50 draws of a 2 x 2 quad | 3 |", "200 pixels drawn; largest channel difference between the images 0",
          "pixels checked after each of 3 pairs, on all three frames"}, true},
        {"validate --size=320x180 " + TestData("..\\..\\tools\\veltra-host\\scene\\examples\\example.json") + " \"" + oneEffect + "\"", 0,
         {"example.json: valid: 320 x 180, 5 layers, 2 effect programs, 8 passes", "one-effect.json: valid: 320 x 180, 1 layer, 1 effect program, 3 passes"}, true},
        {"display --size 160x90 --frames 3", 0, {"presented 3 frames of 160 x 90", "frames per second after the first"}, true},
        // A short soak: every phase passes its bounds and the figures reach the JSON.
        {"soak --cycles 20 --lifecycles 2 -q --json soak-short.json", 0,
         {"| shaders | 20 |", "| only render (device) | 2 |", "passed, growth not judged |", "note: only render (device): 2 cycles are too few for the growth check", "passed; figures and samples:"}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        const ChildResult run = Host(row.arguments, row.outputOnly);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
        ExpectTexts(run, row.texts);
    }
    // A DLL that the plug-in imports is missing: its name, not the plug-in's, is the news.
    const std::string withoutD3dx = "\"" + HostWithoutD3dx() + "\" info";
    const ChildResult missing = RunChild(std::wstring(withoutD3dx.begin(), withoutD3dx.end()), true);
    EXPECT_EQ(missing.exitCode, 1u) << missing.output;
    ExpectTexts(missing, {"veltra-host: VeltraRenderDirectX.dll (", "could not be loaded: it needs d3dx9_42.dll, which could not be loaded"});

    std::ifstream soak(BesideProgram("soak-short.json"));
    const std::string json((std::istreambuf_iterator<char>(soak)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("\"privateBytesGrowth\""), std::string::npos) << json.substr(0, 400);
}

TEST(HostProgramTest, SceneMistakesNameTheirPlaceAndExitWithTwo)
{
    struct Row {
        std::string file;
        std::optional<std::string> content;  // written beside the program; else in tests/host/scenes
        std::string expected;                // the message, from the file's name on
    };
    // 3 000 texture reads in one sum: far past ps_3_0's limits, and deep enough that NVIDIA's
    // compiler needs megabytes of stack to say so.
    std::string sum = "tex2D(source, uv)";
    for (int i = 1; i < 3000; ++i)
        sum += " + tex2D(source, uv * " + std::to_string(i) + ")";
    WriteScene("long-listing.cg", "uniform sampler2D source;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR { return " + sum + "; }\n");
    WriteScene("gain-offset.cg", "uniform sampler2D source;\nuniform float gain;\nuniform float4 offset;\n"
                                 "float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(source, uv) * gain + offset; }\n");
    WriteScene("mask.cg", "uniform sampler2D source;\nuniform sampler2D mask;\n"
                          "float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(source, uv) * tex2D(mask, uv).a; }\n");
    const Row rows[] = {
        {"missing-image.json", {}, "missing-image.json: layers[1].image: cannot read \"no-such-picture.png\": no such file"},
        {"unknown-blend.json", {}, "unknown-blend.json: layers[2].blend: unknown blend mode \"burn\""},
        {"unknown-uniform.json", {}, "unknown-uniform.json: layers[0].effect.uniforms.strenght: the effect has no uniform"},
        {"broken-effect.json", {}, "broken-effect.cg(7) : error C1008: undefined variable \"brightness\""},
        {"not-json.json", {}, "not-json.json: line 4, column 24: not valid JSON: syntax error"},
        {"no-such-scene.json", {}, "cannot read " + TestData("scenes\\no-such-scene.json") + ": no such file"},
        {".", {}, "cannot read " + TestData("scenes\\.") + ": is a folder"},
        // Hostile files.
        {"empty.json", "", "empty.json: the file is empty"},
        {"huge-number.json", R"({"size": [1e400, 720]})", "huge-number.json: line 1, column 15: not valid JSON: number overflow"},
        {"huge-integer.json", R"({"size": [99999999999999999999, 720]})", "huge-integer.json: size: must be [width, height]"},
        {"deep.json", Repeated("[", 100000) + Repeated("]", 100000), "deep.json: [0][0]"},
        {"wrong-type.json", R"({"layers": [{"colour": [1, 0, 0], "opacity": "half"}]})", "wrong-type.json: layers[0].opacity: must be a number from 0 to 1"},
        {"not-an-object.json", "[1, 2, 3]", "not-an-object.json: a scene is a JSON object"},
        {"long-string.json", R"({"layers": [{"colour": [1, 0, 0], "blend": ")" + std::string(100000, 'x') + "\"}]}", "long-string.json: layers[0].blend: a text of 100000 bytes; at most 65536"},
        {"long-key.json", "{\"" + std::string(1000, 'k') + "\": 1}", "long-key.json: unknown key \"" + std::string(60, 'k') + "...\""},
        {"zero-size.json", R"({"size": [0, 720]})", "zero-size.json: size: must be [width, height] in whole pixels from 1 to 8192"},
        {"negative-rect.json", R"({"layers": [{"colour": [1, 1, 1], "rect": [0, 0, -10, 20]}]})", "negative-rect.json: layers[0].rect: must be [x, y, width, height]"},
        {"zero-cell.json", R"({"layers": [{"pattern": "checker", "cell": 0}]})", "zero-cell.json: layers[0].cell: must be a number from 1 to 8192"},
        {"not-utf8.json", "{\"layers\": [{\"colour\": [1, 1, 1], \"name\": \"\xff\"}]}", "not-utf8.json: line 1, column 44: not valid JSON: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
        {"given-twice.json", R"({"size": [64, 64], "size": [32, 32]})", "given-twice.json: size: given twice"},
        {"many-layers.json", "{\"layers\": [" + Repeated("{\"colour\": [0, 0, 0]}", 1001, ",") + "]}", "many-layers.json: layers: has 1001 layers; a scene has at most 1000"},
        {"too-much-texture.json", "{\"size\": [8192, 8192], \"layers\": [" + Repeated("{\"pattern\": \"bars\"}", 8, ",") + "]}", "too-much-texture.json: layers[4].pattern: brings the scene's textures to 1280 MiB"},
        {"pattern-too-wide.json", R"({"size": [640, 360], "layers": [{"pattern": "bars", "rect": [0, 0, 10000, 100]}]})", "pattern-too-wide.json: layers[0].rect: is 10000 x 100 pixels at the output size 640 x 360"},
        {"huge-uniform.json", R"({"layers": [{"pattern": "bars", "effect": {"name": "vignette", "uniforms": {"strength": 1e39}}}]})", "huge-uniform.json: layers[0].effect.uniforms.strength: must be a number"},
        // Effects that would draw with a uniform at 0, or with a sampler bound to nothing.
        {"unset-uniform.json", R"({"layers": [{"pattern": "bars", "effect": {"file": "gain-offset.cg", "uniforms": {"gain": 2}}}]})",
         "unset-uniform.json: layers[0].effect.uniforms: the program reads the uniform \"offset\", which is given no value (it would stay 0)"},
        {"unbound-sampler.json", R"({"layers": [{"colour": [1, 1, 1], "name": "logo", "effect": {"file": "mask.cg"}}]})",
         "unbound-sampler.json: layers[0] (\"logo\").effect.file: the program samples \"mask\", which nothing binds"},
        {"named-layer.json", R"({"layers": [{"pattern": "bars"}, {"name": "title", "colour": [1, 0, 0], "blend": "burn"}]})",
         "named-layer.json: layers[1] (\"title\").blend: unknown blend mode \"burn\""},
        {"open-comment.json", "{\"size\": [64, 64]\n  /* the layers\n  \"layers\": []\n}\n", "open-comment.json: line 2, column 3: this /* comment is never closed"},
        // Cg's listing of 526 equal lines, folded, and the whole text in a file.
        {"long-listing.json", R"({"layers": [{"pattern": "bars", "effect": {"file": "long-listing.cg"}}]})", "C6007: Constant register limit exceeded; more than 224 constant registers needed to compiled program (... 526 times)"},
    };
    std::string arguments = "validate";
    for (const Row& row : rows)
        arguments += " \"" + (row.content ? WriteScene(row.file, *row.content) : TestData("scenes\\" + row.file)) + "\"";
    const ChildResult run = Host(arguments);
    EXPECT_EQ(run.exitCode, 2u) << run.output.substr(0, 2000);
    for (const Row& row : rows)
        EXPECT_NE(run.output.find(row.expected), std::string::npos) << row.expected << "\nnot in:\n" << run.output.substr(0, 6000);
    EXPECT_EQ(run.output.find(": valid:"), std::string::npos) << "no scene passes";
    // Every message names the program first; Cg's listing lines follow their message.
    for (size_t line = 0; line < run.output.size(); line = run.output.find('\n', line) + 1) {
        const std::string text = run.output.substr(line, run.output.find('\n', line) - line);
        if (text.find(".json: ") != std::string::npos) {
            EXPECT_EQ(text.rfind("veltra-host: ", 0), 0u) << text;
        }
        if (run.output.find('\n', line) == std::string::npos)
            break;
    }
    EXPECT_NE(run.output.find("veltra-host-error.txt"), std::string::npos) << "the whole listing is in a file";

    // render stops at the same mistakes, before drawing.
    for (const std::string file : {"not-json.json", "broken-effect.json", "huge-number.json", "long-listing.json"}) {
        const bool written = file == "huge-number.json" || file == "long-listing.json";
        const std::string scene = written ? BesideProgram(file) : TestData("scenes\\" + file);
        const ChildResult render = Host("render \"" + scene + "\" -o unused.png");
        EXPECT_EQ(render.exitCode, 2u) << render.output;
        EXPECT_NE(render.output.find(file), std::string::npos) << render.output;
    }
}

TEST(HostProgramTest, RenderWritesTheFramesItPrints)
{
    // The built-in scene against a reference picture. Rasterisers may round an edge
    // differently: a few pixels may be off by more than 3 per channel.
    const std::string output = BesideProgram("default-scene-320x180.png");
    ChildResult run = Host("render -y -o \"" + output + "\" --size 320x180");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    ExpectTexts(run, {output, "rendered 1 frame of 320 x 180"});
    const Picture rendered = ReadPicture(output);
    const Picture reference = ReadPicture(TestData("reference\\default-scene-320x180.png"));
    ASSERT_EQ(reference.width, 320);
    ASSERT_EQ(rendered.width, 320);
    ASSERT_EQ(rendered.height, 180);
    int farOff = 0;
    for (size_t pixel = 0; pixel < rendered.rgba.size(); pixel += 4) {
        int difference = 0;
        for (size_t channel = 0; channel < 4; ++channel)
            difference = std::max(difference, std::abs(rendered.rgba[pixel + channel] - reference.rgba[pixel + channel]));
        farOff += difference > 3;
    }
    EXPECT_LE(farOff, 320 * 180 / 500) << "pixels off by more than 3";

    // An image sequence: frames 2 and 3 of 4, numbered as in the animation.
    const std::string pattern = BesideProgram("sequence-%02d.png");
    for (const char* frame : {"sequence-01.png", "sequence-02.png", "sequence-03.png"})
        DeleteFileA(BesideProgram(frame).c_str());
    run = Host("render --size 64x36 --frames 4 --range 2-3 -o \"" + pattern + "\"");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    ExpectTexts(run, {"sequence-02.png", "sequence-03.png", "rendered 2 frames of 64 x 36"});
    EXPECT_EQ(ReadPicture(BesideProgram("sequence-03.png")).width, 64);
    EXPECT_EQ(ReadPicture(BesideProgram("sequence-01.png")).width, 0) << "frame 1 is not in the range";
    run = Host("render --size 64x36 --frames 4 --range 2-3 -o \"" + pattern + "\"");
    EXPECT_EQ(run.exitCode, 2u) << "existing files are kept without -y: " << run.output;
    ExpectTexts(run, {"sequence-02.png exists; add -y to replace it"});
}
