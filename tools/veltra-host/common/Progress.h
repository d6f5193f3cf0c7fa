// A progress line on standard error, redrawn in place at most ten times a second, for
// commands that run for a while. It shows only when standard error is a terminal, so
// that logs and pipes get the results alone.
#pragma once

#include <string>

class Progress {
public:
    explicit Progress(bool wanted);
    ~Progress() { Clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(const std::string& text);
    // Removes the line, before results are printed.
    void Clear();

private:
    bool _shown = false;
    bool _enabled;
    double _last = 0;
    size_t _width = 0;
};

// Whether standard error goes to a terminal.
bool ErrorsGoToTerminal();
