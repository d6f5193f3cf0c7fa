// The three ways a command ends, and the exit codes a caller sees:
// 0 done, 2 the scene or the command line is wrong, 1 anything else went wrong.
#pragma once

#include <stdexcept>
#include <string>

enum ExitCode { ExitDone = 0, ExitFailure = 1, ExitBadInput = 2 };

// A mistake in a scene file; the message names the file and the place in it.
struct SceneError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A mistake on the command line. Those found while reading it point to the usage of
// `command` (empty: before any command was named).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
    bool pointToUsage = false;
    std::string command;
};

// Everything else: the plug-in is missing, a device cannot be made, a file cannot be written.
struct HostFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
