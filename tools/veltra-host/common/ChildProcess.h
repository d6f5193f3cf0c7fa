// Runs a program and collects what it writes to standard output (and, when asked,
// standard error too); otherwise its standard error goes where this process's goes.
#pragma once

#include <string>

struct ChildResult {
    unsigned long exitCode = 0;
    std::string output;
};

// Throws HostFailure when the program cannot be started.
ChildResult RunChild(const std::wstring& commandLine, bool captureErrors);
