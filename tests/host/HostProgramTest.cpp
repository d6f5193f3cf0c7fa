// veltra-host.exe end to end: the built-in scene against a reference picture, scene
// mistakes reported with their place and exit code 2, and the info and display
// commands on the real stack.

#include "ChildProcess.h"
#include "PngFile.h"
#include "WinePaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstdlib>
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

// Runs veltra-host with `arguments`; its standard output and error together.
ChildResult Host(const std::string& arguments)
{
    const std::string line = "\"" + WindowsPath(VELTRA_HOST_PROGRAM) + "\" " + arguments;
    return RunChild(std::wstring(line.begin(), line.end()), true);
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

} // namespace

TEST(HostProgramTest, DefaultSceneMatchesTheReferencePicture)
{
    const std::string output = BesideProgram("default-scene-320x180.png");
    const ChildResult run = Host("render -o \"" + output + "\" --size 320x180");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find(output), std::string::npos) << "prints the file it wrote: " << run.output;

    const Picture rendered = ReadPicture(output);
    const Picture reference = ReadPicture(TestData("reference\\default-scene-320x180.png"));
    ASSERT_EQ(reference.width, 320);
    ASSERT_EQ(rendered.width, 320);
    ASSERT_EQ(rendered.height, 180);
    // Rasterisers may round an edge differently: a few pixels may be off by more.
    int farOff = 0, largest = 0;
    for (size_t pixel = 0; pixel < rendered.rgba.size(); pixel += 4) {
        int difference = 0;
        for (size_t channel = 0; channel < 4; ++channel)
            difference = std::max(difference, std::abs(rendered.rgba[pixel + channel] - reference.rgba[pixel + channel]));
        farOff += difference > 3;
        largest = std::max(largest, difference);
    }
    EXPECT_LE(farOff, 320 * 180 / 500) << "pixels off by more than 3; the largest difference is " << largest;
}

TEST(HostProgramTest, SceneMistakesNameTheirPlaceAndExitWithTwo)
{
    struct Case {
        std::string arguments;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"missing-image.json", {"layers[1].image: file not found", "no-such-picture.png"}},
        {"unknown-blend.json", {"layers[2].blend: unknown blend mode \"burn\""}},
        {"bad-size.json", {"bad-size.json: size: must be [width, height]"}},
        {"unknown-uniform.json", {"layers[0].effect.uniforms.strenght: the effect has no uniform"}},
        {"not-json.json", {"not-json.json: not valid JSON", "line 4"}},
        // Cg's own listing names the line and the undefined variable.
        {"broken-effect.json", {"layers[1].effect.file", "does not compile", "(7) : error C", "\"brightness\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ChildResult run = Host("render \"" + TestData("scenes\\" + c.arguments) + "\" -o unused.png");
        EXPECT_EQ(run.exitCode, 2u) << run.output;
        for (const std::string& text : c.expected)
            EXPECT_NE(run.output.find(text), std::string::npos) << "\"" << text << "\" not in: " << run.output;
    }
    const ChildResult usage = Host("render --size 0x180");
    EXPECT_EQ(usage.exitCode, 2u) << usage.output;
    EXPECT_NE(usage.output.find("--size"), std::string::npos) << usage.output;
}

TEST(HostProgramTest, InfoAndDisplayRunOnTheRealStack)
{
    const ChildResult info = Host("info");
    EXPECT_EQ(info.exitCode, 0u) << info.output;
    for (const char* text : {"adapter:", "shader level:", "VeltraRenderDirectX.dll"})
        EXPECT_NE(info.output.find(text), std::string::npos) << "\"" << text << "\" not in: " << info.output;
    const size_t adapter = info.output.find("adapter:");
    const size_t name = info.output.find_first_not_of(' ', adapter + 8);
    EXPECT_TRUE(adapter != std::string::npos && name != std::string::npos && std::isalnum(info.output[name]))
        << "the adapter has a name: " << info.output;

    const ChildResult display = Host("display --size 160x90 --frames 3");
    EXPECT_EQ(display.exitCode, 0u) << display.output;
    EXPECT_NE(display.output.find("presented 3 frames"), std::string::npos) << display.output;
}
