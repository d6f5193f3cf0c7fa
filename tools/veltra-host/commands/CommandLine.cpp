#include "commands/CommandLine.h"

#include "common/HostErrors.h"
#include "scene/Image.h"

#include <cctype>
#include <cstdlib>
#include <optional>
#include <set>

namespace {

class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : _arguments(arguments) {}

    bool More() const { return _next < _arguments.size(); }

    // The next argument; of "--name=value", the name, with the value kept for ValueOf.
    std::string Next()
    {
        CheckValueTaken();
        const std::string& argument = _arguments[_next++];
        const size_t equals = argument.find('=');
        if (argument.compare(0, 2, "--") != 0 || equals == std::string::npos)
            return argument;
        _attached = argument.substr(equals + 1);
        _attachedTo = argument.substr(0, equals);
        return _attachedTo;
    }

    // The option's value: attached with "=", or the next argument, which may not look
    // like an option itself ("-o -q" is a missing value, not a file named "-q").
    std::string ValueOf(const std::string& option)
    {
        if (_attached) {
            const std::string value = *_attached;
            _attached.reset();
            return value;
        }
        if (!More())
            throw UsageError(option + " needs a value");
        const std::string& value = _arguments[_next];
        if (value.size() > 1 && value[0] == '-')
            throw UsageError(option + " needs a value, not the option \"" + value + "\"");
        ++_next;
        return value;
    }

    // An option that takes no value was given one with "=".
    void CheckValueTaken() const
    {
        if (_attached)
            throw UsageError(_attachedTo + " takes no value, not \"" + *_attached + "\"");
    }

    long Count(const std::string& option, long low, long high)
    {
        const std::string text = ValueOf(option);
        long value = 0;
        if (!WholeNumber(text, value) || value < low || value > high)
            throw UsageError(option + " takes a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", not \"" + text + "\"");
        return value;
    }

    double Number(const std::string& option, double low, double high, const char* what)
    {
        const std::string text = ValueOf(option);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end || !(value >= low && value <= high))
            throw UsageError(option + " takes " + what + ", not \"" + text + "\"");
        return value;
    }

    static bool WholeNumber(const std::string& text, long& value)
    {
        char* end = nullptr;
        value = std::strtol(text.c_str(), &end, 10);
        return !text.empty() && !*end && text.find_first_of(" \t+") == std::string::npos;
    }

private:
    const std::vector<std::string>& _arguments;
    size_t _next = 0;
    std::optional<std::string> _attached;  // the value of "--name=value", until taken
    std::string _attachedTo;
};

// Frames are written as PNG: a name that promises another format is a mistake.
std::string PngName(const std::string& option, const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".png" || name.find_last_of("\\/") + 1 == dot)
        throw UsageError(option + " \"" + name + "\": veltra-host writes PNG images; give a name that ends in .png");
    return name;
}

void ReadSize(const std::string& text, Options& options)
{
    const size_t x = text.find_first_of("xX");
    long width = 0, height = 0;
    if (x == std::string::npos || !ArgumentReader::WholeNumber(text.substr(0, x), width) ||
        !ArgumentReader::WholeNumber(text.substr(x + 1), height) || width < 1 || width > LargestImage || height < 1 ||
        height > LargestImage)
        throw UsageError("--size takes WIDTHxHEIGHT in pixels from 1 to " + std::to_string(LargestImage) +
                         ", like 1280x720, not \"" + text + "\"");
    options.width = static_cast<int>(width);
    options.height = static_cast<int>(height);
}

void ReadRange(const std::string& text, Options& options)
{
    const size_t dash = text.find('-', 1);
    long first = 0, last = 0;
    if (dash == std::string::npos || !ArgumentReader::WholeNumber(text.substr(0, dash), first) ||
        !ArgumentReader::WholeNumber(text.substr(dash + 1), last) || first < 1 || last < first)
        throw UsageError("--range takes FIRST-LAST, frame numbers from 1 with FIRST <= LAST, like 10-20, not \"" +
                         text + "\"");
    options.firstFrame = static_cast<int>(first);
    options.lastFrame = static_cast<int>(last);
}

// The options of the commands that draw a scene; false when `argument` is none of them.
bool ReadSceneOption(const std::string& command, const std::string& argument, ArgumentReader& reader, Options& options)
{
    if (argument == "--size")
        ReadSize(reader.ValueOf(argument), options);
    else if (argument == "--frames")
        options.frames = static_cast<int>(reader.Count(argument, 1, 100000));
    else if (command == "render" && argument == "--range")
        ReadRange(reader.ValueOf(argument), options);
    else if (argument == "--time")
        options.time = reader.Number(argument, 0, 1, "an effect time from 0 to 1");
    else
        return false;
    return true;
}

bool ReadOption(const std::string& command, const std::string& argument, ArgumentReader& reader, Options& options)
{
    const bool drawsScene = command == "render" || command == "display";
    if ((drawsScene || command == "validate") && argument == "--size")
        return ReadSceneOption(command, argument, reader, options);
    if (drawsScene && ReadSceneOption(command, argument, reader, options))
        return true;
    if (command == "render" && (argument == "-o" || argument == "--output"))
        options.output = PngName(argument, reader.ValueOf(argument));
    else if (command == "render" && (argument == "-y" || argument == "--overwrite"))
        options.overwrite = true;
    else if ((command == "render" || command == "soak" || command == "bench") && (argument == "-q" || argument == "--quiet"))
        options.quiet = true;
    else if (command == "display" && argument == "--seconds")
        options.seconds = reader.Number(argument, 0.001, 86400, "a number of seconds up to 86400");
    else if (command == "bench" && argument == "--runs")
        options.runs = static_cast<int>(reader.Count(argument, 3, 1000));
    else if (command == "bench" && argument == "--only") {
        options.benchOnly = reader.ValueOf(argument);
        if (options.benchOnly != "frames" && options.benchOnly != "transfers" && options.benchOnly != "draws" &&
            options.benchOnly != "cpu")
            throw UsageError("--only takes frames, transfers, draws or cpu, not \"" + options.benchOnly + "\"");
    } else if (command == "bench" && argument == "--draws")
        options.draws = static_cast<int>(reader.Count(argument, 1, 100000));
    else if ((command == "bench" || command == "soak") && argument == "--json")
        options.jsonPath = reader.ValueOf(argument);
    else if (command == "soak" && argument == "--cycles")
        options.cycles = reader.Count(argument, 20, 10000000);
    else if (command == "soak" && argument == "--lifecycles")
        options.lifecycles = reader.Count(argument, 0, 1000000);
    else if (command == "soak" && argument == "--baseline")
        options.baseline = true;
    else if (command == "bench-cpu" && argument == "--batches")
        options.batches = static_cast<int>(reader.Count(argument, 1, 1000));
    else if (command == "bench-cpu" && argument == "--iterations")
        options.iterations = static_cast<int>(reader.Count(argument, 1, 100000000));
    else
        return false;
    return true;
}

void CheckCombinations(Options& options)
{
    if (options.time && (options.frames || options.firstFrame))
        throw UsageError("--time makes one frame: it goes with neither --frames nor --range");
    if (options.firstFrame && options.frames && options.lastFrame > options.frames)
        throw UsageError("--range " + std::to_string(options.firstFrame) + "-" + std::to_string(options.lastFrame) +
                         " goes past the last of " + std::to_string(options.frames) + " frames");
    if (!options.scenes.empty())
        options.scenePath = options.scenes.front();
    if (options.command == "validate" && options.scenes.empty())
        throw UsageError("validate needs at least one scene file");
}

Options Parse(const std::vector<std::string>& arguments, std::string& command)
{
    static const std::set<std::string> commands = {"info",  "render", "display", "validate",
                                                   "bench", "soak",   "bench-cpu"};
    ArgumentReader reader(arguments);
    Options options;
    while (reader.More()) {
        const std::string argument = reader.Next();
        if (argument == "--help" || argument == "-h")
            options.help = true;
        else if (argument == "--version" && options.command.empty())
            options.version = true;
        else if (options.command.empty() && argument == "help")
            options.help = true;
        else if (options.command.empty() && commands.count(argument))
            command = options.command = argument;
        else if (options.command.empty())
            throw UsageError("unknown command \"" + argument + "\"");
        else if (ReadOption(options.command, argument, reader, options))
            continue;
        else if (!argument.empty() && argument[0] != '-' &&
                 (options.command == "validate" ||
                  (options.scenes.empty() && (options.command == "render" || options.command == "display"))))
            options.scenes.push_back(argument);
        else
            throw UsageError("unexpected argument \"" + argument + "\" for " + options.command);
    }
    reader.CheckValueTaken();
    if (options.help || options.version)
        return options;
    if (options.command.empty())
        throw UsageError("no command given");
    CheckCombinations(options);
    return options;
}

} // namespace

Options ParseCommandLine(const std::vector<std::string>& arguments)
{
    std::string command;
    try {
        return Parse(arguments, command);
    } catch (UsageError& error) {
        error.command = command;
        error.pointToUsage = true;
        throw;
    }
}
