#include "CommandLine.h"

#include "HostErrors.h"

#include <cstdlib>
#include <set>

namespace {

class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : _arguments(arguments) {}

    bool More() const { return _next < _arguments.size(); }
    const std::string& Next() { return _arguments[_next++]; }

    std::string ValueOf(const std::string& option)
    {
        if (!More())
            throw UsageError(option + " needs a value");
        return Next();
    }

    int Count(const std::string& option, int low, int high)
    {
        const std::string text = ValueOf(option);
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || value < low || value > high)
            throw UsageError(option + " takes a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", not \"" + text + "\"");
        return static_cast<int>(value);
    }

    double Seconds(const std::string& option)
    {
        const std::string text = ValueOf(option);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end || !(value > 0) || value > 86400)
            throw UsageError(option + " takes a number of seconds, not \"" + text + "\"");
        return value;
    }

private:
    const std::vector<std::string>& _arguments;
    size_t _next = 0;
};

void ReadSize(const std::string& text, Options& options)
{
    const size_t x = text.find_first_of("xX");
    char* end = nullptr;
    const long width = x == std::string::npos ? 0 : std::strtol(text.substr(0, x).c_str(), &end, 10);
    const bool widthOk = x != std::string::npos && x > 0 && end && !*end;
    const long height = widthOk ? std::strtol(text.substr(x + 1).c_str(), &end, 10) : 0;
    if (!widthOk || x + 1 >= text.size() || *end || width < 1 || width > 8192 || height < 1 || height > 8192)
        throw UsageError("--size takes WIDTHxHEIGHT in pixels from 1 to 8192, like 1280x720, not \"" + text + "\"");
    options.width = static_cast<int>(width);
    options.height = static_cast<int>(height);
}

} // namespace

Options ParseCommandLine(const std::vector<std::string>& arguments)
{
    ArgumentReader reader(arguments);
    if (!reader.More())
        throw UsageError("no command given");
    Options options;
    options.command = reader.Next();
    static const std::set<std::string> commands = {"info", "render", "display", "bench", "bench-cpu"};
    if (!commands.count(options.command))
        throw UsageError("unknown command \"" + options.command + "\"");

    const bool drawsScene = options.command == "render" || options.command == "display";
    while (reader.More()) {
        const std::string argument = reader.Next();
        if (drawsScene && argument == "--size")
            ReadSize(reader.ValueOf(argument), options);
        else if (drawsScene && argument == "--frames")
            options.frames = reader.Count(argument, 1, 100000);
        else if (options.command == "render" && (argument == "-o" || argument == "--output"))
            options.output = reader.ValueOf(argument);
        else if (options.command == "display" && argument == "--seconds")
            options.seconds = reader.Seconds(argument);
        else if (options.command == "bench" && argument == "--runs")
            options.runs = reader.Count(argument, 1, 1000);
        else if (options.command == "bench" && argument == "--json")
            options.jsonPath = reader.ValueOf(argument);
        else if (options.command == "bench-cpu" && argument == "--batches")
            options.batches = reader.Count(argument, 1, 1000);
        else if (options.command == "bench-cpu" && argument == "--iterations")
            options.iterations = reader.Count(argument, 1, 100000000);
        else if (drawsScene && !argument.empty() && argument[0] != '-' && options.scenePath.empty())
            options.scenePath = argument;
        else
            throw UsageError("unexpected argument \"" + argument + "\" for " + options.command);
    }
    return options;
}

const char* UsageText()
{
    return "usage: veltra-host COMMAND [OPTIONS]\n"
           "  info                                   the adapter, driver, shader level, stereo and plug-in path\n"
           "  render  [SCENE.json] [-o OUT.png] [--size WxH] [--frames N]\n"
           "                                         composites the scene into PNG files (OUT-0001.png ... for N > 1)\n"
           "  display [SCENE.json] [--size WxH] [--seconds S] [--frames N]\n"
           "                                         shows the scene, animated, in a window\n"
           "  bench   [--runs N] [--json OUT.json]   frame times, transfer rates and the plug-in's CPU cost\n"
           "Without SCENE.json the built-in scene is used; SCENES.md describes the format.\n"
           "Exit codes: 0 done, 2 a mistake in the scene or the command line, 1 any other failure.\n";
}
