#pragma once
// The frame of the reliability sweeps. A sweep is a list of units (one fault injection, one
// group of bad inputs) that make checks. The program first runs as a supervisor: it starts
// itself as a worker that runs the units in order and writes what it finds to a results
// file. A unit that crashes the worker (an access violation, an uncaught exception, abort)
// or hangs (no progress for a while) is reported as such, and a new worker goes on with the
// next unit, so one fault does not hide the rest. The supervisor writes the report to
// standard output and to a file beside the program, and exits non-zero when anything failed.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace reliability {

struct Unit {
    std::string group;
    std::string name;
    std::function<void()> run;
};

// Options given as --name=value on the command line (the harness's own are removed). Every
// program takes --only=TEXT: only the units whose group or name contains TEXT.
typedef std::map<std::string, std::string> Options;

// One check of the running unit. Passing checks are counted; failing ones are listed with
// their detail in the report.
void Check(bool ok, const std::string& label, const std::string& detail = std::string());
// A line of the report for the running unit (its outcome, a figure).
void Note(const std::string& text);
// Names what runs now: a crash or hang report names it. Also keeps the hang watchdog quiet,
// which fires after `HangSeconds` without a call.
void Now(const std::string& label);
const int HangSeconds = 8;  // longer than the plug-in's own 5 s limit on waiting for the GPU

// Runs the program; `build` makes the unit list in each worker (it must be the same every time).
int Main(int argc, char** argv, const std::string& title, const std::string& reportName,
    const std::function<std::vector<Unit>(const Options&)>& build);

}  // namespace reliability
